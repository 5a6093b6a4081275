// The compressor check at start-up: the state file is seeded, a missing recommended compressor
// starts the codec installer (stand-in scripts in a scratch program folder) while the windows
// keep painting, and the program starts itself again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QPainter>
#include <QWidget>
#include <filesystem>

#include "platform/settings_folder.h"
#include "platform/string_table.h"
#include "support/app_fixture.h"

namespace {

using kivra::test::MessageBoxCatcher;
using kivra::test::ReadFile;
using kivra::test::TempDir;
using kivra::test::WriteFile;
namespace fs = std::filesystem;

// Counts its paint events.
class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), Qt::darkGreen);
    }
};

class StartupCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_dir.File("data")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir.File("config")));
        qputenv("KIVRA_TEST_RECORD", QByteArray::fromStdString(Record()));
        // Blanks and a dollar in the folder: the programs are started without a shell.
        m_launch.programFolder = m_dir.File("program $HOME dir");
        fs::create_directories(m_launch.programFolder);
        fs::create_directories(m_dir.File("bin"));
        m_statePath = kivra::UserSettingsFolder() + "Kivra.cdc";
    }

    void TearDown() override {
        if (m_app) {
            m_app->ExitInstance();
        }
        qunsetenv("KIVRA_TEST_RECORD");
    }

    std::string Record() const { return m_dir.File("record"); }

    void WriteScript(const std::string& path, const std::string& body) {
        ASSERT_TRUE(WriteFile(path, "#!/bin/sh\n" + body));
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
    }

    // Installer and restart stand-ins that note their arguments; the installer runs until the
    // test lets it go (the record's ".go" file) or for ten seconds.
    void WriteStandIns() {
        WriteScript(kivra::InstallerPath(m_launch),
                    "echo \"pellam $#\" >> \"$KIVRA_TEST_RECORD\"\n"
                    "i=0; while [ ! -e \"$KIVRA_TEST_RECORD.go\" ] && [ $i -lt 200 ]; do "
                    "sleep 0.05; i=$((i+1)); done\n");
        WriteScript(kivra::RestartPath(m_launch), "echo \"kivra $#\" >> \"$KIVRA_TEST_RECORD\"\n");
    }

    // An elevator that notes what it was asked to run and then runs it, or refuses with `code`.
    void UseElevator(int refuseWith = 0) {
        m_launch.elevator = m_dir.File("bin/elevate");
        WriteScript(m_launch.elevator,
                    "echo \"elevate $1\" >> \"$KIVRA_TEST_RECORD\"\n" +
                        (refuseWith != 0 ? "exit " + std::to_string(refuseWith) + "\n"
                                         : std::string("exec \"$@\"\n")));
    }

    // Start-up up to the main window, or to its end when the installer ran.
    bool Start() {
        m_app = std::make_unique<CMirandelApp>();
        m_app->SetInstallerLaunch(m_launch);
        if (!m_app->InitInstance({QStringLiteral("kivra")})) {
            return false;
        }
        // The installer runs while the event loop goes on; start-up goes on once it has ended.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !m_app->IsStarting(); }, 15000));
        return m_app->GetMainFrame() != nullptr;
    }

    // Ends the run and gives a restarted program time to note itself: until `awaited` shows,
    // or a short while when nothing is expected.
    std::string ExitAndCollect(const std::string& awaited) {
        m_app->ExitInstance();
        m_app.reset();
        if (awaited.empty()) {
            QTest::qWait(300);
        }
        static_cast<void>(
            QTest::qWaitFor([&] { return ReadFile(Record()).find(awaited) != std::string::npos; },
                            5000));  // the caller compares
        return ReadFile(Record());
    }

    TempDir m_dir{"kivra-startup"};
    kivra::InstallerLaunch m_launch;
    std::string m_statePath;
    std::unique_ptr<CMirandelApp> m_app;
};

const QString Message2035() {
    return QString::fromStdString(kivra::LoadString(2035));
}

TEST_F(StartupCheck, FirstStartSeedsTheRecommendedCompressorQuietly) {
    WriteStandIns();
    ASSERT_FALSE(fs::exists(m_statePath));
    MessageBoxCatcher boxes;
    ASSERT_TRUE(Start());
    EXPECT_EQ(ReadFile(m_statePath), "H264crf=18:preset=medium");
    EXPECT_NE(m_app->GetMainFrame(), nullptr);
    EXPECT_FALSE(m_app->IsRestartPending());
    QCoreApplication::processEvents();  // a message would be up, and caught, by now
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join('|').toStdString();
    EXPECT_EQ(ExitAndCollect(""), "");  // neither installer nor restart
    EXPECT_EQ(ReadFile(m_statePath), "H264crf=18:preset=medium");
}

