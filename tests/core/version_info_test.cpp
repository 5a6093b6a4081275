// The version block compiled into our executables and the ELF reader that finds it.
#include <gtest/gtest.h>

#include <string>

#include "platform/version_info.h"
#include "support/ffmpeg_tool.h"

namespace {

std::string BinaryDir() {
    const char* env = std::getenv("KIVRA_BINARY_DIR");
    return env && *env ? env : KIVRA_BINARY_DIR;
}

// A scratch copy of some bytes under a name with blanks, quotes and Japanese text.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& bytes)
        : m_path(m_dir.File("kivra ver 'テスト' $x;.bin")) {
        kivra::test::WriteFile(m_path, bytes);
    }
    const std::string& Path() const { return m_path; }

private:
    kivra::test::TempDir m_dir;
    std::string m_path;
};

std::string Get(const HdCVersionInfo& info, int index) {
    std::string value = "stale";
    const int found = info.GetString(value, index);
    EXPECT_EQ(found != 0, !value.empty());
    return value;
}

TEST(VersionInfo, OurExecutablesCarryTheBlock) {
    const HdCVersionInfo cli(BinaryDir() + "/kivra-cli");
    ASSERT_TRUE(cli.HasData());
    EXPECT_EQ(Get(cli, HdCVersionInfo::kFileVersion), KIVRA_VERSION);
    EXPECT_EQ(Get(cli, HdCVersionInfo::kProductVersion), KIVRA_VERSION);
    EXPECT_EQ(Get(cli, HdCVersionInfo::kProductName), "Kivra");
    EXPECT_EQ(Get(cli, HdCVersionInfo::kInternalName), "Kivra");
    EXPECT_EQ(Get(cli, HdCVersionInfo::kCompanyName), "Brindle");
    EXPECT_FALSE(Get(cli, HdCVersionInfo::kLegalCopyright).empty());
    EXPECT_EQ(Get(cli, HdCVersionInfo::kSpecialBuild), "");
    EXPECT_FALSE(std::string(KIVRA_VERSION).empty());

    // The running test program links the core too; an empty name means "this executable".
    const HdCVersionInfo self;
    EXPECT_EQ(Get(self, HdCVersionInfo::kFileVersion), KIVRA_VERSION);
}

TEST(VersionInfo, IndexNames) {
    EXPECT_STREQ(HdCVersionInfo::NameOf(3), "FileVersion");
    EXPECT_STREQ(HdCVersionInfo::NameOf(11), "SpecialBuild");
    EXPECT_STREQ(HdCVersionInfo::NameOf(12), "Comments");
    EXPECT_STREQ(HdCVersionInfo::NameOf(-1), "Comments");
}

TEST(VersionInfo, FilesWithoutTheBlockGiveEmptyStrings) {
    for (const std::string path : {"/bin/ls", "/nonexistent/kivra", "/proc/self", "/dev/null"}) {
        const HdCVersionInfo info(path);
        EXPECT_FALSE(info.HasData()) << path;
        EXPECT_EQ(Get(info, HdCVersionInfo::kFileVersion), "") << path;
    }
}

TEST(VersionInfo, DamagedFilesGiveEmptyStrings) {
    const std::string cli = kivra::test::ReadFile(BinaryDir() + "/kivra-cli");
    ASSERT_GT(cli.size(), 4096u);

    // Cut at many points: the header, the middle, just before the section headers.
    for (const size_t cut : {size_t(0), size_t(3), size_t(20), size_t(63), size_t(4096),
                             cli.size() / 2, cli.size() - 1}) {
        const ScratchFile file(cli.substr(0, cut));
        EXPECT_FALSE(HdCVersionInfo(file.Path()).HasData()) << cut;
    }

    // Garbage after a valid ELF identification, and section headers pointing past the end.
    std::string garbage(4096, '\xff');
    garbage.replace(0, 6,
                    "\x7f"
                    "ELF\x02\x01");
    EXPECT_FALSE(HdCVersionInfo(ScratchFile(garbage).Path()).HasData());

    std::string zeros(4096, '\0');
    zeros.replace(0, 6,
                  "\x7f"
                  "ELF\x02\x01");
    EXPECT_FALSE(HdCVersionInfo(ScratchFile(zeros).Path()).HasData());

    // Every byte of the ELF header flipped in turn: never a crash, at most a valid read.
    for (size_t i = 16; i < 64; ++i) {
        std::string bent = cli;
        bent[i] = static_cast<char>(bent[i] ^ 0xA5);
        HdCVersionInfo(ScratchFile(bent).Path()).HasData();
    }
}

