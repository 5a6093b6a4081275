// The markers-only open against the full one on real files: every frame numbered, timed and
// sized alike, with nothing decoded.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"
#include "workspace/markers_only_open.h"

namespace {

using kivra::test::RunFfmpeg;
using kivra::test::TempDir;

TEST(MarkersOnlyOpenTest, NumbersEveryFrameAsTheFullOpenDoes) {
    TempDir dir{"kivra markers only 歩行 $;"};
    const std::vector<std::string> source = {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25"};
    const struct {
        std::string name;
        std::vector<std::string> options;
        bool cutShort;
    } cases[] = {
        {"dropped.avi",
         {"-frames:v", "20", "-vf", "select='not(eq(n\\,7))'", "-fps_mode", "passthrough", "-c:v",
          "mjpeg"},
         false},
        {"reordered.avi", {"-frames:v", "30", "-c:v", "libx264", "-bf", "3", "-g", "12"}, false},
        {"cut short.avi", {"-frames:v", "40", "-c:v", "mjpeg"}, true},
        {"-clip.mp4", {"-frames:v", "30", "-c:v", "libx264", "-bf", "2", "-g", "9"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        std::vector<std::string> args = source;
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(path);
        ASSERT_TRUE(RunFfmpeg(args));
        if (c.cutShort) {
            std::filesystem::resize_file(path, std::filesystem::file_size(path) * 7 / 10);
        }
        CInifileManager settings{std::string()};
        settings.Program().openDirect = true;
        kivra::test::RecordingHost host;
        CVfwDoc doc(host, kivra::test::DocumentGroups(settings), dir.path());
        doc.SetSplitSound(false);
        const CVfwDoc::PreparedSource full = doc.PrepareSource(path, host.Progress(), [] {});
        const std::optional<CVfwDoc::PreparedSource> light =
            kivra::PrepareMarkersOnly(path, settings.Program(), host.Progress());
        ASSERT_TRUE(full.stream) << full.failure;
        ASSERT_TRUE(light && light->stream);
        const CAviVideoStream& a = *full.stream;
        CAviVideoStream& b = *light->stream;
        EXPECT_EQ(b.GetStart(), a.GetStart());
        EXPECT_EQ(b.GetEnd(), a.GetEnd());
        EXPECT_EQ(b.GetFrameCount(), a.GetFrameCount());
        EXPECT_EQ(b.StatedFrameCount(), a.StatedFrameCount());
        EXPECT_EQ(b.GetFrameRate(), a.GetFrameRate());
        EXPECT_EQ(b.FileInfo().dwWidth, a.FileInfo().dwWidth);
        EXPECT_EQ(b.FileInfo().dwHeight, a.FileInfo().dwHeight);
        EXPECT_EQ(b.MarkerFilePath(), a.MarkerFilePath());
        EXPECT_EQ(light->durationMs, full.durationMs);
        for (int n = a.GetStart() - 1; n <= a.GetEnd() + 1; ++n) {
            EXPECT_EQ(b.PictureOf(n), a.PictureOf(n)) << n;
        }
        b.LoadFrame(b.GetEnd());
        EXPECT_TRUE(b.DisplayBitmap().Empty());
    }
}

}  // namespace