TEST_F(StartupCheck, MissingCompressorRunsTheInstallerWhilePaintingAndRestarts) {
    WriteStandIns();
    for (const bool elevated : {false, true}) {
        SCOPED_TRACE(elevated ? "through the elevator" : "directly, as root");
        ASSERT_TRUE(WriteFile(Record(), ""));
        fs::remove(Record() + ".go");
        if (elevated) {
            UseElevator();
        }
        // A code the encoder list lacks: the check reads the uncompressed choice.
        ASSERT_TRUE(WriteFile(m_statePath, "ZZZZcrf=1"));

        PaintCounter window;
        window.resize(120, 80);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // The installer is let go once the window has painted three times while it runs.
        int paintsAtInstaller = -1;
        QTimer repaint;
        QObject::connect(&repaint, &QTimer::timeout, &window, [&] {
            window.update();
            if (paintsAtInstaller < 0 && ReadFile(Record()).find("pellam 0") != std::string::npos) {
                paintsAtInstaller = window.paints;
            }
            if (paintsAtInstaller >= 0 && window.paints - paintsAtInstaller >= 3) {
                WriteFile(Record() + ".go", "");
            }
        });
        repaint.start(20);
        QCoreApplication::processEvents();

        MessageBoxCatcher boxes;
        EXPECT_FALSE(Start());
        EXPECT_TRUE(m_app->IsRestartPending());
        EXPECT_EQ(m_app->GetMainFrame(), nullptr);  // this run ends before its window
        EXPECT_EQ(boxes.Texts(), QStringList{Message2035()});
        // The window went on painting while the stand-in ran: that is what let it go.
        EXPECT_TRUE(fs::exists(Record() + ".go"));

        const std::string folder = m_launch.programFolder;
        const std::string expected =
            (elevated ? "elevate " + folder + "/pellam\n" : std::string()) + "pellam 0\nkivra 0\n";
        EXPECT_EQ(ExitAndCollect("\nkivra 0\n"), expected);
    }
}

// The event loop that waited for the installer ends by itself once it has run, and the program
// starts again.
TEST_F(StartupCheck, RunEndsOnceTheInstallerHasRun) {
    WriteStandIns();
    ASSERT_TRUE(WriteFile(Record() + ".go", ""));
    ASSERT_TRUE(WriteFile(m_statePath, "ZZZZ"));
    MessageBoxCatcher boxes;
    bool stuck = false;
    QTimer::singleShot(20000, [&stuck] {
        stuck = true;
        QCoreApplication::exit(1);
    });
    m_app = std::make_unique<CMirandelApp>();
    m_app->SetInstallerLaunch(m_launch);
    EXPECT_EQ(m_app->Run({QStringLiteral("kivra")}), 0);
    EXPECT_FALSE(stuck);
    EXPECT_TRUE(m_app->IsRestartPending());
    EXPECT_EQ(m_app->GetMainFrame(), nullptr);
    m_app.reset();
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return ReadFile(Record()).find("\nkivra 0\n") != std::string::npos; }, 5000));
    EXPECT_EQ(ReadFile(Record()), "pellam 0\nkivra 0\n");
}

TEST_F(StartupCheck, RefusedElevationRunsOnWithoutRestart) {
    WriteStandIns();
    for (const int refusal : {126, 127}) {
        SCOPED_TRACE(refusal);
        ASSERT_TRUE(WriteFile(Record(), ""));
        UseElevator(refusal);
        ASSERT_TRUE(WriteFile(m_statePath, "ZZZZ"));
        MessageBoxCatcher boxes;
        ASSERT_TRUE(Start());
        EXPECT_FALSE(m_app->IsRestartPending());
        EXPECT_NE(m_app->GetMainFrame(), nullptr);
        EXPECT_EQ(boxes.Texts(), QStringList{Message2035()});
        EXPECT_FALSE(fs::exists(m_statePath));  // uncompressed: nothing is kept
        m_app->ExitInstance();
        m_app.reset();
        QTest::qWait(200);
        EXPECT_EQ(ReadFile(Record()), "elevate " + m_launch.programFolder + "/pellam\n");
    }
}

TEST_F(StartupCheck, AbsentInstallerIsReportedAndTheProgramRunsOn) {
    ASSERT_TRUE(WriteFile(m_statePath, "ZZZZ"));
    MessageBoxCatcher boxes;
    ASSERT_TRUE(Start());
    EXPECT_FALSE(m_app->IsRestartPending());
    EXPECT_NE(m_app->GetMainFrame(), nullptr);
    EXPECT_EQ(boxes.Texts(), (QStringList{Message2035(), QStringLiteral("Pellam.exe not found.")}));
}

// An installed code whose encoder cannot be opened (libxvid's record with its encoder= removed:
// the standard mpeg4 has no lumi_aq) would make every save fail: it counts as missing, and the
// program runs on uncompressed.
TEST_F(StartupCheck, RecordTheEncoderCannotUseCountsAsMissing) {
    ASSERT_TRUE(WriteFile(m_statePath, "FMP4lumi_aq=1"));
    MessageBoxCatcher boxes;
    ASSERT_TRUE(Start());
    EXPECT_EQ(boxes.Texts(), (QStringList{Message2035(), QStringLiteral("Pellam.exe not found.")}));
    ASSERT_NE(m_app->GetDocument(), nullptr);
    EXPECT_EQ(m_app->GetDocument()->CodecOption().CodeText(), "DIB ");
    EXPECT_FALSE(fs::exists(m_statePath));
}

}  // namespace
