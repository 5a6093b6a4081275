// The whole program in each language: menus, tool tips, message boxes with Qt's own buttons,
// the navigator's picture, the language menu's choice for the next start, the locale variables
// when no language is set, and English dialogs that show every text whole.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <map>
#include <optional>
#include <tuple>

#include "base/qt_user_messages.h"
#include "document/vfw_doc.h"
#include "frame/compressor_choose_dlg.h"
#include "frame/config_trimming_dlg.h"
#include "kinematics/angles_dlg.h"
#include "kinematics/calibration_dlg.h"
#include "kinematics/kinematics_plot.h"
#include "markers/set_marker_id_dlg.h"
#include "platform/rw_ini_file.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "ui/about_dlg.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"

namespace {

using kivra::UiLanguage;

// The next message box's text and button texts; the box is answered with its first button.
class MessageBoxReader {
public:
    MessageBoxReader() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            m_text = box->text();
            m_buttons.clear();
            for (QAbstractButton* button : box->buttons()) {
                m_buttons << button->text();
            }
            box->buttons().constFirst()->click();
        });
        m_timer.start(10);
    }
    const QString& Text() const { return m_text; }
    const QStringList& Buttons() const { return m_buttons; }

private:
    QTimer m_timer;
    QString m_text;
    QStringList m_buttons;
};

QStringList MenuTitles(const CMainFrame& frame) {
    QStringList titles;
    for (const QAction* action : frame.menuBar()->actions()) {
        titles << action->text();
    }
    return titles;
}

QAction* LanguageEntry(const CMainFrame& frame, const char* code) {
    return frame.Menu(kivra::WindowMenu::View)
        ->findChild<QAction*>(QStringLiteral("Language_%1").arg(code));
}

CHelpDlg* Navigator(const CMainFrame& frame) {
    QCoreApplication::processEvents();  // it opens once the window is up
    return frame.findChild<CHelpDlg*>();
}

// Every label, button, group box and list of `dialog` is at least as wide as its text needs.
void ExpectNothingCut(QWidget& dialog) {
    dialog.show();
    QCoreApplication::processEvents();
    int checked = 0;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!w->isVisible()) {
            continue;
        }
        int needed = -1;
        if (qobject_cast<QLabel*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr) {
            needed = w->sizeHint().width();
        } else if (qobject_cast<QGroupBox*>(w) != nullptr ||
                   qobject_cast<QComboBox*>(w) != nullptr) {
            needed = w->minimumSizeHint().width();
        }
        if (needed >= 0) {
            ++checked;
            EXPECT_GE(w->width(), needed)
                << dialog.windowTitle().toStdString() << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString();
        }
    }
    EXPECT_GT(checked, 0);
    dialog.hide();
}

class EnglishTest : public kivra::test::AppFixture {
protected:
    std::string InitialLanguage() const override { return "en"; }
};

