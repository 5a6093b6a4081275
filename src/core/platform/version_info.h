#pragma once
// The version strings compiled into our executables, and the reader that finds them again in
// an executable file on disk.
//
// Every executable that links the core carries one block in the ELF section ".kivra_version":
// the magic "KIVRAVER1\0", then pairs of NUL-terminated name and value, ended by an empty
// name. The reader parses the section headers itself, so it needs neither the program to run
// nor the file to be one of ours: a file without the block simply has no strings.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra {

inline constexpr std::string_view kVersionSectionName = ".kivra_version";
inline constexpr std::string_view kVersionBlockMagic{"KIVRAVER1\0", 10};

// Name/value pairs of a version block; empty when the bytes are not one.
std::vector<std::pair<std::string, std::string>> ParseVersionBlock(std::string_view bytes);

// The bytes of the section `name` of the ELF file at `path` (at most 64 KiB). False when the
// file cannot be read, is not ELF, is damaged or lacks the section.
bool ReadElfSection(const std::string& path, std::string_view name, std::string& bytes);

}  // namespace kivra

// Reads the named version strings of one executable file; owns a copy of its version block.
// Constructed from an empty file name it reads the running executable.
class HdCVersionInfo {
public:
    explicit HdCVersionInfo(const std::string& fileName = {});
    virtual ~HdCVersionInfo();

    HdCVersionInfo(const HdCVersionInfo&) = default;
    HdCVersionInfo& operator=(const HdCVersionInfo&) = default;

    // Index 0-11: Comments, CompanyName, FileDescription, FileVersion, InternalName,
    // LegalCopyright, LegalTrademarks, OriginalFilename, PrivateBuild, ProductName,
    // ProductVersion, SpecialBuild; any other index reads "Comments".
    enum {
        kComments = 0,
        kCompanyName,
        kFileDescription,
        kFileVersion,
        kInternalName,
        kLegalCopyright,
        kLegalTrademarks,
        kOriginalFilename,
        kPrivateBuild,
        kProductName,
        kProductVersion,
        kSpecialBuild,
    };
    static const char* NameOf(int index);

    // 1 and the value when the file's block holds the string; 0 and "" otherwise.
    int GetString(std::string& value, int index) const;

    bool HasData() const { return !m_strings.empty(); }
    const std::string& FileName() const { return m_fileName; }

private:
    std::string m_fileName;
    std::vector<std::pair<std::string, std::string>> m_strings;
};
