// Opening files through the document as the program does: what the user is told, and that bad
// files never take the program down.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "document/vfw_doc.h"
#include "platform/string_table.h"
#include "session/frame_cursor.h"
#include "support/ffmpeg_tool.h"
#include "support/recording_host.h"

namespace {

using kivra::test::ReadFile;
using kivra::test::RecordingHost;
using kivra::test::RunFfmpeg;
using kivra::test::TempDir;
using kivra::test::WriteFile;

using Fixture = kivra::test::RecordedDocument;

std::string Unrecognised(const std::string& path) {
    std::string text = kivra::LoadString(2012);
    return text.replace(text.find("%1"), 2, path);
}

TEST(VfwDocOpenTest, OpensAviAndResetsInOrder) {
    TempDir dir;
    const std::string avi = dir.File("walk.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "12",
                           "-c:v", "mjpeg", avi}));
    Fixture f;
    ASSERT_TRUE(f.Open(avi));
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_EQ(f.doc.PathName(), avi);
    ASSERT_NE(f.doc.Stream(), nullptr);
    EXPECT_EQ(f.doc.Stream()->GetFrameCount(), 12);
    const std::vector<std::string> expected = {"stop", "video 12"};
    EXPECT_EQ(f.host.calls, expected);
    EXPECT_EQ(f.session.GetViewMode(), kivra::kNormalMode);
    EXPECT_EQ(f.session.RangeEnd(), 11);
    EXPECT_FALSE(std::filesystem::exists(dir.File("writeTest.tst")));

    // Closing empties the document and never touches the video itself.
    ASSERT_TRUE(f.doc.OnNewDocument());
    EXPECT_EQ(f.doc.Stream(), nullptr);
    EXPECT_EQ(f.host.calls.back(), "no video");
    EXPECT_EQ(f.session.GetViewMode(), kivra::kNoVideo);
    EXPECT_TRUE(std::filesystem::exists(avi));
}

// Names that a shell would misread open like any other.
TEST(VfwDocOpenTest, HostileFileNamesOpen) {
    TempDir dir;
    const std::string source = dir.File("plain.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "5",
                           "-c:v", "mjpeg", source}));
    for (const std::string name :
         {"with blank.avi", "quote\"double.avi", "quote'single.avi", "$(touch pwned).avi",
          "semi;colon.avi", "-leading-dash.avi", "歩行 解析.avi"}) {
        const std::string path = dir.File(name);
        std::filesystem::copy_file(source, path);
        Fixture f;
        EXPECT_TRUE(f.doc.OnOpenDocument(path)) << name;
        EXPECT_TRUE(f.host.messages.empty()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("pwned")));
}

// Every kind of bad file gives the unrecognised-file message with its path and an empty
// document; nothing crashes. (An MP4 that only carries the .avi name is converted instead.)
TEST(VfwDocBadInputTest, BadFilesAreRefusedWithTheirPath) {
    TempDir dir;
    const std::string mp4 = dir.File("phone.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "5",
                           "-c:v", "libx264", "-f", "mp4", mp4}));
    const std::string audio = dir.File("sound only.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.5", "-c:a", "pcm_s16le", audio}));
    WriteFile(dir.File("empty.avi"), "");
    WriteFile(dir.File("garbage.avi"), std::string(5000, '\x5A'));
    WriteFile(dir.File("notes.txt"), "a text file");
    for (const std::string name : {"sound only.avi", "empty.avi", "garbage.avi", "notes.txt"}) {
        Fixture f;
        const std::string path = dir.File(name);
        EXPECT_FALSE(f.doc.OnOpenDocument(path)) << name;
        ASSERT_EQ(f.host.messages.size(), 1u) << name;
        EXPECT_EQ(f.host.messages[0], Unrecognised(path)) << name;
        EXPECT_EQ(f.doc.Stream(), nullptr) << name;
        EXPECT_TRUE(std::filesystem::exists(path)) << name;
    }
}

