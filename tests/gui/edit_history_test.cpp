// Undo and redo in the window on the bundled walker: the keys, one step per edit however many
// frames it changed (a drag, a tracking run), the modified flag at each step, the save question
// for areas at each step, and a new video starting a new history.
#include <gtest/gtest.h>

#include <QAction>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <vector>

#include "base/command_ids.h"
#include "document/vfw_doc.h"
#include "markers/lff_manager.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "session/edit_session.h"
#include "support/app_fixture.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

namespace {

using kivra::CommandId;
using kivra::test::MessageBoxCatcher;

// Walker truth of frame 0 in the store's pixel-centre convention.
constexpr double kHeadX = 151.118 - 0.5;
constexpr double kHeadY = 270.361 - 0.5;
constexpr double kKneeX = 168.119 - 0.5;
constexpr double kKneeY = 502.935 - 0.5;

class EditHistoryTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_frame->resize(1000, 760);
        Open(m_sample);
        kivra::test::PaintArrived(*m_view);
    }
    CLFFManager& Store() { return m_frame->Video().Annotations()->m_markers; }
    kivra::EditSession& Session() { return m_frame->Session(); }
    bool Modified() { return Store().IsModified(); }
    std::vector<T_MARKER> Row(int id) { return Store().Row(id - 1); }
    // Whether giving the video up would ask to save.
    bool Unsaved() { return m_frame->Actions().MarkersModified(); }
    // A click on the picture at a fraction of its size, as the mouse makes it.
    void Click(double fx, double fy) { AppFixture::Click(At(fx, fy)); }
    void SetBothAreas() {
        ASSERT_TRUE(RunCommand(kivra::ID_TRIMMING_AREA));
        Click(0.35, 0.5);
        Click(0.6, 0.5);
        ASSERT_TRUE(Session().AreasSet());
    }
};

QString Text(int id) {
    return QString::fromStdString(kivra::LoadString(id));
}

TEST_F(EditHistoryTest, KeysUndoAndRedoEditsAndTheModifiedFlagFollowsTheSavedStep) {
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_UNDO)) << "nothing to undo after opening";
    ASSERT_TRUE(Session().SetMarker(1, 0, kHeadX, kHeadY));
    ASSERT_TRUE(Session().SetMarker(3, 0, kKneeX, kKneeY));
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_SAVE));
    EXPECT_FALSE(Modified());
    ASSERT_TRUE(Session().SetMarker(1, 5, 160, 272));
    EXPECT_TRUE(Modified());

    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(Row(1).size(), 1u);
    EXPECT_FALSE(Modified()) << "back at the saved step";
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(Row(3).empty());
    EXPECT_TRUE(Modified()) << "before the saved step";
    Press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    EXPECT_EQ(Row(3).size(), 1u);
    EXPECT_FALSE(Modified());
    Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_EQ(Row(1).size(), 2u);
    EXPECT_TRUE(Modified());
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_REDO)) << "at the end of the history";

    // Areas are stored with the markers yet leave the markers' flag alone; the question counts
    // them all the same, and their step undoes too.
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    ASSERT_FALSE(Modified());
    ASSERT_TRUE(Session().SetArea(0, {100, 100, 300, 400}, 0));
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(Unsaved());
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_FALSE(Session().Area1().IsSet());
    EXPECT_FALSE(Unsaved());

    // A drag is one step, back to where the marker was.
    const auto v =
        m_view->ImageToView({kHeadX, kHeadY}, m_view->ImageRect(), Session().GetViewMode(), 0);
    ASSERT_TRUE(v.has_value());
    const QPoint from(v->x, v->y);
    QTest::mousePress(m_view, Qt::LeftButton, {}, from);
    for (int step = 1; step <= 4; ++step) {
        const QPoint to = from + QPoint(6 * step, 3 * step);
        QMouseEvent move(QEvent::MouseMove, to, m_view->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(m_view, &move);
    }
    QTest::mouseRelease(m_view, Qt::LeftButton, {}, from + QPoint(24, 12));
    ASSERT_GT(Row(1)[0].x, kHeadX + 5);
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_DOUBLE_EQ(Row(1)[0].x, kHeadX);
    EXPECT_DOUBLE_EQ(Row(1)[0].y, kHeadY);
    EXPECT_FALSE(Modified());

    // A mosaic step undone reaches the bar and the menu as well.
    const int mosaic = m_frame->Session().MosaicType();
    ASSERT_TRUE(RunCommand(CommandId(kivra::ID_MOSAIC_NONE + (mosaic == 3 ? 2 : 3))));
    ASSERT_NE(m_frame->Session().MosaicType(), mosaic);
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(Session().MosaicType(), mosaic);
    EXPECT_EQ(m_frame->Session().MosaicType(), mosaic);
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->Action(CommandId(kivra::ID_MOSAIC_NONE + mosaic))->isChecked());

    // Another video: a new history.
    Open(m_sample);
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_UNDO));
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_REDO));
}

