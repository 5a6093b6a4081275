// kivra-cli batch as a user runs it over a folder of recordings: the real binary on copies of
// the gait sample, one without markers and one damaged, under names a shell trips over.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <thread>
#include <tuple>

#include "batch/cohort_table.h"
#include "batch/job_runner.h"
#include "gait/gait_file.h"
#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;

const std::string kSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";
const std::string kWalk = "-walk 01 \"$;\" 歩行";  // the result folder's name too

// folder/name.avi: the sample walk, with its marker file and calibration when markers.
void CopyWalk(const std::string& folder, const std::string& name, bool markers = true) {
    fs::create_directories(folder);
    for (const char* ext : {".avi", ".lff", ".kcal"}) {
        if (markers || std::string(ext) == ".avi") {
            fs::copy_file(kSample + ext, folder + "/" + name + ext);
        }
    }
}

// Which file is there and when it was written: a result written again differs.
std::string Written(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return "missing";
    }
    return std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

// cohort.csv's rows, each by its column names.
std::vector<std::map<std::string, std::string>> Cohort(const std::string& path) {
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> names;
    const std::string text = ReadFile(path);
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        const std::vector<std::string> fields = kivra::CsvLineFields(text.substr(at, end - at));
        if (names.empty()) {
            names = fields;
            continue;
        }
        EXPECT_EQ(fields.size(), names.size());
        auto& row = rows.emplace_back();
        for (std::size_t i = 0; i < fields.size() && i < names.size(); ++i) {
            row[names[i]] = fields[i];
        }
    }
    return rows;
}

class CliBatchTest : public ::testing::Test {
protected:
    int Batch(std::vector<std::string> args) {
        args.insert(args.end(), {"--foot", "R=5,6", "--foot", "L=7,8"});
        return kivra::test::RunCliCommand(dir, "batch", std::move(args));
    }
    std::string Said() const { return ReadFile(dir.File("err.txt")); }

    TempDir dir{"kivra-batch 歩行 $;'"};
    const std::string in = dir.File("videos"), out = dir.File("out");
};

// A row per video in file-name order with its status and reason; the good one's files are
// those gait writes, with its report and done stamp; other files and sub-folders are no rows.
TEST_F(CliBatchTest, EveryVideoOfTheFolderGetsARowAndOnlyTheGoodOneAResult) {
    CopyWalk(in, kWalk);
    CopyWalk(in, "c no markers", false);
    CopyWalk(in, "d damaged");
    WriteFile(in + "/d damaged.avi", "RIFF not a movie at all");
    WriteFile(in + "/notes.txt", "not a video");
    CopyWalk(in + "/sub", "nested");
    ASSERT_EQ(Batch({in, out, "--jobs", "2"}), 1) << Said();

    const auto rows = Cohort(out + "/cohort.csv");
    const struct {
        std::string file, status, reason;
    } expected[] = {{kWalk + ".avi", "ok", ""},
                    {"c no markers.avi", "skipped", "no marker file"},
                    {"d damaged.avi", "failed", "d damaged.avi"}};
    ASSERT_EQ(rows.size(), std::size(expected)) << ReadFile(out + "/cohort.csv");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const auto& e = expected[i];
        SCOPED_TRACE(e.file);
        EXPECT_EQ(row.at("File"), in + "/" + e.file);
        EXPECT_EQ(row.at("Status"), e.status);
        EXPECT_TRUE(
            std::regex_match(row.at("Date"), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)")));
        if (e.reason.empty()) {
            EXPECT_EQ(row.at("Reason"), "");
        } else {
            EXPECT_NE(row.at("Reason").find(e.reason), std::string::npos) << row.at("Reason");
        }
        const std::string result = out + "/" + fs::path(e.file).stem().string();
        EXPECT_EQ(fs::exists(result + "/done"), e.status == "ok");
    }
    EXPECT_EQ(rows[0].at("Strides_R"), "2");
    EXPECT_EQ(rows[0].at("StrideLength_R"), "1320.0000");
    EXPECT_EQ(rows[0].at("LengthUnit"), "mm");
    EXPECT_NE(rows[0].at("Warnings").find("FewStrides: "), std::string::npos);
    EXPECT_EQ(rows[1].at("StrideLength_R"), "");
    EXPECT_NE(Said().find("[3/3] "), std::string::npos) << Said();

    // The same files gait writes, and the report beside them.
    const std::string result = out + "/" + kWalk;
    ASSERT_EQ(kivra::test::RunCliCommand(dir, "gait",
                                         {in + "/" + kWalk + ".avi", dir.File("gait"), "--foot",
                                          "R=5,6", "--foot", "L=7,8"}),
              0);
    for (const char* name : {"events.csv", "strides.csv", "summary.csv", "cycles.csv"}) {
        EXPECT_EQ(ReadFile(result + "/" + name), ReadFile(dir.File("gait/") + name)) << name;
    }
    EXPECT_TRUE(ReadFile(result + "/report.pdf").starts_with("%PDF"));
}