TEST(VfwDocBadInputTest, OpenStreamCodes) {
    TempDir dir;
    const std::string audio = dir.File("a.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.2", "-c:a", "pcm_s16le", audio}));
    WriteFile(dir.File("zero.avi"), "");
    EXPECT_EQ(CAviVideoStream("").OpenStream(), CAviVideoStream::kEmptyName);
    EXPECT_EQ(CAviVideoStream(dir.File("zero.avi")).OpenStream(), CAviVideoStream::kNotAvi);
    EXPECT_EQ(CAviVideoStream(dir.File("missing.avi")).OpenStream(), CAviVideoStream::kNotAvi);
    EXPECT_EQ(CAviVideoStream(audio).OpenStream(), CAviVideoStream::kNoVideoStream);
}

// Cut or corrupted copies of a real file open or are refused, never crash, hang or balloon.
TEST(VfwDocBadInputTest, TruncatedAndAbsurdFilesNeverCrash) {
    TempDir dir;
    const std::string good = dir.File("good.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "30",
                           "-c:v", "msmpeg4v2", "-g", "6", good}));
    const std::string bytes = ReadFile(good);
    const std::string bad = dir.File("bad.avi");
    int opened = 0;
    for (size_t cut = 0; cut < bytes.size(); cut += std::max<size_t>(1, bytes.size() / 97)) {
        WriteFile(bad, bytes.substr(0, cut));
        CAviVideoStream stream(bad);
        if (stream.OpenStream() == CAviVideoStream::kOpened) {
            ++opened;
            EXPECT_LE(stream.GetEnd(), 29);
            for (int n = stream.GetEnd(); n >= stream.GetStart(); n -= 3)
                stream.LoadFrame(n);
        }
    }
    EXPECT_GT(opened, 10);  // a file cut in its frames still shows the frames it has

    // Header fields set to absurd values, one at a time.
    const std::string avih = "avih";
    const std::string strh = "strh";
    const size_t mainHeader = bytes.find(avih) + 8;
    const size_t streamHeader = bytes.find(strh) + 8;
    const std::vector<size_t> fields = {
        mainHeader + 16,   mainHeader + 32,   mainHeader + 36,    // frames, width, height
        streamHeader + 20, streamHeader + 24, streamHeader + 28,  // scale, rate, start
        streamHeader + 32, streamHeader + 36};                    // length, buffer size
    for (const size_t field : fields) {
        for (const uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            std::string copy = bytes;
            std::memcpy(copy.data() + field, &value, 4);
            WriteFile(bad, copy);
            CAviVideoStream stream(bad);
            if (stream.OpenStream() == CAviVideoStream::kOpened) {
                kivra::FrameCursor cursor([&stream] { return &stream; });
                cursor.MoveTo(INT32_MAX);
                cursor.LoadPicture();
                cursor.MoveTo(-5);
                cursor.LoadPicture();
                EXPECT_LE(stream.GetEnd() - stream.GetStart(), 29);
                (void)stream.GetFrameRate();
            }
        }
    }
}

