// kivra-cli's command table and its markers-only open, as a user runs them: the real binary on
// the sample walk, once as it is and once with a codec no decoder knows.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "markers/lff_manager.h"
#include "markers/trimming_state.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::TempDir;

const std::string kSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

// Every file under folder with its bytes, named relative to it.
std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), folder).string()] = ReadFile(e.path().string());
        }
    }
    return files;
}

// The usage with no command, with an unknown one and with each command the usage names given
// nothing to work on: the same text, listing the commands in the table's order.
TEST(CliTableTest, EveryCommandTheUsageNamesGivesTheSameUsage) {
    TempDir dir{"kivra table $;"};
    const std::string err = dir.File("err.txt");
    const std::string status = dir.File("status.txt");
    ASSERT_TRUE(
        kivra::test::RunProgram({"sh", "-c", "\"$0\" 2> \"$1\"; echo $? > \"$2\"",
                                 std::string(KIVRA_BINARY_DIR) + "/kivra-cli", err, status}));
    EXPECT_EQ(ReadFile(status), "2\n");
    const std::string usage = ReadFile(err);
    ASSERT_TRUE(usage.starts_with("usage:\n")) << usage;
    EXPECT_NE(usage.find("\n  --convert with any command"), std::string::npos);

    std::vector<std::string> named;
    const std::regex line("\n  kivra-cli ([a-z0-9]+) ");
    for (std::sregex_iterator m(usage.begin(), usage.end(), line), end; m != end; ++m) {
        named.push_back((*m)[1]);
    }
    EXPECT_EQ(named, (std::vector<std::string>{"info", "frame", "decode", "csv", "kinematics",
                                               "export", "track", "gait", "report", "compare",
                                               "trc", "c3d", "sync", "batch"}));
    named.push_back("frobnicate");
    named.push_back("--convert");
    for (const std::string& command : named) {
        EXPECT_EQ(kivra::test::RunCliCommand(dir, command, {}), 2) << command;
        EXPECT_EQ(ReadFile(err), usage) << command;
    }
}

class CliMarkersOnlyTest : public ::testing::Test {
protected:
    // Two copies of the sample with a trimming area, one whose stream names the codec "ZZZZ".
    void SetUp() override {
        CLFFManager markers;
        ASSERT_EQ(markers.LoadMarkers(kSample + ".lff", 100), CLFFManager::kLoaded);
        kivra::TrimmingState state = kivra::TrimmingStateFromMarkers(markers, 120);
        state.mode = kivra::kSideMode;
        state.direction = kivra::kLandscape;
        state.rangeStart = 10;
        state.rangeEnd = 100;
        state.area1 = kivra::AreaFromSaved({100, 100, 500, 400}, 10);
        state.area2 = kivra::AreaFromSaved({300, 120, 700, 420}, 100);
        kivra::StoreTrimmingState(markers, state);
        for (const std::string& video : {plain, missing}) {
            fs::copy_file(kSample + ".avi", video);
            fs::copy_file(kSample + ".kcal", video.substr(0, video.size() - 4) + ".kcal");
            ASSERT_TRUE(markers.SaveMarkers(video.substr(0, video.size() - 4) + ".lff", 0,
                                            kivra::kLandscape, 0));
        }
        // strh's handler and strf's compression, the only places the codec is named.
        std::string bytes = ReadFile(missing);
        const std::string header = bytes.substr(0, 4096);
        std::size_t named = 0;
        for (std::size_t at = header.find("MJPG"); at != std::string::npos;
             at = header.find("MJPG", at + 4), ++named) {
            bytes.replace(at, 4, "ZZZZ");
        }
        ASSERT_EQ(named, 2u);
        ASSERT_TRUE(kivra::test::WriteFile(missing, bytes));
    }
    int Cli(const std::string& command, std::vector<std::string> args) {
        return kivra::test::RunCliCommand(dir, command, std::move(args));
    }

    TempDir dir{"kivra markers 歩行 $;"};
    const std::string plain = dir.File("-walk.avi");
    const std::string missing = dir.File("no codec 'x'.avi");
};

// What reads the markers alone gives the same bytes without the decoder; what shows pictures
// still needs it.
TEST_F(CliMarkersOnlyTest, CommandsOnTheMarkersNeedNoDecoder) {
    ASSERT_EQ(Cli("frame", {missing, "5", dir.File("f.bmp")}), 1);
    const struct {
        const char* command;
        std::vector<std::string> options;
    } runs[] = {{"csv", {}},
                {"kinematics", {"--joint", "R:knee=5,3,4", "--filter", "6"}},
                {"gait", {"--foot", "R=5,6", "--foot", "L=7,8", "--angle", "knee=2,3,4"}}};
    for (const auto& run : runs) {
        std::map<std::string, std::string> outputs[2];
        for (int i = 0; i < 2; ++i) {
            const std::string out = dir.File("out " + std::to_string(i));
            fs::create_directory(out);
            std::vector<std::string> args = {
                i == 0 ? plain : missing,
                out + (std::string(run.command) == "gait" ? "/gait" : "/table.csv")};
            args.insert(args.end(), run.options.begin(), run.options.end());
            ASSERT_EQ(Cli(run.command, args), 0)
                << run.command << ": " << ReadFile(dir.File("err.txt"));
            outputs[i] = Files(out);
            fs::remove_all(out);
        }
        EXPECT_FALSE(outputs[0].empty()) << run.command;
        EXPECT_EQ(outputs[0], outputs[1]) << run.command;
    }
}

}  // namespace