// Areas set with the mouse live only in the marker file: giving the video up asks to save them
// (open, close), until undo or redo returns to the step the file holds.
TEST_F(EditHistoryTest, AreasAreAskedAboutBeforeTheVideoGoesUntilBackAtTheSavedStep) {
    const std::string other = m_dir.File("other walk.avi");
    std::filesystem::copy_file(m_sample, other);
    const std::string lff = m_frame->Stream()->MarkerFilePath();
    SetBothAreas();
    EXPECT_FALSE(Modified()) << "no marker changed";
    {
        MessageBoxCatcher cancel(QMessageBox::Cancel);
        EXPECT_FALSE(OpenAndWait(other));
        EXPECT_EQ(cancel.Texts(), QStringList{Text(2041)});
        EXPECT_FALSE(m_frame->close());
        EXPECT_EQ(cancel.Texts(), (QStringList{Text(2041), Text(2041)}));
    }
    ASSERT_EQ((&m_frame->Video().Document())->PathName(), m_sample);
    ASSERT_TRUE(Session().AreasSet()) << "cancel keeps them";

    // Both steps undone: as opened, nothing to ask.
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(Unsaved()) << "area 1 is still set";
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_FALSE(Session().Area1().IsSet());
    EXPECT_FALSE(Unsaved());

    // Redone and saved from the menu (no marker exists): the saved step is the clean one.
    Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    ASSERT_TRUE(Session().AreasSet());
    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_SAVE)) << "saving areas alone is offered";
    EXPECT_FALSE(Unsaved());
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(Unsaved()) << "area 2 as saved is gone";
    Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_FALSE(Unsaved());

    // The mosaic type is in the file's header too.
    const int mosaic = m_frame->Session().MosaicType();
    ASSERT_TRUE(RunCommand(CommandId(kivra::ID_MOSAIC_NONE + (mosaic == 3 ? 2 : 3))));
    EXPECT_TRUE(Unsaved());
    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_FALSE(Unsaved());

    // Opened again, the areas come back from the file without counting as a change; clearing
    // them does, and Yes saves the clearing before the other video opens.
    Open(m_sample);
    ASSERT_TRUE(Session().AreasSet());
    EXPECT_FALSE(Unsaved());
    ASSERT_TRUE(RunCommand(kivra::ID_TRIMMING_AREA_CLEAR));
    EXPECT_TRUE(Unsaved());
    {
        MessageBoxCatcher yes(QMessageBox::Yes);
        Open(other);
        EXPECT_EQ(yes.Texts(), QStringList{Text(2041)});
    }
    CLFFManager saved;
    ASSERT_EQ(saved.LoadMarkers(lff, 10), CLFFManager::kLoaded);
    EXPECT_EQ(saved.GetArea1Frame(), -1);
    MessageBoxCatcher none(QMessageBox::Cancel);
    EXPECT_TRUE(m_frame->close());
    EXPECT_TRUE(none.Texts().isEmpty());
}

TEST_F(EditHistoryTest, FollowingMarkersFillsTheRangeAndUndoesAsOneStep) {
    ASSERT_TRUE(Session().SetMarker(1, 0, kHeadX, kHeadY));
    ASSERT_TRUE(Session().SetMarker(3, 0, kKneeX, kKneeY));
    ASSERT_TRUE(Session().SetMarker(3, 80, 600, 500));  // the knee's next click stops it
    const int last = Session().RangeEnd();
    ASSERT_EQ(last, m_frame->Stream()->GetFrameCount() - 1);

    ASSERT_TRUE(RunCommand(kivra::ID_MARKER_FOLLOW));
    EXPECT_EQ(Row(1).size(), size_t(last + 1)) << "the head on every frame";
    EXPECT_EQ(Row(3).size(), 81u) << "the knee up to its next click, which stays";
    EXPECT_DOUBLE_EQ(Row(3).back().x, 600);
    for (size_t i = 1; i < Row(1).size(); ++i) {
        ASSERT_EQ(Row(1)[i].frame, Row(1)[i - 1].frame + 1);
    }
    // The walker moves right; the head is followed, not left on the background.
    EXPECT_GT(Row(1).back().x, kHeadX + 100);
    EXPECT_TRUE(m_frame->Video().Annotations()->m_markers.HasMarkers(last)) << "timeline ticks";

    Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(Row(1).size(), 1u);
    EXPECT_EQ(Row(3).size(), 2u);
    Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    EXPECT_EQ(Row(1).size(), size_t(last + 1));

    // Nothing to follow from a frame without markers.
    m_frame->Playback().ShowFrame(40);
    Session().DeleteFrameMarkers(40);
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_FOLLOW));
}

// Cancel stops the follow run on its worker: the markers, the undo history and the window are
// as before, and nothing is said.
TEST_F(EditHistoryTest, CancelledFollowLeavesTheMarkersAsTheyWere) {
    ASSERT_TRUE(Session().SetMarker(1, 0, kHeadX, kHeadY));
    MessageBoxCatcher none;
    {
        kivra::test::ProgressCanceller cancel;
        ASSERT_TRUE(RunCommand(kivra::ID_MARKER_FOLLOW));
        EXPECT_TRUE(cancel.Pressed());
    }
    EXPECT_EQ(Row(1).size(), 1u);
    EXPECT_TRUE(none.Texts().isEmpty());
    EXPECT_TRUE(m_frame->isEnabled());
    EXPECT_FALSE(m_frame->Jobs().Busy());
    EXPECT_TRUE(RunCommand(kivra::ID_MARKER_UNDO)) << "the click is the last step";
    EXPECT_TRUE(Row(1).empty());
    EXPECT_FALSE(RunCommand(kivra::ID_MARKER_UNDO));
}

}  // namespace