// A finished result is kept, row and all, until its inputs or options change, it is asked for
// again, or its folder is no longer whole.
TEST_F(CliBatchTest, AFinishedResultIsKeptUntilItIsStaleOrAskedForAgain) {
    CopyWalk(in, kWalk);
    ASSERT_EQ(Batch({in, out}), 0) << Said();
    const std::string cohort = ReadFile(out + "/cohort.csv");
    const std::string result = out + "/" + kWalk;
    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> options;
        bool redone;
    } cases[] = {
        {"nothing changed", [] {}, {}, false},
        {"--again", [] {}, {"--again"}, true},
        {"the done stamp lost", [&] { fs::remove(result + "/done"); }, {}, true},
        {"a result file lost", [&] { fs::remove(result + "/summary.csv"); }, {}, true},
        {"the report lost", [&] { fs::remove(result + "/report.pdf"); }, {}, true},
        {"the markers edited",
         [&] { WriteFile(in + "/" + kWalk + ".lff", ReadFile(kSample + ".lff")); },
         {},
         true},
        {"other options", [] {}, {"--pelvis", "2"}, true},
        {"the same other options", [] {}, {"--pelvis", "2"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string before =
            Written(result + "/summary.csv") + Written(result + "/report.pdf");
        c.change();
        std::vector<std::string> args{in, out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(Batch(args), 0) << Said();
        const std::string after =
            Written(result + "/summary.csv") + Written(result + "/report.pdf");
        EXPECT_EQ(before != after, c.redone);
        if (c.options.empty()) {
            EXPECT_EQ(ReadFile(out + "/cohort.csv"), cohort);
        }
    }
}

// Without --foot each video's own .kgait names its feet: one marked as the options would, one
// with its sides the other way round, one without any, which is a failed row, not a stop. With
// --foot the options win for all three.
TEST_F(CliBatchTest, WithoutFootEachVideoTakesTheFeetOfItsOwnKgait) {
    using kivra::FootMarkers;
    CopyWalk(in, "a");
    CopyWalk(in, "b swapped");
    CopyWalk(in, "c none");
    ASSERT_TRUE(kivra::WriteFootRoles(kivra::GaitFilePath(in + "/a.lff"),
                                      kivra::FootRoles{FootMarkers{5, 6}, FootMarkers{7, 8}, 0}));
    ASSERT_TRUE(kivra::WriteFootRoles(kivra::GaitFilePath(in + "/b swapped.lff"),
                                      kivra::FootRoles{FootMarkers{7, 8}, FootMarkers{5, 6}, 0}));
    const auto check = [&](const std::string& folder, bool options) {
        const auto rows = Cohort(folder + "/cohort.csv");
        ASSERT_EQ(rows.size(), 3u) << ReadFile(folder + "/cohort.csv");
        EXPECT_EQ(rows[0].at("Status"), "ok") << rows[0].at("Reason");
        EXPECT_EQ(rows[1].at("Status"), "ok") << rows[1].at("Reason");
        EXPECT_EQ(rows[2].at("Status"), options ? "ok" : "failed");
        EXPECT_EQ(rows[2].at("Reason").find("no foot markers set") != std::string::npos, !options)
            << rows[2].at("Reason");
        const auto& a = rows[0];
        const auto& b = rows[1];
        EXPECT_EQ(a.at("Strides_R"), "2");
        EXPECT_EQ(a.at("StrideLength_R"), "1320.0000");
        const std::string mine = options ? "R" : "L", theirs = options ? "L" : "R";
        for (const char* name : {"Strides_", "StrideLength_", "StrideTime_"}) {
            EXPECT_EQ(b.at(name + std::string("R")), a.at(name + mine)) << name;
            EXPECT_EQ(b.at(name + std::string("L")), a.at(name + theirs)) << name;
        }
    };
    EXPECT_EQ(kivra::test::RunCliCommand(dir, "batch", {in, out, "--jobs", "2"}), 1) << Said();
    check(out, false);
    ASSERT_EQ(Batch({in, dir.File("with options"), "--jobs", "2"}), 0) << Said();
    check(dir.File("with options"), true);
}

// A list names videos anywhere, in its order; one file name twice gets two result folders, a
// path that leads nowhere a failed row.
TEST_F(CliBatchTest, AListNamesVideosAnywhereInItsOrder) {
    CopyWalk(dir.File("b"), kWalk);
    CopyWalk(dir.File("a"), kWalk);
    const std::string list = dir.File("list $ 1.txt");
    WriteFile(list, "# machine 1\r\n" + dir.File("b/") + kWalk + ".avi\r\n\r\n" + dir.File("a/") +
                        kWalk + ".avi\n" + dir.File("gone.avi") + "\n");
    ASSERT_EQ(Batch({"--list", list, out, "--jobs", "3"}), 1) << Said();
    const auto rows = Cohort(out + "/cohort.csv");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("File"), dir.File("b/") + kWalk + ".avi");
    EXPECT_EQ(rows[1].at("File"), dir.File("a/") + kWalk + ".avi");
    EXPECT_EQ((std::vector<std::string>{rows[0].at("Status"), rows[1].at("Status"),
                                        rows[2].at("Status")}),
              (std::vector<std::string>{"ok", "ok", "failed"}));
    EXPECT_TRUE(fs::exists(out + "/" + kWalk + ".avi/done"));
    EXPECT_TRUE(fs::exists(out + "/" + kWalk + ".avi-2/done"));

    // Two machines' tables joined; one that is no cohort table is refused, naming it.
    const std::string joined = dir.File("all $.csv");
    ASSERT_EQ(kivra::test::RunCliCommand(
                  dir, "batch", {"--join", joined, out + "/cohort.csv", out + "/cohort.csv"}),
              0)
        << Said();
    EXPECT_EQ(Cohort(joined).size(), 6u);
    EXPECT_EQ(kivra::test::RunCliCommand(
                  dir, "batch", {"--join", joined, out + "/" + kWalk + ".avi/summary.csv"}),
              1);
    EXPECT_NE(Said().find("summary.csv: "), std::string::npos) << Said();
}

// The tables of two machines, with columns of their own, join by column name, every field kept.
TEST(CohortTableTest, TablesOfSeveralRunsJoinByColumnName) {
    using kivra::CohortRow;
    const std::vector<CohortRow> first = {
        {"/a/\"x\", y.avi",
         "2026-01-02T03:04:05",
         CohortRow::kOk,
         "",
         "mm",
         3,
         2,
         {{"StrideTime_R", "1.1000"}, {"StrideTime_L", ""}},
         {"FewStrides: few, \"really\"", "NoCalibration: px"}},
        {"/a/b.avi", "2026-01-02T03:04:06", CohortRow::kFailed, "no; markers, none"}};
    const std::vector<CohortRow> second = {
        {"/b/c.avi", "2026-01-03T00:00:00", CohortRow::kSkipped, "none"},
        {"/b/d.avi", "2026-01-03T00:00:01", CohortRow::kOk, "", "px", 1, 0, {{"Speed", "0.9"}}}};
    std::string problem;
    std::vector<CohortRow> joined;
    for (const auto& table : {first, second}) {
        const auto read = kivra::ReadCohortCsv(kivra::FormatCohortCsv(table), problem);
        ASSERT_TRUE(read) << problem;
        joined.insert(joined.end(), read->begin(), read->end());
    }
    const std::string text = kivra::FormatCohortCsv(joined);
    const auto again = kivra::ReadCohortCsv(text, problem);
    ASSERT_TRUE(again && again->size() == 4) << text;
    const std::vector<CohortRow> rows = {first[0], first[1], second[0], second[1]};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CohortRow& got = (*again)[i];
        EXPECT_EQ(
            std::tie(got.file, got.date, got.status, got.reason, got.lengthUnit, got.stridesRight,
                     got.stridesLeft, got.warnings),
            std::tie(rows[i].file, rows[i].date, rows[i].status, rows[i].reason, rows[i].lengthUnit,
                     rows[i].stridesRight, rows[i].stridesLeft, rows[i].warnings))
            << i;
        for (const auto& [name, value] : rows[i].values) {
            EXPECT_NE(std::find(got.values.begin(), got.values.end(), std::pair(name, value)),
                      got.values.end())
                << name;
        }
    }
    EXPECT_TRUE(
        text.starts_with("File,Date,Status,Reason,LengthUnit,Strides_R,Strides_L,"
                         "StrideTime_R,StrideTime_L,Speed,Warnings\r\n"))
        << text;
    EXPECT_FALSE(kivra::ReadCohortCsv("Parameter,Value,Unit\r\n", problem));
    EXPECT_FALSE(kivra::ReadCohortCsv(text + "x,y\r\n", problem));
}

// Every job runs once, never more than `jobs` at a time, all on the calling thread for one.
TEST(BatchJobsTest, EachJobRunsOnceAndNoMoreAtATimeThanAsked) {
    for (const int jobs : {1, 3, 40}) {
        SCOPED_TRACE(jobs);
        std::mutex lock;
        std::vector<int> ran(20);
        int running = 0, most = 0;
        bool onCaller = true;
        const std::thread::id caller = std::this_thread::get_id();
        kivra::RunJobs(ran.size(), jobs, [&](std::size_t i) {
            {
                const std::lock_guard<std::mutex> hold(lock);
                ++ran[i];
                most = std::max(most, ++running);
                onCaller = onCaller && std::this_thread::get_id() == caller;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::lock_guard<std::mutex> hold(lock);
            --running;
        });
        EXPECT_EQ(ran, std::vector<int>(20, 1));
        EXPECT_LE(most, std::min(jobs, 20));
        EXPECT_EQ(onCaller, jobs == 1);
    }
}

}  // namespace
