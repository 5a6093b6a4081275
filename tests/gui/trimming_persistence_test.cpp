// Where the trimming choices end up: the [Trimming] lines of the settings file written at exit
// and the marker file's bytes, after a run of real commands, compared byte for byte with what
// the program has always written for the same work.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frame/config_trimming_dlg.h"
#include "platform/path_util.h"
#include "platform/rw_ini_file.h"
#include "platform/settings_folder.h"
#include "session/edit_session.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::MessageBoxCatcher;
using kivra::test::ModalScript;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The bytes of a marker file with the given header (16 ints, hex) and `rows` empty rows.
std::string EmptyRowsFile(const std::string& header, int rows) {
    char four[9];
    const auto le = [&four](int v) {
        std::snprintf(four, sizeof four, "%02x%02x%02x%02x", v & 0xff, (v >> 8) & 0xff,
                      (v >> 16) & 0xff, (v >> 24) & 0xff);
        return std::string(four);
    };
    std::string text = header + le(rows);
    for (int row = 0; row < rows; ++row) {
        text += le(row) + le(0);
    }
    return text;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    char two[3];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
        text += two;
    }
    return text;
}

// The [Trimming] section as the file holds it, header line to the next section.
std::string TrimmingSection(const std::string& ini) {
    const size_t start = ini.find("[Trimming]");
    if (start == std::string::npos) {
        return {};
    }
    const size_t end = ini.find("\n[", start);
    return ini.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

class TrimmingPersistenceTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        Fit();
    }
    void Fit() {
        m_frame->resize(1000, 760);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }
    void Restart() {
        StartAgain();
        Fit();
    }
    void Trigger(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        QAction* action = m_frame->Action(id);
        ASSERT_TRUE(action->isEnabled()) << id;
        action->trigger();
        QCoreApplication::processEvents();
    }
    void SetAreas() {
        Paint();
        Trigger(kivra::ID_TRIMMING_AREA);
        Paint();
        Click(At(0.35, 0.5));
        Click(At(0.6, 0.5));
        ASSERT_TRUE(m_frame->Session().AreasSet());
    }
    // The trimming settings dialog with output size and direction chosen, then OK.
    void ChooseOutput(int size, int direction) {
        ModalScript user({[=](QWidget* modal) {
            auto* dialog = qobject_cast<CConfigTrimming*>(modal);
            if (dialog == nullptr) {
                return false;
            }
            dialog->SizeButton(size)->click();
            dialog->DirectionButton(direction)->click();
            QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            QMetaObject::invokeMethod(
                ok, [ok] { QTest::mouseClick(ok, Qt::LeftButton); }, Qt::QueuedConnection);
            return true;
        }});
        Trigger(kivra::ID_TRIMMING_SETTINGS);
        EXPECT_TRUE(user.Done());
    }
    std::string Ini() const {
        return ReadBytes(ZebCRwIniFile::GetIniPath(kivra::UserSettingsFolder()));
    }
};

TEST_F(TrimmingPersistenceTest, SettingsFileAndMarkerFileKeepTheirBytes) {
    const std::string lff = kivra::ReplaceExtension(m_sample, ".lff");
    // First run: the work on the sample, saved, then a mosaic step taken back and a mode change
    // refused; the settings file holds the choices as they stand at exit.
    {
        MessageBoxCatcher no(QMessageBox::No);
        Open(m_sample);
        Trigger(kivra::ID_TRIMMING_FRONT_MODE);
        Trigger(kivra::ID_MOSAIC_TYPE3);
        ChooseOutput(2, 1);
        SetAreas();
        ASSERT_TRUE(m_frame->Session().SetPlayRange(3, 40));
        Trigger(kivra::ID_MARKER_SAVE);
        Trigger(kivra::ID_MOSAIC_TYPE1);
        Trigger(kivra::ID_MARKER_UNDO);
        Trigger(kivra::ID_TRIMMING_SIDE_MODE);  // "No" to clearing the areas
        Restart();
    }
    EXPECT_EQ(TrimmingSection(Ini()),
              "[Trimming]\nMode=1\nSizeType=2\nDirection=1\nLengthFromCenter1=51\n"
              "LengthFromCenter2=51\nFilterIndex=1\nMosaicRectType=3\nDeinterlace=0\n");
    const std::string saved = Hex(ReadBytes(lff));
    // Mode 1, size 2, direction 1, mosaic 3, area 1 on frame 0, area 2 on frame 119, range 3-40.
    EXPECT_EQ(saved, EmptyRowsFile("01000000020000000100000003000000"
                                   "00000000680100002601000017020000a9010000"
                                   "77000000a80200002601000056030000a9010000"
                                   "0300000028000000",
                                   100));

    // Second run: choices made without a video give way to the marker file's; side mode taken
    // with the areas cleared.
    {
        MessageBoxCatcher yes(QMessageBox::Yes);
        Trigger(kivra::ID_MOSAIC_NONE);
        ChooseOutput(0, 0);
        Open(m_sample);
        Trigger(kivra::ID_TRIMMING_SIDE_MODE);
        EXPECT_FALSE(m_frame->Session().AreasSet());
        Restart();
    }
    EXPECT_EQ(TrimmingSection(Ini()),
              "[Trimming]\nMode=0\nSizeType=2\nDirection=1\nLengthFromCenter1=51\n"
              "LengthFromCenter2=51\nFilterIndex=1\nMosaicRectType=3\nDeinterlace=0\n");
    EXPECT_EQ(Hex(ReadBytes(lff)), saved);  // nothing saved, nothing written

    // Third run: a video without a marker file starts from the settings, the output chosen
    // before it opened included; its saved header carries them.
    const std::string other = m_dir.File("歩行 $x;.avi");
    fs::copy_file(m_sample, other);
    {
        MessageBoxCatcher no(QMessageBox::No);
        ChooseOutput(1, 0);
        Trigger(kivra::ID_MOSAIC_TYPE2);
        Open(other);
        EXPECT_EQ(m_frame->Session().MosaicType(), 2);
        ASSERT_TRUE(m_frame->Session().SetPlayRange(5, 30));
        Trigger(kivra::ID_MARKER_SAVE);
        Trigger(kivra::ID_MOSAIC_NONE);
        Restart();
    }
    EXPECT_EQ(TrimmingSection(Ini()),
              "[Trimming]\nMode=0\nSizeType=1\nDirection=0\nLengthFromCenter1=51\n"
              "LengthFromCenter2=51\nFilterIndex=1\nMosaicRectType=0\nDeinterlace=0\n");
    // Mode 0, size 1, direction 0, mosaic 2, no areas, range 5-30.
    EXPECT_EQ(Hex(ReadBytes(kivra::ReplaceExtension(other, ".lff"))),
              EmptyRowsFile("00000000010000000000000002000000"
                            "ffffffff00000000000000000000000000000000"
                            "ffffffff00000000000000000000000000000000"
                            "050000001e000000",
                            100));
}

}  // namespace
