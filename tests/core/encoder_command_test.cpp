// Encoder command lines: what reaches the encoder as arguments and what the command log shows.
#include <gtest/gtest.h>

#include <algorithm>

#include "convert/encoder_command.h"

namespace {

using kivra::BuildProfileCommand;
using kivra::BuildSoundSplitCommand;
using kivra::BuildVideoCommand;
using kivra::SplitArguments;
using Args = std::vector<std::string>;

const Args kPrefix = {"-nostdin", "-hide_banner", "-nostats", "-loglevel", "error"};

Args WithPrefix(const Args& rest) {
    Args all = kPrefix;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

bool Contains(const Args& args, const std::string& arg) {
    return std::find(args.begin(), args.end(), arg) != args.end();
}

size_t IndexOf(const Args& args, const std::string& arg) {
    return static_cast<size_t>(std::find(args.begin(), args.end(), arg) - args.begin());
}

TEST(SplitArgumentsTest, QuotesGroupAndVanish) {
    EXPECT_EQ(SplitArguments("  -i \"a b\"\t-y  x\"c d\"e \"\" "),
              (Args{"-i", "a b", "-y", "xc de", ""}));
    EXPECT_EQ(SplitArguments("-i \"unterminated  rest"), (Args{"-i", "unterminated  rest"}));
    EXPECT_EQ(SplitArguments("a\\b 'c d'"), (Args{"a\\b", "'c", "d'"}));
    EXPECT_TRUE(SplitArguments(" \t\r\n").empty());
}

TEST(VideoCommandTest, DefaultCodecSizeLimitAndTheLogLayout) {
    const auto cmd = BuildVideoCommand("/v/a b.mp4", "/v/a b.$tmp$.avi", "", 1, "");
    EXPECT_EQ(cmd.logText,
              "-i \"/v/a b.mp4\" -vcodec msmpeg4v2 -sameq -y -fs 2200000000 -an  "
              "\"/v/a b.$tmp$.avi\"");
    EXPECT_EQ(cmd.args, WithPrefix({"-i", "/v/a b.mp4", "-vcodec", "msmpeg4v2", "-q:v", "2", "-y",
                                    "-fs", "2200000000", "-an", "/v/a b.$tmp$.avi"}));

    // Without the limit the empty piece leaves two blanks in the log and nothing in the args.
    const auto unlimited = BuildVideoCommand("/v/a.mp4", "/v/o.avi", "mpeg4", 0, "");
    EXPECT_EQ(unlimited.logText, "-i \"/v/a.mp4\" -vcodec mpeg4 -sameq -y  -an  \"/v/o.avi\"");
    EXPECT_FALSE(Contains(unlimited.args, "-fs"));
    EXPECT_FALSE(Contains(unlimited.args, "-sameq"));

    // A blank codec setting is no codec name.
    const Args blank = BuildVideoCommand("/a.mp4", "/o.avi", "  ", 0, "").args;
    EXPECT_EQ(blank[IndexOf(blank, "-vcodec") + 1], "msmpeg4v2");
}

TEST(VideoCommandTest, FrameRateOnlyForM2tsInAnyCase) {
    const auto m2ts = BuildVideoCommand("/v/CLIP.M2TS", "/v/CLIP.$tmp$.avi", "", 0,
                                        "-s 1440x1080 -aspect 1.3333");
    EXPECT_EQ(m2ts.logText,
              "-i \"/v/CLIP.M2TS\" -vcodec msmpeg4v2 -sameq -y  -an -r 29.97 -s 1440x1080 "
              "-aspect 1.3333 \"/v/CLIP.$tmp$.avi\"");
    const size_t an = IndexOf(m2ts.args, "-an");
    ASSERT_LT(an + 6, m2ts.args.size());
    EXPECT_EQ(Args(m2ts.args.begin() + an, m2ts.args.begin() + an + 7),
              (Args{"-an", "-r", "29.97", "-s", "1440x1080", "-aspect", "1.3333"}));

    for (const char* path : {"/v/clip.mts", "/v/clip.m2ts.mp4", "/v.m2ts/clip"}) {
        const auto cmd = BuildVideoCommand(path, "/o.avi", "", 0, "");
        EXPECT_FALSE(Contains(cmd.args, "-r")) << path;
        EXPECT_EQ(cmd.logText.find("29.97"), std::string::npos) << path;
    }
}

TEST(VideoCommandTest, RotationFiltersStopTheEncodersOwnTurn) {
    for (const char* extra :
         {"-vf transpose=1 -metadata:s:v:0 rotate=0", "-vf hflip,vflip -metadata:s:v:0 rotate=0",
          "-s 640x360 -aspect 1.7778 -vf transpose=2 -metadata:s:v:0 rotate=0"}) {
        const auto cmd = BuildVideoCommand("/a.mp4", "/o.avi", "", 1, extra);
        const size_t i = IndexOf(cmd.args, "-i");
        ASSERT_GT(i, 0u) << extra;
        EXPECT_EQ(cmd.args[i - 1], "-noautorotate") << extra;
        EXPECT_EQ(std::count(cmd.args.begin(), cmd.args.end(), "-noautorotate"), 1) << extra;
        EXPECT_EQ(cmd.logText.find("noautorotate"), std::string::npos);
    }
    EXPECT_FALSE(
        Contains(BuildVideoCommand("/a.mp4", "/o.avi", "", 1, "-s 640x360").args, "-noautorotate"));
}

TEST(VideoCommandTest, HostileNamesStaySingleArguments) {
    const std::string names[] = {"/t/a b \"q\" 'p'.mp4", "/t/$(touch pwned);x.mp4",
                                 "/t/日本語 動画.mp4", "/t/-dash.mp4"};
    for (const std::string& name : names) {
        const auto cmd = BuildVideoCommand(name, name + ".avi", "", 1, "");
        EXPECT_EQ(cmd.args[IndexOf(cmd.args, "-i") + 1], name);
        EXPECT_EQ(cmd.args.back(), name + ".avi");
        EXPECT_NE(cmd.logText.find("\"" + name + "\""), std::string::npos);
    }
    // Relative names must read neither as an option nor as a protocol.
    const auto rel = BuildVideoCommand("-i.mp4", "clip:1.avi", "", 1, "");
    EXPECT_EQ(rel.args[IndexOf(rel.args, "-vcodec") - 1], "./-i.mp4");
    EXPECT_EQ(rel.args.back(), "./clip:1.avi");
    EXPECT_EQ(rel.logText.find("./"), std::string::npos);

    const auto sound = BuildSoundSplitCommand("-a b.mp4", "/t/$x;.wav");
    EXPECT_EQ(sound.args, WithPrefix({"-i", "./-a b.mp4", "-vn", "-y", "/t/$x;.wav"}));
    EXPECT_EQ(sound.logText, "-i \"-a b.mp4\" -vn -y \"/t/$x;.wav\"");
}

TEST(ProfileCommandTest, TemplatesAreSplitBeforeThePathsGoIn) {
    const Args commands = {"-i \"<%input%>\" -vcodec libx264 <AVOptions> -y \"<%output%>\""};
    const std::string in = "/t/a \"b\" $(touch pwned).$out$.avi";
    const std::string out = "/t/x;y <%input%>.mp4";
    const auto cmd = BuildProfileCommand(in, out, commands, 0);
    EXPECT_EQ(cmd.args, WithPrefix({"-i", in, "-vcodec", "libx264", "-y", out}));
    // One pass: the placeholder inside the output name is not filled in again.
    EXPECT_EQ(cmd.logText, "-i \"" + in + "\" -vcodec libx264  -y \"" + out + "\"");

    const auto m2ts = BuildProfileCommand("/t/in.M2ts", "/t/o.mp4", commands, 0);
    EXPECT_EQ(m2ts.args, WithPrefix({"-i", "/t/in.M2ts", "-vcodec", "libx264", "-r", "29.97", "-y",
                                     "/t/o.mp4"}));
    EXPECT_EQ(m2ts.logText, "-i \"/t/in.M2ts\" -vcodec libx264 -r 29.97 -y \"/t/o.mp4\"");

    // Without <AVOptions>, only the paths change; relative paths are protected, embedded ones
    // are left as they are; -sameq is replaced.
    const Args plain = {"-i <%input%> -sameq -metadata title=<%output%> <%output%>.mkv"};
    const auto rel = BuildProfileCommand("-in.avi", "-out", plain, 0);
    EXPECT_EQ(rel.args, WithPrefix({"-i", "./-in.avi", "-q:v", "2", "-metadata", "title=-out",
                                    "./-out.mkv"}));
    EXPECT_EQ(rel.logText, "-i -in.avi -sameq -metadata title=-out -out.mkv");
}

TEST(ProfileCommandTest, BuiltInCommandForMissingOrEmptyProfiles) {
    const Args builtIn = WithPrefix({"-i", "/t/in.avi", "-y", "-q:v", "2", "/t/o.wmv"});
    const std::string builtInLog = "-i \"/t/in.avi\" -y -sameq \"/t/o.wmv\"";
    const Args commands = {"", "  ", "-i <%input%> <%output%>"};
    for (const int index : {-1, 0, 1, 3, 100}) {
        const auto cmd = BuildProfileCommand("/t/in.avi", "/t/o.wmv", commands, index);
        EXPECT_EQ(cmd.args, builtIn) << index;
        EXPECT_EQ(cmd.logText, builtInLog) << index;
    }
    EXPECT_EQ(BuildProfileCommand("/t/in.avi", "/t/o.wmv", {}, 0).args, builtIn);
    EXPECT_EQ(BuildProfileCommand("/t/in.avi", "/t/o.wmv", commands, 2).args,
              WithPrefix({"-i", "/t/in.avi", "/t/o.wmv"}));
}

TEST(ProfileCommandTest, RotationInATemplateGoesBeforeTheInput) {
    const auto cmd = BuildProfileCommand(
        "/t/in.avi", "/t/o.mp4", {"-y -i \"<%input%>\" -vf \"transpose=1\" \"<%output%>\""}, 0);
    EXPECT_EQ(cmd.args, WithPrefix({"-y", "-noautorotate", "-i", "/t/in.avi", "-vf", "transpose=1",
                                    "/t/o.mp4"}));
}

}  // namespace
