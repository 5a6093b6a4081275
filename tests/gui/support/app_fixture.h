#pragma once
// What widget tests of the whole program share: the application on a scratch settings folder,
// a private copy of the sample video, and message boxes that close themselves.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/mirandel_app.h"
#include "frame/main_frame.h"
#include "frame/progress_dlg.h"
#include "platform/rw_ini_file.h"
#include "platform/settings_folder.h"
#include "reading/avi_video_stream.h"
#include "support/ffmpeg_tool.h"
#include "support/view_paint.h"
#include "view/vfw_view.h"

namespace kivra::test {

namespace fs = std::filesystem;

// Closes every message box that comes up and remembers its text, so a test never blocks on
// one and can tell whether one was shown.
class MessageBoxCatcher {
public:
    // Answers with the given button when the box has it, else closes the box.
    explicit MessageBoxCatcher(QMessageBox::StandardButton answer = QMessageBox::NoButton) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_texts << box->text();
                if (QAbstractButton* button = box->button(answer)) {
                    button->click();
                } else {
                    box->reject();
                }
            }
        });
        m_timer.start(10);
    }
    const QStringList& Texts() const { return m_texts; }

private:
    QTimer m_timer;
    QStringList m_texts;
};

// Presses the progress dialog's Cancel as soon as a job offers it, and remembers that it did;
// only in a dialog whose title holds titlePart when that is given.
class ProgressCanceller {
public:
    explicit ProgressCanceller(const QString& titlePart = QString()) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, titlePart] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dlg = qobject_cast<CProgressDlg*>(w);
                if (dlg != nullptr && dlg->isVisible() && dlg->windowTitle().contains(titlePart) &&
                    dlg->CancelButton()->isVisible() && dlg->CancelButton()->isEnabled()) {
                    m_pressed = true;
                    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
                }
            }
        });
        m_timer.start(0);
    }
    bool Pressed() const { return m_pressed; }

private:
    QTimer m_timer;
    bool m_pressed = false;
};

