// The progress dialog of a clip's indexing: it shows only when indexing runs longer than its
// delay, and its Cancel keeps the video that was open, writing nothing beside the clip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <filesystem>

#include "frame/progress_dlg.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "support/app_fixture.h"

namespace {

namespace fs = std::filesystem;

// Watches for the progress dialog and, when told to, presses its Cancel button the moment it
// shows: the indexing goes on beside the window and would be over before a later look.
class DialogWatcher : public QObject {
public:
    explicit DialogWatcher(bool cancel) : m_bCancel(cancel) { qApp->installEventFilter(this); }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    // The title of the dialog seen; empty when none came up.
    const QString& Caption() const { return m_caption; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show) {
            return false;
        }
        if (auto* dialog = qobject_cast<CProgressDlg*>(watched); dialog != nullptr) {
            m_caption = dialog->windowTitle();
        }
        auto* button = qobject_cast<QPushButton*>(watched);
        auto* dialog = button != nullptr ? qobject_cast<CProgressDlg*>(button->window()) : nullptr;
        if (m_bCancel && dialog != nullptr && button == dialog->CancelButton()) {
            m_caption = dialog->windowTitle();
            button->click();
        }
        return false;
    }

private:
    bool m_bCancel;
    QString m_caption;
};

class IndexingDialogTest : public kivra::test::AppFixture {
protected:
    // Enough pictures that indexing reports its progress several times.
    std::string MakeClip() {
        const std::string folder = m_dir.File("撮影 $1; 'x'");
        fs::create_directories(folder);
        const std::string clip = folder + "/-walk 歩行.mp4";
        const bool made = kivra::test::RunFfmpeg(
            {"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "1200", "-c:v",
             "libx264", "-preset", "ultrafast", "-bf", "2", clip});
        return made ? clip : std::string();
    }
};

TEST_F(IndexingDialogTest, CancelKeepsTheOpenVideoAndWritesNothing) {
    Open(m_sample);
    const std::string clip = MakeClip();
    ASSERT_FALSE(clip.empty());
    CVfwDoc& doc = *m_app->GetDocument();
    const CAviVideoStream* before = doc.Stream();

    doc.SetIndexingDialogDelay(std::chrono::milliseconds(0));
    {
        const DialogWatcher watcher(true);
        EXPECT_FALSE(OpenAndWait(clip));
        EXPECT_EQ(watcher.Caption(),
                  QString::fromStdString(kivra::LoadString(kivra::kIdsIndexingCaption)));
    }
    EXPECT_EQ(doc.PathName(), m_sample);
    EXPECT_EQ(doc.Stream(), before);
    EXPECT_TRUE(m_frame->isEnabled());
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(clip).parent_path()),
                            fs::directory_iterator()),
              1);

    // A clip indexed within the usual delay opens without the dialog.
    doc.SetIndexingDialogDelay(std::chrono::milliseconds(60000));
    {
        const DialogWatcher watcher(false);
        EXPECT_TRUE(OpenAndWait(clip));
        EXPECT_TRUE(watcher.Caption().isEmpty());
    }
    EXPECT_EQ(doc.PathName(), clip);
    EXPECT_TRUE(doc.Stream()->IsDirect());
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 1200);
}

}  // namespace
