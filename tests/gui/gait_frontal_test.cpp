// The gait window's front view in the running program: a side video at 25 fps paired by its
// .ksync with a front one at 50 fps, 0.4 s apart (as the command line's front test makes
// them), the front markers named in the dialog and kept in the front video's events file.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "gait/frontal_markers_dlg.h"
#include "gait/gait_cycle_plot.h"
#include "gait/gait_file.h"
#include "gait/gait_tools.h"
#include "gait/gait_window.h"
#include "markers/lff_manager.h"
#include "platform/path_util.h"
#include "support/app_fixture.h"
#include "support/front_walk.h"
#include "support/modal_script.h"
#include "sync/sync_session.h"

namespace {

using namespace kivra;
using kivra::test::ReadFile;

class GaitFrontalTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        ASSERT_TRUE(kivra::test::MakeSideAndFrontWalk(side, front));
        ASSERT_EQ(SaveSyncSession({side, front, *SyncOffset::Parse("0.4"), SyncMethod::kFrames},
                                  SyncSessionPath(side)),
                  "");
    }

    const std::string side = m_dir.File("-walk side.avi");
    const std::string front = m_dir.File("walk front 01.avi");
};

// The curves are the command line's to the digit, the table its summary, the cursor follows
// the side's frame, and the report ends with the frontal page.
TEST_F(GaitFrontalTest, WindowShowsTheCommandLinesFrontalCurvesAndTheReportItsPage) {
    // Opening the side video offers its partner in a second pane: declined.
    const kivra::test::MessageBoxCatcher boxes(QMessageBox::No);
    Open(side);
    GaitTools& tools = *m_frame->Gait();
    ASSERT_TRUE(tools.StoreSetup({FootMarkers{5, 6}, FootMarkers{7, 8}, 0, 0.0}));
    m_frame->UpdateCommandUI();
    m_frame->Action(ID_MARKER_GAIT)->trigger();
    QCoreApplication::processEvents();
    GaitWindow* window = tools.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(tools.Analysis().has_value());
    EXPECT_FALSE(tools.Frontal().has_value());  // no roles kept yet
    EXPECT_FALSE(window->FrontalLabel()->text().isEmpty());

    // Pelvis 1, 2; right leg 3, 4, 5, heel 7; left heel 8; no trunk.
    const int ids[11] = {1, 2, 0, 3, 4, 5, 7, 0, 0, 0, 8};
    kivra::test::ModalScript script({[&ids](QWidget* modal) {
        auto* dialog = qobject_cast<FrontalMarkersDlg*>(modal);
        if (dialog == nullptr) {
            return false;
        }
        for (int i = 0; i < 11; ++i) {
            dialog->Edit(i)->setValue(ids[i]);
        }
        dialog->accept();
        return true;
    }});
    auto* button = window->findChild<QPushButton*>(QStringLiteral("GaitFrontalMarkers"));
    ASSERT_NE(button, nullptr);
    button->click();
    ASSERT_TRUE(script.Done());
    ASSERT_TRUE(tools.Frontal().has_value());
    EXPECT_TRUE(ReadFile(ReplaceExtension(front, ".kgait")).starts_with("kivra-gait 3\n"));

    const std::string out = m_dir.File("out");
    ASSERT_EQ(
        kivra::test::RunCliCommand(
            m_dir, "gait", {side, out, "--foot", "R=5,6", "--foot", "L=7,8", "--front", front}),
        0)
        << ReadFile(m_dir.File("err.txt"));
    EXPECT_EQ(FormatFrontalCyclesCsv(*tools.Frontal()), ReadFile(out + "/frontal_cycles.csv"));
    QTableWidget* table = window->FrontalTable();
    ASSERT_EQ(table->rowCount(), 4);
    // Step widths 44, 48, 52, 56 px: no calibration of the front video.
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("50 ± 5"));
    for (const char* curve : {kPelvicObliquity, kKneeFrontalRight}) {
        EXPECT_TRUE(window->FrontalPlot()->ShowAngle(QString::fromLatin1(curve))) << curve;
    }
    EXPECT_FALSE(window->FrontalPlot()->ShowAngle(QStringLiteral("knee")));
    m_frame->ShowFrame(20);  // a quarter into the right stride 10-50
    ASSERT_TRUE(window->FrontalPlot()->CursorPercent(FootSide::kRight).has_value());
    EXPECT_NEAR(*window->FrontalPlot()->CursorPercent(FootSide::kRight), 25.0, 0.5);

    const std::string pdf = m_dir.File("report.pdf");
    ASSERT_TRUE(tools.WriteReport(pdf));
    std::string text;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-layout", pdf, "-"}, text));
    // pdftotext gives some kanji as their radicals' look-alikes ("面" as U+2F8C).
    const std::size_t page = text.find("た計測 (前額");
    ASSERT_NE(page, std::string::npos) << text;
    EXPECT_NE(text.find("歩隔", page), std::string::npos) << text;
    EXPECT_NE(text.find("50 ± 5", page), std::string::npos) << text;
}

}  // namespace
