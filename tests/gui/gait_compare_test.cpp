// The gait menu's commands that write for others, driven as a user does on copies of the gait
// sample: TRC and C3D files equal to the command line's, and the comparison with another visit.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "gait/compare_visits_dlg.h"
#include "gait/gait_tools.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"

namespace {

using namespace kivra;
using kivra::test::ModalScript;
using kivra::test::ReadFile;
namespace fs = std::filesystem;

const std::string kGaitSample = std::string(KIVRA_BINARY_DIR) + "/sample/walker_gait";

class GaitCompareWindowTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        fs::create_directory(m_files.File("cli"));
        for (const std::string& base : {m_base, m_other}) {
            for (const char* ext : {".avi", ".lff", ".kcal"}) {
                fs::copy_file(kGaitSample + ext, base + ext);
            }
        }
        Open(m_base + ".avi");
        ASSERT_TRUE(m_frame->Gait()->StoreSetup({FootMarkers{5, 6}, FootMarkers{7, 8}, 2, 0.0}));
    }
    void Command(CommandId id) {
        m_frame->UpdateCommandUI();
        ASSERT_TRUE(m_frame->Action(id)->isEnabled()) << id;
        m_frame->Action(id)->trigger();
        QCoreApplication::processEvents();
    }

    kivra::test::TempDir m_files{"kivra-compare 比較 $;"};
    const std::string m_base = m_files.File("-walk 02");
    const std::string m_other = m_files.File("walk 'before' 01");
};

// The window writes the very bytes kivra-cli writes with the same feet; its own marker file
// is refused with the reason and stays as it was.
TEST_F(GaitCompareWindowTest, TrcAndC3dCommandsWriteWhatTheCommandLineWrites) {
    struct Case {
        CommandId id;
        const char* command;
        std::vector<std::string> options;
    };
    for (const Case& c : {Case{ID_MARKER_EXPORT_TRC, "trc", {}},
                          Case{ID_MARKER_EXPORT_C3D,
                               "c3d",
                               {"--foot", "R=5,6", "--foot", "L=7,8", "--pelvis", "2"}}}) {
        const std::string name = std::string("points 01.") + c.command;
        ModalScript user({kivra::test::TypeName(QString::fromStdString(m_files.File(name)))});
        Command(c.id);
        EXPECT_TRUE(user.Done()) << c.command;
        std::vector<std::string> args = {m_base + ".avi", m_files.File("cli/" + name)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(kivra::test::RunCliCommand(m_files, c.command, args), 0)
            << ReadFile(m_files.File("err.txt"));
        const std::string written = ReadFile(m_files.File(name));
        EXPECT_FALSE(written.empty()) << c.command;
        EXPECT_EQ(written, ReadFile(m_files.File("cli/" + name))) << c.command;
    }
    const std::string lff = ReadFile(m_base + ".lff");
    QString told;
    ModalScript user({kivra::test::TypeName(QString::fromStdString(m_base + ".lff")),
                      kivra::test::Answer(QMessageBox::Yes),  // the dialog's "replace it?"
                      kivra::test::Answer(QMessageBox::Ok, &told)});
    Command(ID_MARKER_EXPORT_C3D);
    EXPECT_TRUE(user.Done());
    EXPECT_TRUE(told.contains(QString::fromStdString(m_base + ".lff"))) << told.toStdString();
    EXPECT_EQ(ReadFile(m_base + ".lff"), lff);
}

// The other video is picked, the two swapped so the open one is the visit before, a date
// typed (a wrong one first, which keeps the dialog), and the PDF written.
TEST_F(GaitCompareWindowTest, CompareWithAnotherVisitPicksSwapsDatesAndWrites) {
    const std::string pdf = m_files.File("compare 01.pdf");
    bool checked = false;
    ModalScript user({kivra::test::TypeName(QString::fromStdString(m_other + ".avi")),
                      [&](QWidget* modal) {
                          auto* dialog = qobject_cast<CompareVisitsDlg*>(modal);
                          if (dialog == nullptr) {
                              return false;
                          }
                          EXPECT_FALSE(dialog->OpenIsBefore());
                          dialog->SwapButton()->click();
                          dialog->BeforeDateEdit()->setText(QStringLiteral("2026-02-30"));
                          dialog->accept();
                          EXPECT_TRUE(dialog->isVisible()) << "no such day";
                          dialog->BeforeDateEdit()->setText(QStringLiteral("2026-01-10"));
                          checked = dialog->OpenIsBefore();
                          dialog->accept();
                          return true;
                      },
                      kivra::test::TypeName(QString::fromStdString(pdf))});
    Command(ID_MARKER_GAIT_COMPARE);
    EXPECT_TRUE(user.Done());
    EXPECT_TRUE(checked);
    ASSERT_TRUE(fs::exists(pdf));
    std::string text;
    ASSERT_TRUE(kivra::test::RunProgramOutput({"pdftotext", "-enc", "UTF-8", pdf, "-"}, text));
    // The open video is named first now, as the visit before, with the date typed.
    const auto open = text.find("-walk 02.avi");
    const auto other = text.find("walk 'before' 01.avi");
    ASSERT_NE(open, std::string::npos) << text;
    ASSERT_NE(other, std::string::npos) << text;
    EXPECT_LT(open, other);
    EXPECT_NE(text.find("2026-01-10"), std::string::npos) << text;
}

}  // namespace