// The whole program on a scratch settings folder with a copy of the sample video.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        // The settings folder goes below the scratch folder, whichever special folder is used.
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_dir.File("data")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir.File("config")));
        // Japanese whatever the machine's locale, unless the test asks for another language.
        SetLanguageSetting(InitialLanguage());

        // A copy, so the temporary files made beside it are ours alone.
        m_sample = m_dir.File("walker.avi");
        const fs::path bundled = fs::path(KIVRA_BINARY_DIR) / "sample" / "walker.avi";
        if (fs::exists(bundled)) {
            fs::copy_file(bundled, m_sample);
        } else {
            ASSERT_TRUE(
                kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=1280x720:rate=25",
                                        "-frames:v", "30", "-c:v", "mjpeg", m_sample}));
        }

        m_app = MakeApp();
        ASSERT_TRUE(m_app->InitInstance({QStringLiteral("kivra")}));
        m_frame = m_app->GetMainFrame();
        ASSERT_NE(m_frame, nullptr);
        m_view = m_frame->VideoView();
        ASSERT_NE(m_view, nullptr);
    }

    void TearDown() override {
        if (m_app) {
            m_app->ExitInstance();
        }
        m_app.reset();
    }

    // The [Settings] Language value the program starts with; "ja" unless overridden.
    virtual std::string InitialLanguage() const { return "ja"; }

    // Writes [Settings] Language into the scratch settings file for the next start.
    static void SetLanguageSetting(const std::string& value) {
        kivra::IniDocument ini =
            kivra::IniDocument::Load(ZebCRwIniFile::GetIniPath(kivra::UserSettingsFolder()));
        ASSERT_TRUE(ini.WriteString("Settings", "Language", value));
        ASSERT_TRUE(ini.Save());
    }

    // The application, with the codec installer looked for in an empty scratch folder: a test
    // that leaves a state file naming a missing encoder never starts the real one.
    std::unique_ptr<CMirandelApp> MakeApp() {
        auto app = std::make_unique<CMirandelApp>();
        app->SetInstallerLaunch({m_dir.File("no-installer"), ""});
        return app;
    }

    // Ends this run and starts the program again on the same settings folder.
    void StartAgain() {
        m_app->ExitInstance();
        m_app.reset();
        m_app = MakeApp();
        ASSERT_TRUE(m_app->InitInstance({QStringLiteral("kivra")}));
        m_frame = m_app->GetMainFrame();
        m_view = m_frame->VideoView();
    }

    void Open(const std::string& path) {
        ASSERT_TRUE(OpenAndWait(path));
        QCoreApplication::processEvents();  // the posted First command
    }

    // Opens as the open command does and lets the window run until the open is over; whether
    // the video opened.
    bool OpenAndWait(const std::string& path) {
        std::optional<bool> opened;
        m_app->OpenDocumentFile(path, [&opened](bool ok) { opened = ok; });
        WaitUntil([&opened] { return opened.has_value(); });
        return opened.value_or(false);
    }

    // Lets the window run until its long job (save, follow, open) is over.
    void WaitForJobs() {
        WaitUntil([this] { return !m_frame->Jobs().Busy(); });
    }

    // Runs a command as its menu entry does, when its rules allow it, and waits for its job;
    // whether it ran.
    bool RunCommand(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        QAction* action = m_frame->Action(id);
        if (action == nullptr || !action->isEnabled()) {
            return false;
        }
        action->trigger();
        WaitForJobs();
        QCoreApplication::processEvents();
        return true;
    }

    // The window's own event loop runs meanwhile; gives up after a minute.
    template <class Condition>
    static void WaitUntil(Condition done) {
        EXPECT_TRUE(QTest::qWaitFor(done, 60000)) << "still running after a minute";
    }

    // The play clock becomes m_tick: forward play moves by what the test adds to it, however
    // busy the machine is.
    void ControlPlayClock() {
        m_frame->Playback().SetTickSource([this] { return m_tick; });
    }

    // Lets the play timers fire until the picture leaves `frame`; false if it stays for seconds.
    bool WaitWhileAt(int frame) {
        return QTest::qWaitFor([&] { return m_frame->Cursor().Current() != frame; }, 5000);
    }

    // Runs the event loop until a timer started now with twice the play interval fires: a play
    // timer left running would have fired before it.
    void PassPlayTicks() {
        QTimer period;
        period.setSingleShot(true);
        bool fired = false;
        QObject::connect(&period, &QTimer::timeout, [&fired] { fired = true; });
        period.start(2 * int(1000.0 / m_frame->Stream()->GetFrameRate()));
        ASSERT_TRUE(QTest::qWaitFor([&fired] { return fired; }, 5000));
    }

    QImage Grab() {
        WaitForPicture(*m_view);
        return m_view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // The picture work the window tests share: paint now, a point of the shown picture as
    // fractions of its size, and a move or click sent straight to the view (QTest moves the
    // system cursor instead, which sends nothing when it is already there).
    void Paint() {
        PaintArrived(*m_view);
        QCoreApplication::processEvents();
    }
    QPoint At(double fx, double fy) const {
        const ViewRect pic = m_view->ImageRect();
        return {pic.left + int(pic.Width() * fx), pic.top + int(pic.Height() * fy)};
    }
    void Move(QPoint p, Qt::MouseButtons held = Qt::NoButton) {
        QMouseEvent e(QEvent::MouseMove, p, m_view->mapToGlobal(p), Qt::NoButton, held, {});
        QApplication::sendEvent(m_view, &e);
    }
    void Click(QPoint p) {
        Move(p);
        QTest::mouseClick(m_view, Qt::LeftButton, {}, p);
        Paint();
    }

    // Presses a key combination on the active main window, as the user would.
    void Press(const QKeySequence& keys) {
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
        QTest::keySequence(m_frame, keys);
        QCoreApplication::processEvents();
    }

    TempDir m_dir;
    std::string m_sample;
    std::unique_ptr<CMirandelApp> m_app;
    CMainFrame* m_frame = nullptr;
    CVfwView* m_view = nullptr;
    uint32_t m_tick = 1000;
};

}  // namespace kivra::test
