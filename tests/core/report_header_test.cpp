// The report header file beside the marker file: awkward texts come back exactly, damaged or
// foreign files are refused with their reason, and a failed save keeps the old file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "gait/report_header.h"
#include "support/ffmpeg_tool.h"
#include "ui_translations.h"

namespace {

using namespace kivra;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;

TEST(ReportHeaderFileTest, AwkwardTextsComeBackExactlyAndDamagedFilesAreRefused) {
    const UiTranslations english(UiLanguage::English);  // the reasons are compared in English
    TempDir dir{"kivra visit 歩行 $;"};
    const std::string path = ReportHeaderPath(dir.File("-walk 01.$tmp$.lff"));
    EXPECT_EQ(path, dir.File("-walk 01.$tmp$.kvisit"));
    EXPECT_EQ(ReadReportHeader(path).status, ReportHeaderRead::kMissing);

    const ReportHeader awkward[] = {
        {},
        {"山田 太郎", "1950-04-01", "2024-05-01", "検査 花子", "装具 (AFO)",
         "右膝術後 6 か月\n杖なし\r\n\n", 845.25},
        // Blanks at the ends, escapes typed by the user, a line that looks like a key.
        {"  ID 0042  ", "\\n is no break \\", " ", "\t", "# no comment",
         "x\nleg-length 5\npatient y", 2999.999999999},
        {std::string("nul\0and\x01\x7f", 9), "\\x41", "\\", "😀 ü", "", "\n", 1e-300},
    };
    for (const ReportHeader& header : awkward) {
        SCOPED_TRACE(header.patient);
        const ReportHeaderRead parsed = ParseReportHeader(FormatReportHeader(header));
        ASSERT_EQ(parsed.status, ReportHeaderRead::kLoaded) << parsed.problem;
        EXPECT_EQ(parsed.header, header);
        ASSERT_TRUE(WriteReportHeader(path, header));
        EXPECT_EQ(ReadReportHeader(path).header, header);
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "patient data is the owner's";
    // Edited by hand: CRLF, blanks around keys and values, comment lines.
    EXPECT_EQ(ParseReportHeader("# by hand\r\nkivra-visit 1\r\n  patient \t Ab c  \r\n").header,
              ReportHeader{"Ab c"});

    const struct {
        std::string text;
        const char* problem;
    } damaged[] = {
        {"", "not a report header"},
        {"patient x\n", "not a report header"},
        {"kivra-gait 1\n", "not a report header"},
        {"kivra-visit 2\n", "version 2"},
        {"kivra-visit 1\nweight 80\n", "line 2: unknown entry \"weight\""},
        {"kivra-visit 1\npatient a\npatient b\n", "\"patient\" is given twice"},
        {"kivra-visit 1\ncomment a\\q\n", "backslash"},
        {"kivra-visit 1\ncomment a\\\n", "backslash"},
        {"kivra-visit 1\ncomment \\xC3\n", "backslash"},  // no UTF-8 once unescaped
        {"kivra-visit 1\npatient \xff\xfe\n", "UTF-8"},
        {"kivra-visit 1\nleg-length 3000\n", "leg length"},
        {"kivra-visit 1\nleg-length -5\n", "leg length"},
        {"kivra-visit 1\nleg-length nan\n", "leg length"},
        {"kivra-visit 1\nleg-length 1e400\n", "leg length"},
        {"kivra-visit 1\nleg-length\n", "leg length"},
    };
    for (const auto& c : damaged) {
        const ReportHeaderRead read = ParseReportHeader(c.text);
        EXPECT_EQ(read.status, ReportHeaderRead::kDamaged) << c.text;
        EXPECT_NE(read.problem.find(c.problem), std::string::npos)
            << c.text << ": " << read.problem;
    }

    // Files that are no header: too large, a folder, a FIFO (never opened, so never waited on).
    const std::string big = dir.File("big.kvisit");
    ASSERT_TRUE(WriteFile(big, "kivra-visit 1\n#" + std::string(kMaxReportHeaderBytes, 'x')));
    EXPECT_NE(ReadReportHeader(big).problem.find("too large"), std::string::npos);
    std::filesystem::create_directory(dir.File("folder.kvisit"));
    EXPECT_EQ(ReadReportHeader(dir.File("folder.kvisit")).status, ReportHeaderRead::kDamaged);
    ASSERT_EQ(::mkfifo(dir.File("fifo.kvisit").c_str(), 0600), 0);
    EXPECT_EQ(ReadReportHeader(dir.File("fifo.kvisit")).status, ReportHeaderRead::kDamaged);
    EXPECT_FALSE(WriteReportHeader(dir.File("folder.kvisit"), awkward[1]));

    // A header too large to read back is not written, and the old file stays.
    const std::string before = ReadFile(path);
    ReportHeader huge = awkward[1];
    huge.comment.assign(kMaxReportHeaderBytes, 'x');
    EXPECT_FALSE(WriteReportHeader(path, huge));
    EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
