// The recent-file list as the ini keeps it: newest first, four at most, no repeats, the rest
// of the settings file untouched, and names an ini line cannot hold left out.
#include "settings/recent_file_list.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/rw_ini_file.h"
#include "support/ffmpeg_tool.h"

namespace {

using kivra::RecentFileList;
using Paths = std::vector<std::string>;
using kivra::test::ReadFile;

class RecentFileListTest : public ::testing::Test {
protected:
    kivra::test::TempDir dir;
    std::string ini = dir.File("Kivra.ini");
};

TEST_F(RecentFileListTest, NewestFirstWithoutRepeatsAndAtMostFourSurvivingARestart) {
    {
        std::ofstream(ini) << "; user comment\n[Settings]\nMode=1\n";
        RecentFileList list(ini);
        list.Load();
        EXPECT_TRUE(list.Entries().empty());
        for (const char* name :
             {"/v/a.avi", "/v/b.avi", "/v/c.avi", "/v/b.avi", "/v/d.avi", "/v/e.avi"}) {
            list.Add(name);
        }
        EXPECT_EQ(list.Entries(), (Paths{"/v/e.avi", "/v/d.avi", "/v/b.avi", "/v/c.avi"}));
    }
    RecentFileList again(ini);
    again.Load();
    EXPECT_EQ(again.Entries(), (Paths{"/v/e.avi", "/v/d.avi", "/v/b.avi", "/v/c.avi"}));
    const std::string text = ReadFile(ini);
    EXPECT_NE(text.find("; user comment\n[Settings]\nMode=1\n"), std::string::npos);
    EXPECT_NE(text.find("[Recent File List]"), std::string::npos);
    EXPECT_NE(text.find("File1=/v/e.avi"), std::string::npos);

    again.Remove(1);
    again.Remove(7);  // no such entry: nothing happens
    EXPECT_EQ(again.Entries(), (Paths{"/v/e.avi", "/v/b.avi", "/v/c.avi"}));
    RecentFileList third(ini);
    third.Load();
    EXPECT_EQ(third.Entries(), again.Entries());
    EXPECT_EQ(kivra::GetPrivateProfileString("Recent File List", "File4", "gone", ini), "gone");
}

TEST_F(RecentFileListTest, OddNamesAreKeptExactlyOrNotAtAll) {
    const std::string blanks = "/v/ends in a blank .avi ";
    const std::string signs = "/v/$HOME; rm -rf & \"x\" 歩行.avi";
    const std::string leading = "/v/-i.avi";
    RecentFileList list(ini);
    list.Load();
    list.Add(blanks);
    list.Add(signs);
    list.Add(leading);
    list.Add("/v/two\nlines.avi");  // would inject an ini line
    list.Add("");
    RecentFileList again(ini);
    again.Load();
    EXPECT_EQ(again.Entries(), (Paths{leading, signs, blanks}));
}

TEST_F(RecentFileListTest, HandEditedListDropsEmptyAndRepeatedEntries) {
    std::ofstream(ini) << "[Recent File List]\nFile1=/v/a.avi\nFile2=\nFile3=/v/a.avi\n"
                          "File4=/v/b.avi\nFile5=/v/c.avi\n";
    RecentFileList list(ini);
    list.Load();
    EXPECT_EQ(list.Entries(), (Paths{"/v/a.avi", "/v/b.avi"}));
}

}  // namespace