// A folder where nothing can be created gives the read-only message before anything else, and
// the video already open stays.
TEST(VfwDocOpenTest, ReadOnlyFolderGivesMessage2013) {
    TempDir dir;
    const std::string source = dir.File("source.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "3",
                           "-c:v", "mjpeg", source}));
    const std::string folder = dir.File("cdrom");
    std::filesystem::create_directory(folder);
    if (geteuid() != 0) {
        std::filesystem::copy_file(source, folder + "/clip.avi");
        chmod(folder.c_str(), 0555);
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(source));
        const CAviVideoStream* kept = f.doc.Stream();
        EXPECT_FALSE(f.doc.OnOpenDocument(folder + "/clip.avi"));
        chmod(folder.c_str(), 0755);
        ASSERT_EQ(f.host.messages.size(), 1u);
        EXPECT_EQ(f.host.messages[0], kivra::LoadString(2013));
        EXPECT_EQ(f.doc.Stream(), kept);
        EXPECT_EQ(f.doc.PathName(), source);
        return;
    }
    // Root writes through permission bits, so the folder becomes a read-only mount in a
    // private mount namespace of a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, nullptr) != 0) {
            _exit(77);
        }
        std::filesystem::copy_file(source, folder + "/clip.avi");
        if (mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            _exit(77);
        }
        Fixture f;
        if (!f.doc.OnOpenDocument(source)) {
            _exit(1);
        }
        const CAviVideoStream* kept = f.doc.Stream();
        const bool opened = f.doc.OnOpenDocument(folder + "/clip.avi");
        const bool told =
            f.host.messages.size() == 1 && f.host.messages[0] == kivra::LoadString(2013);
        const bool stayed = f.doc.Stream() == kept && f.doc.PathName() == source;
        _exit(!opened && told && stayed ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "no way to make a read-only folder here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The user's own writeTest.tst survives the write test.
TEST(VfwDocOpenTest, ExistingWriteTestFileIsKept) {
    TempDir dir;
    const std::string avi = dir.File("clip.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "3",
                           "-c:v", "mjpeg", avi}));
    WriteFile(dir.File("writeTest.tst"), "the user's notes");
    Fixture f;
    EXPECT_TRUE(f.doc.OnOpenDocument(avi));
    EXPECT_EQ(ReadFile(dir.File("writeTest.tst")), "the user's notes");
}

}  // namespace

namespace {

// A damaged marker file is reported and loads nothing; the video still opens. A good one
// brings its trimming state back into the session.
TEST(VfwDocMarkerFileTest, DamagedFileIsReportedAndGoodOneRestored) {
    TempDir dir;
    const std::string avi = dir.File("walk.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "10",
                           "-c:v", "mjpeg", avi}));
    WriteFile(dir.File("walk.lff"), std::string(70, '\xFF'));
    {
        Fixture f;
        ASSERT_TRUE(f.Open(avi));
        ASSERT_EQ(f.host.messages.size(), 1u);
        EXPECT_EQ(f.host.messages[0], kivra::LoadString(2038));
        EXPECT_FALSE(f.doc.Annotations()->m_markers.AnyMarkers());
        EXPECT_EQ(std::count(f.host.calls.begin(), f.host.calls.end(), "restore"), 0);
    }
    {
        CLFFManager markers;
        markers.LoadMarkers(dir.File("none.lff"), 100);
        markers.SetMarker(1, 4, 3.0, 4.0);
        ASSERT_TRUE(markers.SaveMarkers(dir.File("walk.lff"), 0, 0, 1));
    }
    Fixture f;
    ASSERT_TRUE(f.Open(avi));
    EXPECT_TRUE(f.host.messages.empty());
    const std::vector<std::string> expected = {"stop", "video 10", "restore"};
    EXPECT_EQ(f.host.calls, expected);  // the restore after the resets
    EXPECT_EQ(f.session.MosaicType(), 1);
    EXPECT_FALSE(f.workspace.MarkersModified()) << "the restored state is what the file holds";
    ASSERT_TRUE(f.session.SetMosaicType(3));
    EXPECT_TRUE(f.workspace.MarkersModified());
    ASSERT_TRUE(f.session.SetMosaicType(1));
    EXPECT_FALSE(f.workspace.MarkersModified());
    EXPECT_TRUE(f.doc.Annotations()->m_markers.HasMarkers(4));
    f.doc.Annotations()->m_markers.SetMarker(0, 0, 1.0, 1.0);
    EXPECT_TRUE(f.workspace.MarkersModified());
    // Closing takes what the user added along with the video.
    f.workspace.CloseVideo();
    EXPECT_EQ(f.doc.Annotations(), nullptr);
    EXPECT_FALSE(f.workspace.MarkersModified());
}

}  // namespace

namespace {

namespace fs = std::filesystem;

void PutLe32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + size_t(i)] = char((value >> (8 * i)) & 0xFF);
    }
}

// The settings of a user who converts every clip.
struct ConvertingSettings : CInifileManager {
    ConvertingSettings() : CInifileManager(std::string()) { Program().openDirect = false; }
};