// A minimal ELF file of either class and byte order: a null section, the name table and
// the version block.
std::string SyntheticElf(bool elf64, bool bigEndian, const std::string& block) {
    std::string out;
    const auto put = [&](size_t at, uint64_t value, size_t width) {
        if (out.size() < at + width)
            out.resize(at + width, '\0');
        for (size_t i = 0; i < width; ++i)
            out[at + (bigEndian ? width - 1 - i : i)] = char((value >> (8 * i)) & 0xff);
    };
    std::string names("\0.shstrtab\0", 11);
    names.append(".kivra_version").push_back('\0');
    const size_t header = elf64 ? 64 : 52, entry = elf64 ? 64 : 40, word = elf64 ? 8 : 4;
    const size_t namesAt = header, blockAt = namesAt + names.size();
    const size_t shoff = blockAt + block.size();
    out.assign(header, '\0');
    out.replace(0, 4,
                "\x7f"
                "ELF");
    out[4] = elf64 ? 2 : 1;
    out[5] = bigEndian ? 2 : 1;
    out += names + block;
    put(elf64 ? 0x28 : 0x20, shoff, word);
    put(elf64 ? 0x3A : 0x2E, entry, 2);
    put(elf64 ? 0x3C : 0x30, 3, 2);
    put(elf64 ? 0x3E : 0x32, 1, 2);
    const size_t fields[][3] = {{0, 0, 0}, {1, namesAt, names.size()}, {11, blockAt, block.size()}};
    for (size_t i = 0; i < 3; ++i) {
        const size_t at = shoff + i * entry;
        put(at + entry - 1, 0, 1);
        put(at, fields[i][0], 4);
        put(at + 4, i == 0 ? 0 : (i == 1 ? 3 : 1), 4);
        put(at + (elf64 ? 24 : 16), fields[i][1], word);
        put(at + (elf64 ? 32 : 20), fields[i][2], word);
    }
    return out;
}

TEST(VersionInfo, EveryElfClassAndByteOrder) {
    using namespace std::string_literals;
    const std::string block =
        "KIVRAVER1\0FileVersion\0"
        "9.8.7\0\0"s;
    for (const bool elf64 : {false, true}) {
        for (const bool bigEndian : {false, true}) {
            const ScratchFile file(SyntheticElf(elf64, bigEndian, block));
            EXPECT_EQ(Get(HdCVersionInfo(file.Path()), HdCVersionInfo::kFileVersion), "9.8.7")
                << elf64 << bigEndian;
        }
    }
    // A section that claims more bytes than the file holds.
    std::string lying = SyntheticElf(true, false, block);
    lying[lying.size() - 64 + 33] = 1;  // 256 bytes more
    EXPECT_FALSE(HdCVersionInfo(ScratchFile(lying).Path()).HasData());
}

TEST(VersionInfo, BlockParsing) {
    using namespace std::string_literals;
    const auto pairs = kivra::ParseVersionBlock("KIVRAVER1\0A\0one\0B\0\0\0"s);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1].first, "B");
    EXPECT_EQ(pairs[1].second, "");
    // Cut short, without its end marker, or with the wrong magic: no strings at all.
    EXPECT_TRUE(kivra::ParseVersionBlock("KIVRAVER1\0A\0one"s).empty());
    EXPECT_TRUE(kivra::ParseVersionBlock("KIVRAVER1\0A\0one\0"s).empty());
    EXPECT_TRUE(kivra::ParseVersionBlock("KIVRAVER2\0A\0one\0\0"s).empty());
}

}  // namespace
