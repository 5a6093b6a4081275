// The progress dialog of a clip's indexing: it shows only when indexing runs longer than its
// delay, and its Cancel keeps the video that was open, writing nothing beside the clip.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>

#include "frame/progress_dlg.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "support/app_fixture.h"

namespace {

namespace fs = std::filesystem;

// Watches for the progress dialog and, when told to, presses its Cancel button.
class DialogWatcher {
public:
    explicit DialogWatcher(bool cancel) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, cancel] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<CProgressDlg*>(widget);
                if (dialog == nullptr || !dialog->isVisible()) {
                    continue;
                }
                m_caption = dialog->windowTitle();
                if (cancel && dialog->CancelButton()->isVisible()) {
                    QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
                }
            }
        });
        m_timer.start(5);
    }
    // The title of the dialog seen; empty when none came up.
    const QString& Caption() const { return m_caption; }

private:
    QTimer m_timer;
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
        EXPECT_FALSE(m_app->OpenDocumentFile(clip));
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
        EXPECT_TRUE(m_app->OpenDocumentFile(clip));
        EXPECT_TRUE(watcher.Caption().isEmpty());
    }
    EXPECT_EQ(doc.PathName(), clip);
    EXPECT_TRUE(doc.Stream()->IsDirect());
    EXPECT_EQ(doc.Stream()->GetFrameCount(), 1200);
}

}  // namespace
