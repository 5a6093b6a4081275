#include "platform/compressors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/four_cc.h"
#include "support/ffmpeg_tool.h"

namespace kivra {
namespace {

namespace fs = std::filesystem;

const CompressorInfo* ByName(const std::string& name) {
    const auto& list = InstalledCompressors();
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const CompressorInfo& c) { return c.name == name; });
    return it == list.end() ? nullptr : &*it;
}

TEST(InstalledCompressors, ListsAviEncodersOnceEachWithoutDeviceWrappers) {
    const auto& list = InstalledCompressors();
    const struct {
        const char* code;
        const char* name;
    } expected[] = {
        {"MJPG", "mjpeg"}, {"MP42", "msmpeg4v2"}, {"H264", "libx264"}, {"DIB ", "rawvideo"}};
    for (const auto& e : expected) {
        const CompressorInfo* c = ByName(e.name);
        ASSERT_NE(c, nullptr) << e.name;
        EXPECT_EQ(c->codeText, e.code);
        EXPECT_EQ(c->code, MakeFourCC(e.code));
        EXPECT_FALSE(c->description.empty()) << e.name;
    }

    std::set<std::string> names;
    for (const auto& c : list) {
        EXPECT_TRUE(names.insert(c.name).second) << "listed twice: " << c.name;
        EXPECT_EQ(c.codeText, FourCCText(c.code));
        EXPECT_NE(c.code, 0u) << c.name;
        for (const char* device : {"vaapi", "qsv", "v4l2m2m", "omx", "nvenc", "amf", "cuda",
                                   "videotoolbox", "mediacodec", "vulkan"}) {
            EXPECT_EQ(c.name.find(device), std::string::npos) << c.name;
        }
        EXPECT_FALSE(c.version.empty());
    }
    EXPECT_EQ(ByName("avui"), nullptr) << "experimental encoders stay out";
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return a.codeText < b.codeText;
    }));
}

TEST(InstalledCompressors, DriverIsAnExistingLibraryAndTheListIsBuiltOnce) {
    const auto& first = InstalledCompressors();
    ASSERT_FALSE(first.empty());
    const std::string& driver = first.front().driver;
    ASSERT_FALSE(driver.empty());
    EXPECT_TRUE(fs::is_regular_file(driver)) << driver;
    EXPECT_NE(driver.find("libavcodec"), std::string::npos) << driver;
    EXPECT_EQ(&InstalledCompressors(), &first);
}

TEST(FindCompressor, MatchesCodeIgnoringCaseThenByCodec) {
    EXPECT_EQ(FindCompressor(MakeFourCC("mjpg"))->name, "mjpeg");
    // Two encoders write H264 and two write FMP4; FFmpeg's own default is the answer.
    EXPECT_EQ(FindCompressor(MakeFourCC("H264"))->name, "libx264");
    EXPECT_EQ(FindCompressor(MakeFourCC("FMP4"))->name, "mpeg4");
    // Tags the muxer never writes still name the encoder of their codec.
    EXPECT_EQ(FindCompressor(MakeFourCC("XVID"))->name, "mpeg4");
    EXPECT_EQ(FindCompressor(MakeFourCC("divx"))->name, "mpeg4");
    EXPECT_EQ(FindCompressor(MakeFourCC("avc1"))->name, "libx264");
    EXPECT_EQ(FindCompressor(MakeFourCC("rgb "))->codeText, "DIB ");
    EXPECT_FALSE(FindCompressor(MakeFourCC("ZZZZ")).has_value());
    EXPECT_FALSE(FindCompressor(0).has_value());
}

TEST(HasEncoder, OnlyInstalledCompressorsCount) {
    EXPECT_TRUE(HasEncoder("libx264"));
    EXPECT_TRUE(HasEncoder("mjpeg"));
    EXPECT_FALSE(HasEncoder("h264_vaapi"));
    EXPECT_FALSE(HasEncoder("no-such-encoder"));
    EXPECT_FALSE(HasEncoder(nullptr));
}

TEST(DescribeCodec, NamesKnownUncompressedAndUnknownCodes) {
    const CodecTexts mjpg = DescribeCodec(MakeFourCC("MJPG"));
    EXPECT_EQ(mjpg.code, "MJPG");
    EXPECT_EQ(mjpg.name, "mjpeg");
    EXPECT_FALSE(mjpg.description.empty());
    EXPECT_TRUE(fs::exists(mjpg.driver)) << mjpg.driver;

    const CodecTexts lower = DescribeCodec(MakeFourCC("mjpg"));
    EXPECT_EQ(lower.code, "mjpg") << "the stored case is shown";
    EXPECT_EQ(lower.name, "mjpeg");

    for (const char* raw : {"DIB ", "dib ", "RAW ", "Rgb "}) {
        const CodecTexts t = DescribeCodec(MakeFourCC(raw));
        EXPECT_EQ(t.code, raw);
        EXPECT_EQ(t.name, "Uncompressed") << raw;
        EXPECT_TRUE(t.description.empty() && t.driver.empty()) << raw;
    }

    const CodecTexts none = DescribeCodec(0);
    EXPECT_TRUE(none.code.empty() && none.name.empty() && none.description.empty() &&
                none.driver.empty());

    const CodecTexts xvid = DescribeCodec(MakeFourCC("XVID"));
    EXPECT_EQ(xvid.code, "XVID");
    EXPECT_EQ(xvid.name, "mpeg4");

    const CodecTexts unknown = DescribeCodec(MakeFourCC("ZZZZ"));
    EXPECT_EQ(unknown.code, "ZZZZ");
    EXPECT_TRUE(unknown.name.empty() && unknown.description.empty() && unknown.driver.empty());

    // Damaged headers must still give four printable characters.
    EXPECT_EQ(DescribeCodec(0x00FF0A41u).code, "A???");
}

// The handler code of the first "vids" stream header, read straight from the file's bytes.
uint32_t VideoHandlerOf(const std::string& file) {
    const std::string bytes = test::ReadFile(file);
    const auto le32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = v << 8 | uint8_t(bytes[at + i]);
        }
        return v;
    };
    for (size_t at = 0; at + 16 <= bytes.size(); ++at) {
        if (le32(at) == MakeFourCC("strh") && le32(at + 8) == MakeFourCC("vids")) {
            return le32(at + 12);
        }
    }
    return 0;
}

TEST(DescribeCodec, NamesTheEncoderOfARealAvi) {
    const test::TempDir dir;
    const std::string out = dir.File("clip -v2.avi");
    ASSERT_TRUE(test::RunFfmpeg(
        {"-f", "lavfi", "-i", "testsrc=size=64x48:rate=5:duration=1", "-c:v", "msmpeg4v2", out}));
    const uint32_t handler = VideoHandlerOf(out);

    const CodecTexts texts = DescribeCodec(handler);
    EXPECT_EQ(texts.code, "MP42");
    EXPECT_EQ(texts.name, "msmpeg4v2");
}

}  // namespace
}  // namespace kivra