TEST_F(EnglishTest, WindowSpeaksEnglishAndTheMenuChoiceHoldsFromTheNextStart) {
    EXPECT_EQ(m_app->Language(), UiLanguage::English);
    EXPECT_EQ(MenuTitles(*m_frame),
              (QStringList{"&File", "&View", "M&ovie", "&Trimming", "&Markers", "&Help"}));
    EXPECT_EQ(m_frame->Action(kivra::ID_FILE_OPEN)->text(), "&Open...");
    EXPECT_EQ(m_frame->Action(kivra::ID_MARKER_COORDINATE_OUTPUT)->text(),
              "Export &Coordinates...");
    EXPECT_EQ(m_frame->Action(kivra::ID_MARKER_CALIBRATION)->text(), "Cali&bration...");
    // Tool tips from the menu texts, and from the string table's prompt.
    EXPECT_EQ(m_frame->Bars().TrimmingBar()->Button(kivra::ID_FILE_OPEN)->toolTip(), "Open");
    EXPECT_EQ(m_frame->Bars().TrimmingBar()->Button(kivra::ID_TRIMMING_SIDE_MODE)->toolTip(),
              "Side Mode");
    EXPECT_EQ(m_frame->Bars().TrimmingBar()->Button(kivra::ID_TRIMMING_SAVE_MOVIE)->toolTip(),
              "Save Movie");
    EXPECT_EQ(m_frame->Bars().MovieBar()->Button(kivra::ID_MOVIE_FIRST)->toolTip(), "First Frame");
    EXPECT_EQ(m_frame->Bars().MovieBar()->windowTitle(), "Movie");
    EXPECT_EQ(m_frame->Bars().MosaicToolBar()->findChild<QComboBox*>()->itemText(0), "No mosaic");
    EXPECT_TRUE(LanguageEntry(*m_frame, "en")->isChecked());
    EXPECT_FALSE(LanguageEntry(*m_frame, "system")->isChecked());

    // The navigator shows the English guide picture under its English caption.
    const CHelpDlg* navigator = Navigator(*m_frame);
    ASSERT_NE(navigator, nullptr);
    const std::string folder = KIVRA_BINARY_DIR;
    const QImage english = kivra::LoadNavigatorPicture(folder + "/help_s_en.bmp");
    ASSERT_FALSE(english.isNull());
    EXPECT_EQ(navigator->SidePicture(), english);
    EXPECT_NE(navigator->SidePicture(), kivra::LoadNavigatorPicture(folder + "/help_s_jp.bmp"));
    EXPECT_EQ(navigator->windowTitle(), "Navigator (Side Mode)");

    // Questions carry Qt's English buttons.
    {
        MessageBoxReader reader;
        m_frame->ShowMessage(kivra::LoadString(kivra::kIdsDeleteAllMarkersQuestion),
                             kivra::MsgButtons::YesNo, kivra::MsgIcon::Question);
        EXPECT_EQ(reader.Text(), "All markers on all frames will be deleted.\nContinue?");
        EXPECT_EQ(reader.Buttons(), (QStringList{"&Yes", "&No"}));
    }
    // Choosing Japanese says when it applies, keeps the setting on disk and leaves this run
    // in English.
    {
        MessageBoxReader reader;
        LanguageEntry(*m_frame, "ja")->trigger();
        EXPECT_EQ(reader.Text(),
                  "The new display language takes effect the next time Kivra starts.");
        EXPECT_EQ(reader.Buttons(), QStringList{"OK"});
    }
    EXPECT_TRUE(LanguageEntry(*m_frame, "ja")->isChecked());
    EXPECT_EQ(
        kivra::GetPrivateProfileString("Settings", "Language", "", m_frame->Settings().IniPath()),
        "ja");
    EXPECT_EQ(MenuTitles(*m_frame)[0], "&File");
    {
        MessageBoxReader reader;
        LanguageEntry(*m_frame, "ja")->trigger();  // no change, nothing to say
        QCoreApplication::processEvents();         // a message would be up, and read, by now
        EXPECT_TRUE(reader.Text().isEmpty());
    }

    StartAgain();
    EXPECT_EQ(m_app->Language(), UiLanguage::Japanese);
    EXPECT_EQ(MenuTitles(*m_frame), (QStringList{"ファイル(&F)", "表示(&V)", "動画(&O)",
                                                 "トリミング(&T)", "マーカ(&M)", "ヘルプ(&H)"}));
    EXPECT_EQ(m_frame->Bars().TrimmingBar()->Button(kivra::ID_FILE_OPEN)->toolTip(), "開く");
    ASSERT_NE(Navigator(*m_frame), nullptr);
    EXPECT_EQ(Navigator(*m_frame)->SidePicture(),
              kivra::LoadNavigatorPicture(folder + "/help_s_jp.bmp"));
    MessageBoxReader reader;
    m_frame->ShowMessage(kivra::LoadString(kivra::kIdsDeleteAllMarkersQuestion),
                         kivra::MsgButtons::YesNo, kivra::MsgIcon::Question);
    EXPECT_EQ(reader.Text(), "すべてのフレームのすべてのマーカを削除します。\nよろしいですか？");
    ASSERT_EQ(reader.Buttons().size(), 2);
    EXPECT_TRUE(reader.Buttons()[0].startsWith("はい")) << reader.Buttons()[0].toStdString();
    EXPECT_TRUE(reader.Buttons()[1].startsWith("いいえ")) << reader.Buttons()[1].toStdString();

    // The language leaves the numbers of the settings file alone.
    m_app->ExitInstance();
    const std::string ini = kivra::test::ReadFile(m_app->ProfileName());
    EXPECT_NE(ini.find("PlaySpeedRate=1.0\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[Settings]\nLanguage=ja\n"), std::string::npos) << ini;
    m_app.reset();
}

