#pragma once
// Ini files with the rules of the Windows private-profile functions: section and key names
// compare without regard to ASCII case, every other line of the file is kept as it was, reads
// return at most 1023 characters, and anything missing gives the default. Paths and texts are
// UTF-8. Every rewrite goes to a temporary file in the same folder that is then renamed over
// the old one, so a failed write never destroys the file.
//
// Hostile files: a file larger than kMaxIniFileBytes, a file that exists but cannot be read,
// and anything that is not a regular file (folder, FIFO, device) read as empty and are never
// rewritten; writes to them return false. Inside the limit any content is accepted: binary
// bytes, very long lines, CRLF or LF line ends, no line feed at the end.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra {

// The caller's buffer of the Windows functions, in characters; reads return one less.
inline constexpr std::size_t kProfileBufferChars = 1024;
// Settings files are a few kilobytes; anything larger than this is not ours to parse or
// rewrite. It also bounds the memory a file of nothing but line feeds costs once split.
inline constexpr std::size_t kMaxIniFileBytes = 1u << 20;

// Value of `key` in `section`, or `def` when the file, section or key is missing. Surrounding
// blanks are removed, and so is one pair of matching quotes around the whole value. The result
// holds at most bufferChars - 1 characters (code points; an invalid byte counts as one).
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path,
                                    std::size_t bufferChars = kProfileBufferChars);

// Sets `key` in `section`, adding the section at the end of the file when it is missing. A null
// value deletes the key, a null key deletes the whole section. False when the file could not be
// written, or when a name or value cannot be stored in an ini line (line feeds, NUL, '=' in
// a key); the file is then unchanged.
bool WritePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::string& path);

// One ini file loaded once, read and changed many times, and saved once: the file it saves is
// the one that the same sequence of WritePrivateProfileString calls would have left. Owned by
// whoever loads it, usually on the stack for one load or save.
class IniDocument {
public:
    // A missing file gives an empty document that can be saved (and so created).
    static IniDocument Load(const std::string& path);

    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::size_t bufferChars = kProfileBufferChars) const;
    // Rules of WritePrivateProfileString; the change stays in memory until Save.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);
    bool DeleteSection(std::string_view section);

    // Writes the document back atomically when it was changed. False when it could not be
    // written or the file is one we refuse to rewrite (see above); the old file is then intact.
    bool Save();

    bool CanSave() const { return writable_; }
    const std::string& Path() const { return path_; }

private:
    enum class Eol : unsigned char { kNone, kLf, kCrLf };  // kNone: last line without one
    struct Line {
        std::string text;  // without its line end
        Eol eol = Eol::kNone;
    };
    struct SectionRange {
        std::size_t header;  // index of the "[name]" line
        std::size_t end;     // index of the next section's header, or the line count
    };

    std::optional<SectionRange> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;
    void InsertLine(std::size_t at, std::string text);
    std::string Serialize() const;

    std::string path_;
    std::string writePath_;  // the file behind a symbolic link, so the link survives a save
    std::vector<Line> lines_;
    Eol newEol_ = Eol::kLf;  // line end for added lines: the file's own style
    bool writable_ = false;
    bool modified_ = false;
};

}  // namespace kivra

// The small ini accessor of the settings code: a file path and a current section. Created on
// the stack by whoever reads or writes a few keys.
class ZebCRwIniFile {
public:
    ZebCRwIniFile() = default;
    explicit ZebCRwIniFile(std::string iniPath) : m_strPath(std::move(iniPath)) {}
    virtual ~ZebCRwIniFile() = default;

    // The settings ini of this user: "<settings folder>/Kivra.ini". The name is the program's
    // internal name, not the executable's ("kivra"): the framework's profile (recent files, bar
    // layout) and the settings share one file, and this file system tells "kivra.ini" and
    // "Kivra.ini" apart. Finding the settings folder also creates it.
    static std::string GetIniPath();
    // The same below a given settings folder (with or without its trailing slash).
    static std::string GetIniPath(std::string_view settingsFolder);

    void SetPath(std::string path) { m_strPath = std::move(path); }
    const std::string& GetPath() const { return m_strPath; }
    void SetSection(std::string section) { m_strSection = std::move(section); }
    const std::string& GetSection() const { return m_strSection; }

    // The key's value in the current section (at most 1023 characters); the default when the
    // section is empty or the key is missing.
    std::string GetString(std::string_view key, std::string_view def) const;
    // False when the section is empty or the write failed.
    bool WriteString(std::string_view key, std::string_view value) const;

private:
    std::string m_strPath;
    std::string m_strSection;
};
