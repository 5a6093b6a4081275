// The compressor choice: its state file, the start-up check and the scratch test with real
// encoders.
#include "output/codec_option.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/four_cc.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::MakeFourCC;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

size_t EntriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

kivra::BitmapInfoHeader ChooserFormat() {
    kivra::BitmapInfoHeader format;
    format.biWidth = 640;
    format.biHeight = 480;
    format.biBitCount = 24;
    format.biSizeImage = 921600;
    return format;
}

// Points TMPDIR at a folder of the test's own while it lives.
class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const std::string& folder) {
        if (const char* old = std::getenv("TMPDIR")) {
            old_ = old;
            had_ = true;
        }
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTmpDir() {
        if (had_) {
            ::setenv("TMPDIR", old_.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

private:
    std::string old_;
    bool had_ = false;
};

TEST(CodecOption, StateFileRoundTripsAndKeepsItsLayout) {
    TempDir dir("kivra cdc 設定");
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Kivra.cdc");
    {
        ZebsCCodecOption option;
        EXPECT_EQ(option.CodeText(), "DIB ");
        EXPECT_EQ(option.m_compVars.quality, -1);
        EXPECT_EQ(option.GetCompressorName(), "No Compress");
        EXPECT_EQ(option.LoadState(path), 0);  // absent: stays uncompressed
        option.m_compVars.fccHandler = MakeFourCC("MJPG");
        option.m_compVars.state = "huffman=default";
        option.SaveState();
        EXPECT_EQ(ReadFile(path), "MJPGhuffman=default");
        option.m_compVars.state = "huffman=optimal";
    }  // the destructor saves too
    EXPECT_EQ(ReadFile(path), "MJPGhuffman=optimal");

    ASSERT_TRUE(WriteFile(path, "h264crf=20"));  // stored in lower case
    ZebsCCodecOption option;
    EXPECT_EQ(option.LoadState(path), 1);
    EXPECT_EQ(option.CodeText(), "H264");
    EXPECT_EQ(option.m_compVars.state, "crf=20");
    EXPECT_NE(option.GetCompressorName(), "No Compress");
    EXPECT_EQ(option.GetCompressorName(), option.Installed().at("H264"));

    ASSERT_TRUE(WriteFile(path, "MJPG"));
    EXPECT_EQ(option.LoadState(path), 1);
    EXPECT_EQ(option.CodeText(), "MJPG");
    EXPECT_EQ(option.m_compVars.state, "");

    // Not installed: the file goes, the choice stays.
    ASSERT_TRUE(WriteFile(path, "ZZZZwhatever"));
    EXPECT_EQ(option.LoadState(path), 0);
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(option.CodeText(), "MJPG");

    // The uncompressed choice is not kept.
    option.SaveState();
    EXPECT_TRUE(Exists(path));
    option.m_compVars.fccHandler = MakeFourCC("dib ");
    EXPECT_EQ(option.GetCompressorName(), "No Compress");
    option.SaveState();
    EXPECT_FALSE(Exists(path));
}

TEST(CodecOption, HostileStateFilesAreRefusedWithoutHarm) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    {
        ZebsCCodecOption noPath;
        noPath.m_compVars.fccHandler = MakeFourCC("MJPG");
        noPath.SaveState();
    }
    EXPECT_EQ(EntriesIn(dir.path()), 0u);

    const std::string path = dir.File("Kivra.cdc");
    ZebsCCodecOption option;
    // Far beyond any options line: not loaded, and nothing that size is read.
    ASSERT_TRUE(WriteFile(path, "H264" + std::string(kivra::kMaxStateRecordBytes + 1, 'x')));
    EXPECT_EQ(option.LoadState(path), 0);
    EXPECT_EQ(option.CodeText(), "DIB ");
    ASSERT_TRUE(WriteFile(path, "H264" + std::string(kivra::kMaxStateRecordBytes, 'x')));
    EXPECT_EQ(option.LoadState(path), 1);

    ASSERT_TRUE(WriteFile(path, "H2"));
    ZebsCCodecOption shortFile;
    EXPECT_EQ(shortFile.LoadState(path), 0);

    // A pipe under the name must not stall the load.
    const std::string fifo = dir.File("fifo.cdc");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ZebsCCodecOption fromPipe;
    EXPECT_EQ(fromPipe.LoadState(fifo), 0);
    fromPipe.m_compVars.fccHandler = MakeFourCC("DIB ");
}

TEST(CodecOption, CompressOptionsCarryTheChooserValues) {
    ZebsCCodecOption option;
    option.m_compVars.fccHandler = MakeFourCC("H264");
    option.m_compVars.state = "crf=18";
    kivra::CompressOptions plain = option.GetCompressOptions();
    EXPECT_EQ(plain.fccType, MakeFourCC("vids"));
    EXPECT_EQ(plain.fccHandler, MakeFourCC("H264"));
    EXPECT_EQ(plain.flags, 0u);
    EXPECT_EQ(plain.quality, -1);
    EXPECT_EQ(plain.parameters, "crf=18");
    option.m_compVars.keyFrameEvery = 15;
    option.m_compVars.dataRate = 300;
    const kivra::CompressOptions set = option.GetCompressOptions();
    EXPECT_EQ(set.flags, kivra::kCompressKeyFrames | kivra::kCompressDataRate);
    EXPECT_EQ(set.keyFrameEvery, 15);
    EXPECT_EQ(set.bytesPerSecond, 300 * 1024);
}

TEST(CodecOption, StartUpCheckSeedsTheRecommendedCompressor) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Kivra.cdc");
    EXPECT_TRUE(ZebsCCodecOption::CheckRecommendedCompressor(dir.path()));
    EXPECT_EQ(ReadFile(path), "H264crf=18:preset=medium");

    ASSERT_TRUE(WriteFile(path, "MJPG"));  // a choice of the user's is kept
    EXPECT_TRUE(ZebsCCodecOption::CheckRecommendedCompressor(dir.path() + "/"));
    EXPECT_EQ(ReadFile(path), "MJPG");

    ASSERT_TRUE(WriteFile(path, "ZZZZ"));  // names nothing installed: counts as missing
    EXPECT_FALSE(ZebsCCodecOption::CheckRecommendedCompressor(dir.path()));
    EXPECT_FALSE(Exists(path));
}

// The code alone says nothing about whether saving works: the check opens the encoder the
// record names, with the record's options.
TEST(CodecOption, StartUpCheckTriesTheEncoderTheRecordUses) {
    TempDir dir("kivra cdc");
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.File("Kivra.cdc");
    for (const char* usable : {"H264encoder=libx264:crf=20", "FMP4encoder=libxvid:lumi_aq=1"}) {
        ASSERT_TRUE(WriteFile(path, usable));
        EXPECT_TRUE(ZebsCCodecOption::CheckRecommendedCompressor(dir.path())) << usable;
        EXPECT_EQ(ReadFile(path), usable);
    }
    // Installed codes whose saves would fail: an encoder this build lacks, a device-only one,
    // and libxvid's record with its encoder= removed (the standard mpeg4 has no lumi_aq).
    for (const char* broken : {"H264encoder=libopenh264:crf=18", "H264encoder=h264_vaapi",
                               "FMP4lumi_aq=1", "MJPGcrf=18:preset=medium"}) {
        ASSERT_TRUE(WriteFile(path, broken));
        EXPECT_FALSE(ZebsCCodecOption::CheckRecommendedCompressor(dir.path())) << broken;
        // Gone, so the program runs on uncompressed and the next start seeds the default.
        EXPECT_FALSE(Exists(path)) << broken;
    }
}

TEST(CodecOption, ScratchTestEncodesRealPicturesAndCleansUp) {
    TempDir tmp("kivra tmp");
    ASSERT_TRUE(tmp.ok());
    const ScopedTmpDir scoped(tmp.path());
    // Another user's trap in the shared folder: a link under the old fixed name.
    ASSERT_TRUE(WriteFile(tmp.File("victim"), "precious"));
    ASSERT_EQ(::symlink(tmp.File("victim").c_str(), tmp.File("dummy.avi").c_str()), 0);

    ZebsCCodecOption option;
    for (const char* code : {"H264", "MJPG", "DIB "}) {
        option.m_compVars.fccHandler = MakeFourCC(code);
        option.m_compVars.state = code == std::string("H264") ? kivra::kRecommendedState : "";
        EXPECT_EQ(option.TestCompressor(ChooserFormat()), 1) << code;
    }
    option.m_compVars.fccHandler = MakeFourCC("H264");
    option.m_compVars.state = "crf=18:nonsense=1";
    EXPECT_EQ(option.TestCompressor(ChooserFormat()), 0);
    option.m_compVars.state = "preset=nosuchpreset";
    EXPECT_EQ(option.TestCompressor(ChooserFormat()), 0);
    option.m_compVars.state.clear();
    kivra::BitmapInfoHeader odd = ChooserFormat();
    odd.biWidth = 641;
    EXPECT_EQ(option.TestCompressor(odd), 0);  // 4:2:0 needs even sides

    EXPECT_EQ(ReadFile(tmp.File("victim")), "precious");
    EXPECT_EQ(EntriesIn(tmp.path()), 2u);  // the victim and the link, nothing of ours
}

}  // namespace
