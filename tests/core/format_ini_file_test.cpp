// The output formats of "profile.ini": contiguous numbering, empty commands, the fallback filter.
#include <gtest/gtest.h>

#include "convert/encoder_command.h"
#include "convert/format_ini_file.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::test::TempDir;

void WriteProfile(const TempDir& dir, const std::string& text) {
    kivra::test::WriteFile(dir.File("profile.ini"), text);
}

TEST(FormatIniFileTest, NumberingMustBeContiguousFromOne) {
    TempDir dir;
    WriteProfile(dir,
                 "[Output]\r\nFilter1=MP4 file(*.mp4)|*.mp4|\r\nCommand1=-i \"<%input%>\" "
                 "\"<%output%>\"\r\nFilter3=WMV file(*.wmv)|*.wmv|\r\nCommand3=x\r\n");
    const CFormatIniFile profiles(dir.path());
    EXPECT_EQ(profiles.Path(), dir.File("profile.ini"));
    EXPECT_EQ(profiles.Filters(), std::vector<std::string>{"MP4 file(*.mp4)|*.mp4|"});
    EXPECT_EQ(profiles.Commands(), std::vector<std::string>{"-i \"<%input%>\" \"<%output%>\""});
    EXPECT_EQ(profiles.GetFilterString(), "MP4 file(*.mp4)|*.mp4||");
}

TEST(FormatIniFileTest, EmptyOrMissingCommandsKeepTheirPlaceAndRunTheBuiltIn) {
    TempDir dir;
    WriteProfile(dir,
                 "[output]\nfilter1=A|*.a|\nCommand1=\nFILTER2=B|*.b|\nFilter3=C|*.c|\n"
                 "Command3=-i <%input%> -c:v mpeg4 <%output%>\n");
    const CFormatIniFile profiles(dir.path());
    ASSERT_EQ(profiles.Filters().size(), 3u);
    EXPECT_EQ(profiles.Commands(),
              (std::vector<std::string>{"", "", "-i <%input%> -c:v mpeg4 <%output%>"}));
    EXPECT_EQ(profiles.GetFilterString(), "A|*.a|B|*.b|C|*.c||");
    for (const int index : {0, 1}) {
        EXPECT_EQ(
            kivra::BuildProfileCommand("/t/i.avi", "/t/o.b", profiles.Commands(), index).logText,
            "-i \"/t/i.avi\" -y -sameq \"/t/o.b\"");
    }
    EXPECT_EQ(kivra::BuildProfileCommand("/t/i.avi", "/t/o.c", profiles.Commands(), 2).logText,
              "-i /t/i.avi -c:v mpeg4 /t/o.c");
}

TEST(FormatIniFileTest, NoProfilesGiveTheAviFilter) {
    TempDir dir;
    EXPECT_TRUE(CFormatIniFile(dir.path()).Filters().empty());  // no file at all
    WriteProfile(dir, "");
    EXPECT_EQ(CFormatIniFile(dir.path()).GetFilterString(), "AVI file(*.avi)|*.avi||");
    WriteProfile(dir, "[Output]\nFilter1=\nCommand1=-i x y\nFilter2=B|*.b|\n");
    const CFormatIniFile emptyFirst(dir.path());
    EXPECT_TRUE(emptyFirst.Commands().empty());
    EXPECT_EQ(emptyFirst.GetFilterString(), "AVI file(*.avi)|*.avi||");
}

TEST(FormatIniFileTest, HugeListsAreBounded) {
    TempDir dir;
    std::string text = "[Output]\n";
    for (int n = 1; n <= 5000; ++n) {
        text += "Filter" + std::to_string(n) + "=F|*.f|\n";
    }
    WriteProfile(dir, text);
    const CFormatIniFile profiles(dir.path());
    EXPECT_EQ(profiles.Filters().size(), profiles.Commands().size());
    EXPECT_LE(profiles.Filters().size(), 256u);
}

}  // namespace