// A video open from a converted source, with its temporary picture and sound beside it and a
// marker set but not saved.
class OpenVideoKeptTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.doc = &doc;
        host.session = &session;
        session.AddObserver(&host);
        workspace.SetSavedListener(
            [this](const kivra::ActionResult&) { host.calls.push_back("save markers"); });
        source = current.File("walk 歩行.mp4");
        ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-f", "lavfi",
                               "-i", "sine=duration=0.5", "-frames:v", "12", "-c:v", "libx264",
                               "-c:a", "aac", source}));
        ASSERT_TRUE(Open(source));
        ASSERT_FALSE(doc.SoundPath().empty());
        stream = doc.Stream();
        annotations = doc.Annotations();
        annotations->m_markers.SetMarker(1, 5, 12.5, 7.0);
        ASSERT_TRUE(workspace.MarkersModified());
        currentFiles = current.Names();
        ASSERT_EQ(currentFiles.size(), 3u);  // source, .$tmp$.avi, .$tmp$.wav
        host.messages.clear();
        host.calls.clear();
    }
    void TearDown() override { session.RemoveObserver(&host); }

    // Opened as the program opens, with "stop" recorded where playback stops.
    bool Open(const std::string& path) {
        return workspace.OpenVideo(path, [this] { host.calls.push_back("stop"); }).ok();
    }

    // Everything of the open video as it was before the failed open.
    void ExpectCurrentVideoKept(const std::string& what) {
        EXPECT_EQ(doc.Stream(), stream) << what;
        EXPECT_EQ(doc.Annotations(), annotations) << what;
        EXPECT_EQ(doc.PathName(), source) << what;
        EXPECT_EQ(doc.SoundPath(), current.File("walk 歩行.$tmp$.wav")) << what;
        EXPECT_TRUE(workspace.MarkersModified()) << what;
        EXPECT_TRUE(annotations->m_markers.HasMarkers(5)) << what;
        EXPECT_EQ(current.Names(), currentFiles) << what;
        EXPECT_TRUE(stream->HasStream()) << what;
        EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "video 12"), 0) << what;
        EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "no video"), 0) << what;
        EXPECT_EQ(session.FrameCount(), 12) << what;
    }

    ConvertingSettings converting;
    TempDir settings;
    TempDir current;
    TempDir other;
    RecordingHost host;
    kivra::OpenVideo video{host, kivra::test::DocumentGroups(converting), converting.Trimming(),
                           settings.path()};
    CVfwDoc& doc = video.Document();
    kivra::EditSession& session = video.Session();
    kivra::Workspace workspace{video, kivra::test::WorkspaceGroups(converting), host};
    std::string source;
    CAviVideoStream* stream = nullptr;
    VideoAnnotations* annotations = nullptr;
    std::vector<std::string> currentFiles;
};