TEST_F(EnglishTest, DialogsShowTheirEnglishTextsWhole) {
    kivra::QtUserMessages messages(m_frame);
    CConfigTrimming trimming(m_frame->Session().SizeType(), m_frame->Session().Direction(),
                             m_app->GetDocument()->CodecOption(), messages, m_frame);
    EXPECT_EQ(trimming.windowTitle(), "Trimming Settings");
    EXPECT_EQ(trimming.DirectionButton(1)->text(), "Landscape");
    ExpectNothingCut(trimming);

    CSetMarkerIDDlg markerId(m_frame->Session(), m_app->GetSettings()->MarkerId(), m_frame);
    EXPECT_EQ(markerId.windowTitle(), "Set ID");
    ExpectNothingCut(markerId);

    CAboutDlg about(m_frame);
    EXPECT_EQ(about.windowTitle(), "About Kivra");
    ExpectNothingCut(about);

    kivra::CompressorVars vars;
    CCompressorChooseDlg compressor(vars, m_frame);
    ExpectNothingCut(compressor);

    kivra::KinematicsSettings kinematics;
    kinematics.angles.push_back({"knee", 1, 2, 3});
    kinematics.filterHz = 6.0;
    CAnglesDlg angles(kinematics, 10, m_frame);
    EXPECT_EQ(angles.windowTitle(), "Joint Angles");
    ExpectNothingCut(angles);

    CCalibrationDlg calibration(m_frame);
    calibration.Begin(std::nullopt);
    EXPECT_EQ(calibration.windowTitle(), "Calibration");
    ExpectNothingCut(calibration);

    CKinematicsPlotWnd plot(m_frame);
    ExpectNothingCut(plot);

    // The bars of the main window.
    m_frame->Bars().SliderToolBar()->show();
    ExpectNothingCut(*m_frame);
}

// No language set: the locale variables decide, in gettext's order.
class LocaleLanguageTest : public kivra::test::AppFixture {
protected:
    std::string InitialLanguage() const override { return ""; }
    void TearDown() override {
        kivra::test::AppFixture::TearDown();
        for (const auto& [name, value] : m_saved) {
            value ? qputenv(name, *value) : qunsetenv(name);
        }
    }
    void SetEnvironment(const char* language, const char* lcAll, const char* lang) {
        for (const auto& [name, value] : {std::pair{"LANGUAGE", language},
                                          {"LC_ALL", lcAll},
                                          {"LC_MESSAGES", ""},
                                          {"LANG", lang}}) {
            if (m_saved.count(name) == 0) {
                m_saved[name] = qEnvironmentVariableIsSet(name)
                                    ? std::optional<QByteArray>(qgetenv(name))
                                    : std::nullopt;
            }
            qputenv(name, value);
        }
    }
    std::map<const char*, std::optional<QByteArray>> m_saved;
};

TEST_F(LocaleLanguageTest, LocaleVariablesChooseTheLanguage) {
    const std::tuple<const char*, const char*, const char*, UiLanguage> cases[] = {
        {"", "", "ja_JP.UTF-8", UiLanguage::Japanese},
        {"", "", "de_DE.UTF-8", UiLanguage::English},
        {"ja", "", "de_DE.UTF-8", UiLanguage::Japanese},
        {"ja", "C", "ja_JP.UTF-8", UiLanguage::English},
    };
    for (const auto& [language, lcAll, lang, expected] : cases) {
        SCOPED_TRACE(std::string("LANGUAGE=") + language + " LC_ALL=" + lcAll + " LANG=" + lang);
        SetEnvironment(language, lcAll, lang);
        StartAgain();
        EXPECT_EQ(m_app->Language(), expected);
        EXPECT_EQ(MenuTitles(*m_frame)[0],
                  expected == UiLanguage::Japanese ? "ファイル(&F)" : "&File");
        EXPECT_TRUE(LanguageEntry(*m_frame, "system")->isChecked());
    }
}

}  // namespace
