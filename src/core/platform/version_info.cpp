#include "platform/version_info.h"

#include <array>
#include <cstdint>

#include "platform/read_only_file.h"

#ifndef KIVRA_VERSION
#define KIVRA_VERSION ""
#endif

#define KIVRA_VERSION_PAIR(name, value) name "\0" value "\0"

// Kept by the linker through --undefined (see src/core/CMakeLists.txt), so every executable that
// links the core carries it even when nothing reads it.
extern "C" __attribute__((section(".kivra_version"), used)) const char kivra_version_block[] =
    "KIVRAVER1\0"                                                   //
    KIVRA_VERSION_PAIR("ProductName", "Kivra")                      //
    KIVRA_VERSION_PAIR("InternalName", "Kivra")                     //
    KIVRA_VERSION_PAIR("FileDescription", "Kivra gait video tool")  //
    KIVRA_VERSION_PAIR("FileVersion", KIVRA_VERSION)                //
    KIVRA_VERSION_PAIR("ProductVersion", KIVRA_VERSION)             //
    KIVRA_VERSION_PAIR("CompanyName", "Brindle")                    //
    KIVRA_VERSION_PAIR("LegalCopyright", "Copyright (C) Brindle")   //
    "\0";

namespace kivra {
namespace {

constexpr uint64_t kMaxSectionBytes = 64 * 1024;
constexpr uint64_t kMaxNameTableBytes = 4 * 1024 * 1024;
constexpr uint64_t kMaxHeaderTableBytes = 16 * 1024 * 1024;
constexpr uint32_t kShtNobits = 8;
constexpr uint32_t kShnXindex = 0xffff;

// Exactly `count` bytes at `offset`, all inside the file; bounds are checked before any
// allocation, so a hostile header cannot ask for gigabytes.
bool ReadAt(const ReadOnlyFile& file, uint64_t offset, uint64_t count, std::string& out) {
    if (!file.ok() || offset > file.size() || count > file.size() - offset)
        return false;
    out.resize(count);
    return file.Read(offset, out.data(), count);
}

// Fixed-width fields of either byte order; callers check the bounds first.
struct FieldReader {
    bool bigEndian = false;

    uint64_t Get(std::string_view bytes, size_t offset, size_t width) const {
        uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            const auto byte = static_cast<uint8_t>(bytes[offset + i]);
            if (bigEndian)
                value = (value << 8) | byte;
            else
                value |= static_cast<uint64_t>(byte) << (8 * i);
        }
        return value;
    }
};

// Where each field sits in the headers of one ELF class.
struct ElfLayout {
    size_t headerSize, shoff, shoffWidth, shentsize, shnum, shstrndx;
    size_t entrySize, name, type, offset, size, link, wordWidth;
};
constexpr ElfLayout kElf32{52, 0x20, 4, 0x2E, 0x30, 0x32, 40, 0, 4, 16, 20, 24, 4};
constexpr ElfLayout kElf64{64, 0x28, 8, 0x3A, 0x3C, 0x3E, 64, 0, 4, 24, 32, 40, 8};

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseVersionBlock(std::string_view bytes) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (bytes.substr(0, kVersionBlockMagic.size()) != kVersionBlockMagic)
        return pairs;
    size_t pos = kVersionBlockMagic.size();
    // Each piece must end in a NUL inside the block; a block cut short yields nothing.
    const auto next = [&](std::string& piece) {
        const size_t end = bytes.find('\0', pos);
        if (end == std::string_view::npos)
            return false;
        piece.assign(bytes.substr(pos, end - pos));
        pos = end + 1;
        return true;
    };
    std::string name, value;
    while (next(name)) {
        if (name.empty())
            return pairs;
        if (!next(value))
            break;
        pairs.emplace_back(name, value);
    }
    pairs.clear();
    return pairs;
}

bool ReadElfSection(const std::string& path, std::string_view name, std::string& bytes) {
    bytes.clear();
    const ReadOnlyFile file(path);
    std::string ident;
    if (!ReadAt(file, 0, 16, ident) || ident.compare(0, 4,
                                                     "\x7f"
                                                     "ELF") != 0)
        return false;
    if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2))
        return false;
    const ElfLayout& at = ident[4] == 1 ? kElf32 : kElf64;
    const FieldReader field{ident[5] == 2};

    std::string header;
    if (!ReadAt(file, 0, at.headerSize, header))
        return false;
    const uint64_t shoff = field.Get(header, at.shoff, at.shoffWidth);
    const uint64_t entrySize = field.Get(header, at.shentsize, 2);
    uint64_t count = field.Get(header, at.shnum, 2);
    uint64_t nameIndex = field.Get(header, at.shstrndx, 2);
    if (shoff == 0 || entrySize < at.entrySize)
        return false;

    std::string entry;
    const auto readEntry = [&](uint64_t index) {
        return index < count + (count == 0) &&
               ReadAt(file, shoff + index * entrySize, entrySize, entry);
    };
    // Large files keep the real section count and name-table index in section 0.
    if (count == 0 || nameIndex == kShnXindex) {
        if (!readEntry(0))
            return false;
        if (count == 0)
            count = field.Get(entry, at.size, at.wordWidth);
        if (nameIndex == kShnXindex)
            nameIndex = field.Get(entry, at.link, 4);
    }
    if (count == 0 || nameIndex >= count || count > kMaxHeaderTableBytes / entrySize)
        return false;

    std::string table;
    if (!ReadAt(file, shoff, count * entrySize, table))
        return false;
    const auto sectionField = [&](uint64_t index, size_t offset, size_t width) {
        return field.Get(table, index * entrySize + offset, width);
    };

    const uint64_t namesSize = sectionField(nameIndex, at.size, at.wordWidth);
    std::string names;
    if (sectionField(nameIndex, at.type, 4) == kShtNobits || namesSize > kMaxNameTableBytes ||
        !ReadAt(file, sectionField(nameIndex, at.offset, at.wordWidth), namesSize, names))
        return false;

    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t nameOffset = sectionField(i, at.name, 4);
        if (nameOffset >= names.size())
            continue;
        const size_t end = names.find('\0', nameOffset);
        if (end == std::string::npos ||
            std::string_view(names).substr(nameOffset, end - nameOffset) != name)
            continue;
        const uint64_t size = sectionField(i, at.size, at.wordWidth);
        if (sectionField(i, at.type, 4) == kShtNobits || size > kMaxSectionBytes)
            return false;
        return ReadAt(file, sectionField(i, at.offset, at.wordWidth), size, bytes);
    }
    return false;
}

}  // namespace kivra

HdCVersionInfo::HdCVersionInfo(const std::string& fileName)
    : m_fileName(fileName.empty() ? std::string("/proc/self/exe") : fileName) {
    std::string block;
    if (kivra::ReadElfSection(m_fileName, kivra::kVersionSectionName, block))
        m_strings = kivra::ParseVersionBlock(block);
}

HdCVersionInfo::~HdCVersionInfo() = default;

const char* HdCVersionInfo::NameOf(int index) {
    static constexpr std::array<const char*, 12> kNames{
        "Comments",     "CompanyName",    "FileDescription", "FileVersion",
        "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
        "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild"};
    return index >= 0 && index < static_cast<int>(kNames.size()) ? kNames[index] : kNames[0];
}

int HdCVersionInfo::GetString(std::string& value, int index) const {
    const std::string_view name = NameOf(index);
    for (const auto& [key, text] : m_strings) {
        if (key == name) {
            value = text;
            return 1;
        }
    }
    value.clear();
    return 0;
}