// Missing, unlisted, unconvertible and absurd files are refused after the one question, and
// the open video stays exactly as it was; nothing of the refused files is left behind.
TEST_F(OpenVideoKeptTest, RefusedFilesLeaveTheOpenVideoAlone) {
    WriteFile(other.File("notes.txt"), "a text file");
    WriteFile(other.File("broken.mov"), "not a movie at all");
    const std::string tall = other.File("tall.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25", "-frames:v", "10",
                           "-c:v", "mjpeg", tall}));
    {
        std::string bytes = ReadFile(tall);
        const size_t avih = bytes.find("avih");
        const size_t strh = bytes.find("strh");
        const size_t strf = bytes.find("strf");
        ASSERT_NE(strf, std::string::npos);
        PutLe32(bytes, avih + 8 + 36, 32768);
        bytes[strh + 8 + 54] = 0;
        bytes[strh + 8 + 55] = char(0x80);
        PutLe32(bytes, strf + 8 + 8, 32768);
        ASSERT_TRUE(WriteFile(tall, bytes));
    }
    const std::vector<std::string> otherFiles = other.Names();
    const std::string missing = other.File("missing.avi");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {missing, missing + "\n\nドキュメントを開くことができませんでした。"},
        {other.File("notes.txt"), Unrecognised(other.File("notes.txt"))},
        {other.File("broken.mov"), Unrecognised(other.File("broken.mov"))},
        {tall, Unrecognised(tall) + "\n\n" + kivra::LoadString(3012)},
    };
    for (const auto& [path, refusal] : cases) {
        host.messages.clear();
        EXPECT_FALSE(Open(path)) << path;
        const std::vector<std::string> told = {kivra::LoadString(2041), refusal};
        EXPECT_EQ(host.messages, told) << path;
        ExpectCurrentVideoKept(path);
        EXPECT_EQ(other.Names(), otherFiles) << path;
    }

    // Cancel keeps everything without looking at the new file; Yes saves first.
    host.messages.clear();
    host.questionAnswer = kivra::MsgAnswer::Cancel;
    EXPECT_FALSE(Open(missing));
    EXPECT_EQ(host.messages, std::vector<std::string>{kivra::LoadString(2041)});
    ExpectCurrentVideoKept("cancel");
    host.questionAnswer = kivra::MsgAnswer::Yes;
    EXPECT_FALSE(Open(missing));
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "save markers"), 1);
}

// A good file replaces the open video and its temporary files; opening the same converted
// source again keeps the new temporary files the old video would otherwise take with it.
TEST_F(OpenVideoKeptTest, GoodFileReplacesTheOpenVideo) {
    const std::string avi = other.File("next.avi");
    ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "7",
                           "-c:v", "mjpeg", avi}));
    ASSERT_TRUE(Open(avi));
    EXPECT_EQ(host.messages, std::vector<std::string>{kivra::LoadString(2041)});
    EXPECT_EQ(doc.PathName(), avi);
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 7);
    EXPECT_TRUE(doc.SoundPath().empty());
    EXPECT_EQ(current.Names(), std::vector<std::string>{"walk 歩行.mp4"});

    ASSERT_TRUE(Open(source));
    ASSERT_TRUE(Open(source));
    EXPECT_EQ(doc.PathName(), source);
    EXPECT_EQ(current.Names(), currentFiles);
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 12);
    doc.OnNewDocument();
    EXPECT_EQ(current.Names(), std::vector<std::string>{"walk 歩行.mp4"});
}

// The question belongs to whoever gives the video up: asked only with changed markers or
// trimming state, No goes on, Cancel stops, and a box closed without an answer counts as Cancel.
TEST_F(OpenVideoKeptTest, DiscardQuestionAnswers) {
    host.questionAnswer = kivra::MsgAnswer::No;
    EXPECT_TRUE(workspace.ConfirmDiscardMarkers());
    host.questionAnswer = kivra::MsgAnswer::Cancel;
    EXPECT_FALSE(workspace.ConfirmDiscardMarkers());
    host.questionAnswer = kivra::MsgAnswer::Ok;
    EXPECT_FALSE(workspace.ConfirmDiscardMarkers());
    EXPECT_EQ(host.messages.size(), 3u);
    EXPECT_TRUE(host.calls.empty());
    annotations->m_markers.SetModified(false);
    EXPECT_TRUE(workspace.ConfirmDiscardMarkers());
    EXPECT_EQ(host.messages.size(), 3u);

    // Areas set (or a range, a mode, a mosaic type) since opening: the same question.
    ASSERT_TRUE(session.SetArea(0, {10, 10, 30, 40}, 2));
    host.questionAnswer = kivra::MsgAnswer::Cancel;
    EXPECT_FALSE(workspace.ConfirmDiscardMarkers());
    ASSERT_EQ(host.messages.size(), 4u);
    EXPECT_EQ(host.messages.back(), kivra::LoadString(2041));
    session.ClearAreas();  // taken back
    EXPECT_TRUE(workspace.ConfirmDiscardMarkers());
    EXPECT_EQ(host.messages.size(), 4u);
}

}  // namespace
