// The main window's commands as the user meets them: which are enabled, checked or shown
// pressed in each state of a working session, the text information window, the question
// before a trimming-mode change clears the areas, the keys while an area is being set, the
// one-time marker toolbar question, and the close question's three answers.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QWidgetAction>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "frame/mosaic_size_dlg_bar.h"
#include "frame/slider_dlg_bar.h"
#include "geometry/trimming_param.h"
#include "markers/lff_manager.h"
#include "platform/rw_ini_file.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/text_stream_dlg.h"

namespace {

using kivra::CommandId;
using kivra::test::MessageBoxCatcher;
namespace fs = std::filesystem;

QString Text(int id) {
    return QString::fromStdString(kivra::LoadString(id));
}

std::string ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

class CommandTableTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_frame->resize(1000, 760);
    }

    void OpenSample() {
        Open(m_sample);
        Paint();
    }
    QAction* Act(CommandId id) const { return m_frame->Action(id); }
    // A command's action; the first recent file stands for the list, made as the menu opens.
    QAction* Entry(CommandId id) {
        if (id != kivra::ID_FILE_MRU_FILE1) {
            return Act(id);
        }
        m_frame->RebuildRecentFileMenu();
        for (QAction* action : m_frame->Menu(kivra::WindowMenu::File)->actions()) {
            if (action->data() == QVariant(int(id))) {
                return action;
            }
        }
        return nullptr;
    }
    bool Enabled(CommandId id) {
        m_frame->UpdateCommandUI();
        return Act(id)->isEnabled();
    }
    // Runs a command as a menu item or button does: only when its rule lets it.
    void Command(CommandId id) {
        ASSERT_TRUE(Enabled(id)) << id;
        Act(id)->trigger();
        WaitForJobs();
        Paint();
    }
    int Current() const { return m_frame->Cursor().Current(); }
    kivra::ViewRect Pic() const { return m_view->ImageRect(); }
    void SetBothAreas() {
        Command(kivra::ID_TRIMMING_AREA);
        Click(At(0.35, 0.5));
        Click(At(0.6, 0.5));
        ASSERT_TRUE(m_frame->Session().AreasSet());
        ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kNormalMode);
    }
    // A key as the user types it: to the widget that has the keyboard focus.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }
    void Activate() {
        m_frame->show();
        m_frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame));
    }
    kivra::ViewRect BoxAt(QPoint p, int halfSize) const {
        return kivra::AreaBoxAtCursor(p.x(), p.y(), halfSize, m_frame->Session().Direction());
    }
    // The navigator, opened by its command when it is not open yet.
    CHelpDlg* Navigator() {
        m_frame->UpdateCommandUI();
        if (!Act(kivra::ID_VIEW_NAVIGATOR)->isChecked()) {
            Act(kivra::ID_VIEW_NAVIGATOR)->trigger();
        }
        return m_frame->findChild<CHelpDlg*>();
    }
};

// ---------------------------------------------------------------------------------------------
// The command table, state by state. Each state is reached from the one before it, the way a
// user works through a video: open, set the areas, place markers, play, clear, close.

struct Step {
    char code;  // the column of the state in the tables below
    const char* name;
    std::function<void()> enter;
};

struct Rule {
    const char* states;  // one letter per state: x yes, . no, - not decided by the table
    CommandId id;
    const char* name;
};

// Columns:  N no video          O video open (image information turned on)
//           S area mode         A areas set (locus turned on)
//           M a marker on frame 5, frame 0 shown (mosaic type 3 chosen on the bar)
//           H frame 5 shown (deinterlace on)          D marker ID dialog shown
//           F playing forward (dialog hidden again)    R playing in reverse
//           C stopped, areas cleared, frame 5, front mode      Z video closed
constexpr char kColumns[] = "NOSAMHDFRCZ";

// Enabled.
//    NOSAMHDFRCZ
const Rule kEnabled[] = {
    {"xxxxxxx..xx", kivra::ID_FILE_OPEN, "Open"},
    {".xxxxxx.xx.", kivra::ID_FILE_NEW, "Close"},
    {"...xxx.....", kivra::ID_TRIMMING_SAVE_MOVIE, "Save trimmed movie"},
    {"xxxxxxxxxxx", kivra::ID_APP_EXIT, "Exit"},
    {".xxxxxxxxx.", kivra::ID_VIEW_IMAGE_INFO, "Image information"},
    {".xxxxxxxxx.", kivra::ID_VIEW_DEINTERLACE, "Deinterlace"},
    {"xxxxxxx..xx", kivra::ID_VIEW_OPEN_DIRECT, "Open without conversion"},
    {"xxxxxxxxxxx", kivra::ID_VIEW_NAVIGATOR, "Navigator"},
    {"xxxxxxx..xx", kivra::ID_VIEW_TWO_PANES, "Two videos side by side"},
    {"...........", kivra::ID_VIEW_LINK_PANES, "Link the two videos"},  // one video alone
    {"...........", kivra::ID_SYNC_SAME_MOMENT, "Same moment"},
    {"...........", kivra::ID_SYNC_SOUND, "Synchronise by sound"},
    {"...........", kivra::ID_SYNC_FLASH, "Synchronise by a flash"},
    {"...........", kivra::ID_SYNC_EVENTS, "Synchronise by heel strikes"},
    {"xxxxxx.xxxx", kivra::ID_TRIMMING_SIDE_MODE, "Side mode"},
    {"xxxxxx.xxxx", kivra::ID_TRIMMING_FRONT_MODE, "Front mode"},
    {"xxxxxxxxxxx", kivra::ID_TRIMMING_SETTINGS, "Trimming settings"},
    {".xxxxx...x.", kivra::ID_TRIMMING_AREA, "Area mode"},
    {".xxxxx...x.", kivra::ID_TRIMMING_AREA_CLEAR, "Area clear"},
    {"xxxxxxxxxxx", kivra::ID_MOSAIC_NONE, "No mosaic"},
    {"xxxxxxxxxxx", kivra::ID_MOSAIC_TYPE1, "Mosaic type 1"},
    {"xxxxxxxxxxx", kivra::ID_MOSAIC_TYPE2, "Mosaic type 2"},
    {"xxxxxxxxxxx", kivra::ID_MOSAIC_TYPE3, "Mosaic type 3"},
    {"...xxx.xx..", kivra::ID_TRIMMING_PREVIEW, "Preview"},
    {"...xxxx....", kivra::ID_MARKER_SET_ID, "Marker ID"},
    {".....x.--x.", kivra::ID_MARKER_DELETE_FRAME, "Delete frame markers"},
    {"....xx.xxx.", kivra::ID_MARKER_DELETE_ALL, "Delete all markers"},
    {"xxxxxxxxxxx", kivra::ID_MARKER_SHOW_LOCUS, "Show locus"},
    {"...xxxxxxx.", kivra::ID_MARKER_SAVE, "Save markers"},  // areas alone are worth saving
    {"....xxxxx..", kivra::ID_MARKER_COORDINATE_OUTPUT, "Coordinate output"},
    {"xxxxxxxxxxx", kivra::ID_HELP_QUICK_START, "Quick start"},
    {"xxxxxxxxxxx", kivra::ID_APP_ABOUT, "About"},
    {"xxxxxxxxxxx", kivra::ID_VIEW_CODEC_LIST, "Codec list"},
    {"...........", kivra::ID_VIEW_TEXT_INFO, "Text information"},  // the sample has no text
    {".xxxxxxxxx.", kivra::ID_MOVIE_PLAY, "Play"},
    {".xxxxxxxxx.", kivra::ID_MOVIE_REVERSE_PLAY, "Reverse play"},
    {".......xx..", kivra::ID_MOVIE_STOP, "Stop"},
    {".xxxxxx..x.", kivra::ID_MOVIE_FIRST, "First"},
    {".xxxxxx..x.", kivra::ID_MOVIE_BACK, "Previous"},
    {".xxxxxx..x.", kivra::ID_MOVIE_NEXT, "Next"},
    {".xxxxxx..x.", kivra::ID_MOVIE_LAST, "Last"},
    {".xxxxxx..x.", kivra::ID_FILE_SAVE_FRAME_BMP, "Save frame as bitmap"},
    {".xxxxxx..xx", kivra::ID_FILE_MRU_FILE1, "Recent file"},  // none before the first open
    {"xxxxxxxxxxx", kivra::ID_VIEW_SLIDER_BAR, "Slider bar"},
    {"...xxxx..x.", kivra::ID_MARKER_UNDO, "Undo"},
    {"...........", kivra::ID_MARKER_REDO, "Redo"},
    {".....xx..x.", kivra::ID_MARKER_FOLLOW, "Follow markers"},
    {".xxxxx...x.", kivra::ID_MARKER_CALIBRATION, "Calibration"},
    {"xxxxxxxxxxx", kivra::ID_MARKER_ANGLES, "Joint angles"},
    {"....xxxxxx.", kivra::ID_MARKER_KINEMATICS_OUTPUT, "Kinematics output"},
    {".xxxxxxxxx.", kivra::ID_MARKER_PLOT, "Plot"},
    {"xxxxxxxxxxx", kivra::ID_MARKER_FOOT_MARKERS, "Foot markers"},
    {"....xxxxxx.", kivra::ID_MARKER_GAIT, "Gait analysis"},
    {"....xxx..x.", kivra::ID_MARKER_GAIT_REPORT, "Gait report"},  // stills need the stream
    {"....xxx..x.", kivra::ID_MARKER_GAIT_COMPARE, "Compare visits"},
    {"....xxxxxx.", kivra::ID_MARKER_EXPORT_C3D, "C3D export"},
    {"....xxxxxx.", kivra::ID_MARKER_EXPORT_TRC, "TRC export"},
};

// Check marks of the menu items.
//    NOSAMHDFRCZ
const Rule kChecked[] = {
    {".xxxxxxxxx.", kivra::ID_VIEW_IMAGE_INFO, "Image information"},
    {".....xxxxxx", kivra::ID_VIEW_DEINTERLACE, "Deinterlace"},
    {"xxxxxxxxxxx", kivra::ID_VIEW_OPEN_DIRECT, "Open without conversion"},
    {".xxxxxxxx..", kivra::ID_VIEW_SLIDER_BAR, "Slider bar"},
    {"-----------", kivra::ID_VIEW_NAVIGATOR, "Navigator"},  // NavigatorCheckFollowsItsWindow
    {"...........", kivra::ID_VIEW_TWO_PANES, "Two videos side by side"},
    {"...........", kivra::ID_VIEW_LINK_PANES, "Link the two videos"},
    {"...xxxxxxxx", kivra::ID_MARKER_SHOW_LOCUS, "Show locus"},
    {"...........", kivra::ID_MOSAIC_NONE, "No mosaic"},
    {"xxxx.......", kivra::ID_MOSAIC_TYPE1, "Mosaic type 1"},
    {"...........", kivra::ID_MOSAIC_TYPE2, "Mosaic type 2"},
    {"....xxxxxxx", kivra::ID_MOSAIC_TYPE3, "Mosaic type 3"},
    // Pressed on the toolbars only: their menu items never carry a check mark.
    {"...........", kivra::ID_TRIMMING_SIDE_MODE, "Side mode"},
    {"...........", kivra::ID_TRIMMING_FRONT_MODE, "Front mode"},
    {"...........", kivra::ID_TRIMMING_AREA, "Area mode"},
    {"...........", kivra::ID_TRIMMING_PREVIEW, "Preview"},
    {"...........", kivra::ID_MARKER_SET_ID, "Marker ID"},
    {"...........", kivra::ID_MOVIE_PLAY, "Play"},
    {"...........", kivra::ID_MOVIE_REVERSE_PLAY, "Reverse play"},
};

// Toolbar buttons shown pressed.
//    NOSAMHDFRCZ
const Rule kPressed[] = {
    {"xxxxxxxxx..", kivra::ID_TRIMMING_SIDE_MODE, "Side mode"},
    {".........xx", kivra::ID_TRIMMING_FRONT_MODE, "Front mode"},
    {"..x........", kivra::ID_TRIMMING_AREA, "Area mode"},
    {"......xxx..", kivra::ID_TRIMMING_PREVIEW, "Preview"},
    {"......x....", kivra::ID_MARKER_SET_ID, "Marker ID"},
    {".......xx..", kivra::ID_MOVIE_PLAY, "Play"},
    {"........x..", kivra::ID_MOVIE_REVERSE_PLAY, "Reverse play"},
};

TEST_F(CommandTableTest, EveryCommandFollowsItsRulesThroughASession) {
    m_frame->Settings().MarkerId().askToShowIdBar = false;  // the toolbar question has its own test
    MessageBoxCatcher no(QMessageBox::No);
    const QPoint markerPoint(300, 200);

    const std::vector<Step> steps = {
        {'N', "no video", [] {}},
        {'O', "video open",
         [&] {
             OpenSample();
             Command(kivra::ID_VIEW_IMAGE_INFO);
             Command(kivra::ID_VIEW_SLIDER_BAR);
         }},
        {'S', "area mode", [&] { Command(kivra::ID_TRIMMING_AREA); }},
        {'A', "areas set",
         [&] {
             Click(At(0.35, 0.5));
             Click(At(0.6, 0.5));
             ASSERT_TRUE(m_frame->Session().AreasSet());
             Command(kivra::ID_MARKER_SHOW_LOCUS);
         }},
        {'M', "marker on another frame",
         [&] {
             ASSERT_EQ(Current(), 0);
             m_frame->Video().Annotations()->m_markers.SetMarker(0, 5, markerPoint.x(),
                                                                 markerPoint.y());
             // The user's choice on the mosaic-shape bar, not the menu.
             auto* bar = m_frame->findChild<CMosaicSizeDlgBar*>();
             ASSERT_NE(bar, nullptr);
             bar->ShapeList()->setCurrentIndex(3);
             emit bar->ShapeList()->activated(3);
         }},
        {'H', "marker on this frame",
         [&] {
             m_frame->Playback().ShowFrame(5);
             Command(kivra::ID_VIEW_DEINTERLACE);
         }},
        {'D', "ID dialog shown",
         [&] {
             Command(kivra::ID_MARKER_SET_ID);
             ASSERT_TRUE(m_frame->IsMarkerIdDialogVisible());
             EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode);
         }},
        {'F', "playing forward",
         [&] {
             Command(kivra::ID_MARKER_SET_ID);
             ASSERT_FALSE(m_frame->IsMarkerIdDialogVisible());
             EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode)
                 << "hiding keeps preview";
             ControlPlayClock();
             const int from = Current();
             Command(kivra::ID_MOVIE_PLAY);
             m_tick += 150;
             ASSERT_TRUE(WaitWhileAt(from));  // the timer runs
             ASSERT_TRUE(m_frame->Playback().IsForwardPlaying());
             EXPECT_GT(Current(), 5);
         }},
        {'R', "playing in reverse",
         [&] {
             Command(kivra::ID_MOVIE_STOP);
             Command(kivra::ID_MOVIE_LAST);
             const int from = Current();
             Command(kivra::ID_MOVIE_REVERSE_PLAY);
             ASSERT_TRUE(WaitWhileAt(from));
             ASSERT_TRUE(m_frame->Playback().IsReversePlaying());
             EXPECT_LT(Current(), from);
         }},
        {'C', "areas cleared",
         [&] {
             Command(kivra::ID_MOVIE_STOP);
             Command(kivra::ID_TRIMMING_AREA_CLEAR);
             EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kNormalMode)
                 << "preview ends with the areas";
             m_frame->Playback().ShowFrame(5);
             Command(kivra::ID_TRIMMING_FRONT_MODE);  // no area 1: nothing to ask
             EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kFrontMode);
             Command(kivra::ID_VIEW_SLIDER_BAR);
         }},
        {'Z', "video closed",
         [&] {
             Command(kivra::ID_FILE_NEW);
             ASSERT_EQ(m_frame->Stream(), nullptr);
         }},
    };
    ASSERT_EQ(steps.size(), sizeof(kColumns) - 1);
    const auto checkWidths = [&](const auto& table) {
        for (const Rule& rule : table) {
            ASSERT_EQ(std::strlen(rule.states), steps.size()) << rule.name;
            if (rule.id != kivra::ID_FILE_MRU_FILE1) {
                ASSERT_NE(Act(rule.id), nullptr) << rule.name << ": no such command";
            }
        }
    };
    checkWidths(kEnabled);
    checkWidths(kChecked);
    checkWidths(kPressed);
    ASSERT_FALSE(HasFatalFailure());

    for (size_t s = 0; s < steps.size(); ++s) {
        const Step& step = steps[s];
        ASSERT_EQ(step.code, kColumns[s]);
        SCOPED_TRACE(std::string("state ") + step.code + " (" + step.name + ")");
        step.enter();
        if (HasFatalFailure()) {
            return;
        }
        m_frame->UpdateCommandUI();
        for (const Rule& rule : kEnabled) {
            const char want = rule.states[s];
            if (want != '-') {
                QAction* action = Entry(rule.id);
                EXPECT_EQ(action != nullptr && action->isEnabled(), want == 'x')
                    << rule.name << " enabled";
            }
        }
        for (const Rule& rule : kChecked) {
            const char want = rule.states[s];
            if (want != '-') {
                EXPECT_EQ(Act(rule.id)->isChecked(), want == 'x') << rule.name << " checked";
            }
        }
        for (const Rule& rule : kPressed) {
            const bool movie =
                rule.id == kivra::ID_MOVIE_PLAY || rule.id == kivra::ID_MOVIE_REVERSE_PLAY;
            ZebsCOOIconToolBar* bar = movie ? m_frame->Bars().MovieBar()
                                      : rule.id == kivra::ID_MARKER_SET_ID
                                          ? m_frame->MarkerBar()
                                          : m_frame->Bars().TrimmingBar();
            EXPECT_EQ(bar->IsPressed(rule.id), rule.states[s] == 'x') << rule.name << " pressed";
        }
    }

    // The information flag went back to 0 with the video, in the view as well.
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);
    EXPECT_EQ(m_frame->Session().ShowInfo(), false);
    // The mosaic choice was taken; the only question was about the markers.
    EXPECT_EQ(m_frame->Session().MosaicType(), 3);
    for (const QString& text : no.Texts()) {
        EXPECT_EQ(text, Text(2041));
    }
}

// A command added to a menu, a toolbar or the window without a row above fails here, so the
// table keeps covering them all.
TEST_F(CommandTableTest, EveryCommandOfTheWindowHasItsRows) {
    OpenSample();  // the recent files come with the first video
    m_frame->RebuildRecentFileMenu();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    std::vector<QAction*> actions;
    std::function<void(QMenu*)> walkMenu = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr) {
                walkMenu(action->menu());
            } else if (!action->isSeparator()) {
                actions.push_back(action);
            }
        }
    };
    for (QAction* top : m_frame->menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr) << top->text().toStdString();
        walkMenu(top->menu());
    }
    std::vector<QAction*> toggles;
    for (QToolBar* bar : m_frame->findChildren<QToolBar*>()) {
        toggles.push_back(bar->toggleViewAction());
        for (QAction* action : bar->actions()) {
            if (!action->isSeparator() && qobject_cast<QWidgetAction*>(action) == nullptr) {
                actions.push_back(action);
            }
        }
    }
    for (QAction* action : m_frame->actions()) {  // commands without a menu entry
        actions.push_back(action);
    }

    const auto hasRow = [](const auto& table, int id) {
        return std::count_if(std::begin(table), std::end(table),
                             [id](const Rule& rule) { return rule.id == id; });
    };
    std::set<int> seen;
    for (QAction* action : actions) {
        const std::string text = action->text().toStdString();
        bool isId = false;
        int id = action->data().toInt(&isId);
        if (!isId) {
            // Not a command: a bar's own toggle, a language, the status bar, the empty list.
            const bool known = std::find(toggles.begin(), toggles.end(), action) != toggles.end() ||
                               action->actionGroup() != nullptr ||
                               action->text() == QStringLiteral("ステータス バー(&S)") ||
                               action->text() == QStringLiteral("最近使ったﾌｧｲﾙ");
            EXPECT_TRUE(known) << text << ": a command without an identifier";
            continue;
        }
        if (id > kivra::ID_FILE_MRU_FILE1 && id < kivra::ID_FILE_MRU_FILE1 + 16) {
            id = kivra::ID_FILE_MRU_FILE1;
        }
        seen.insert(id);
        EXPECT_EQ(hasRow(kEnabled, id), 1) << text << " (" << id << "): one enabled row";
        if (action->isCheckable()) {
            EXPECT_EQ(hasRow(kChecked, id), 1) << text << " (" << id << "): one checked row";
        }
    }
    EXPECT_GT(seen.count(kivra::ID_FILE_MRU_FILE1), 0u) << "the walk found no recent file";
    EXPECT_EQ(seen.size(), std::size(kEnabled)) << "the rows and the window's commands differ";
}

TEST_F(CommandTableTest, NavigatorCheckFollowsItsWindow) {
    QCoreApplication::processEvents();  // whatever start-up has queued
    CHelpDlg* navigator = Navigator();
    ASSERT_NE(navigator, nullptr);
    EXPECT_TRUE(Act(kivra::ID_VIEW_NAVIGATOR)->isChecked());
    Act(kivra::ID_VIEW_NAVIGATOR)->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_frame->UpdateCommandUI();
    EXPECT_EQ(m_frame->findChild<CHelpDlg*>(), nullptr);
    EXPECT_FALSE(Act(kivra::ID_VIEW_NAVIGATOR)->isChecked());
}

// A copy of `from` whose video stream carries `text` as its "txts" chunk, written into the
// space the stream header list keeps free, so no size or offset changes.
bool CopyWithText(const std::string& from, const std::string& to, const std::u16string& text) {
    std::string bytes = ReadAll(from);
    const size_t strl = bytes.find("strlstrh");
    const size_t junk = bytes.find("JUNK", strl);
    if (strl == std::string::npos || junk == std::string::npos) {
        return false;
    }
    uint32_t room = 0;
    std::memcpy(&room, bytes.data() + junk + 4, 4);
    std::string chunk(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    chunk.append(2, '\0');
    const uint32_t size = uint32_t(chunk.size());
    if (size + 8 > room) {
        return false;
    }
    const uint32_t rest = room - size - 8;
    std::string patch = "txts" + std::string(reinterpret_cast<const char*>(&size), 4) + chunk +
                        "JUNK" + std::string(reinterpret_cast<const char*>(&rest), 4);
    bytes.replace(junk, patch.size(), patch);
    QFile out(QString::fromStdString(to));
    return out.open(QIODevice::WriteOnly) &&
           out.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

TEST_F(CommandTableTest, TextInformationNeedsTextInTheVideoAndTogglesItsWindow) {
    Activate();
    OpenSample();
    EXPECT_FALSE(Enabled(kivra::ID_VIEW_TEXT_INFO)) << "the sample carries no text";

    const std::string withText = m_dir.File("記録 2.avi");
    ASSERT_TRUE(CopyWithText(m_sample, withText, u"被験者: A\n歩行 1.2 m/s"));
    Open(withText);
    ASSERT_EQ(m_frame->Stream()->TextInfo(), "被験者: A\n歩行 1.2 m/s");
    ASSERT_TRUE(Enabled(kivra::ID_VIEW_TEXT_INFO));
    auto* window = m_frame->findChild<CTextStreamDialog*>();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(window->isVisible());

    Press(QKeySequence(Qt::CTRL | Qt::Key_A));
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->TextEdit()->document()->blockCount(), 2);
    EXPECT_EQ(window->TextEdit()->document()->findBlockByNumber(1).text(),
              QStringLiteral("歩行 1.2 m/s"));
    Press(QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_FALSE(window->isVisible());

    Command(kivra::ID_FILE_NEW);
    EXPECT_FALSE(Enabled(kivra::ID_VIEW_TEXT_INFO));
}

// A refused file leaves the open video in place, for the idle updates under the messages as
// well; changed markers are asked about once, before the file is looked at, and again at close.
TEST_F(CommandTableTest, CommandRulesHoldWhileARefusedFileIsReported) {
    OpenSample();
    CAviVideoStream* stream = m_frame->Stream();
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 10.0, 20.0);
    m_frame->Video().Annotations()->m_markers.SetModified(true);
    const QString title = m_frame->windowTitle();
    const std::string notVideo = m_dir.File("メモ 1.txt");
    {
        QFile file(QString::fromStdString(notVideo));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a video");
    }
    QStringList texts;
    bool playableUnderBoxes = true;
    QTimer idleUnderBox;
    QObject::connect(&idleUnderBox, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            m_frame->UpdateCommandUI();
            texts << box->text();
            playableUnderBoxes = playableUnderBoxes && Act(kivra::ID_MOVIE_PLAY)->isEnabled();
            if (QAbstractButton* no = box->button(QMessageBox::No)) {
                no->click();
            } else {
                box->reject();
            }
        }
    });
    idleUnderBox.start(10);
    EXPECT_FALSE(OpenAndWait(notVideo));
    idleUnderBox.stop();
    std::string refusal = kivra::LoadString(2012);
    refusal.replace(refusal.find("%1"), 2, notVideo);
    EXPECT_EQ(texts, (QStringList{Text(2041), QString::fromStdString(refusal)}));
    EXPECT_TRUE(playableUnderBoxes);
    EXPECT_TRUE(m_frame->Video().IsOpen());
    EXPECT_EQ(m_frame->Stream(), stream);
    EXPECT_EQ(m_frame->windowTitle(), title);
    EXPECT_TRUE(m_frame->Video().Annotations()->m_markers.IsModified());
    EXPECT_TRUE(Enabled(kivra::ID_MOVIE_PLAY));

    MessageBoxCatcher no(QMessageBox::No);
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(no.Texts(), QStringList{Text(2041)});
}

// ---------------------------------------------------------------------------------------------
// Changing the trimming mode clears the areas, so it asks first.

TEST_F(CommandTableTest, ModeChangeAsksBeforeClearingTheAreas) {
    OpenSample();
    CHelpDlg* navigator = Navigator();
    ASSERT_NE(navigator, nullptr);
    SetBothAreas();
    Command(kivra::ID_TRIMMING_PREVIEW);
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode);
    const kivra::AreaState area1 = m_frame->Session().Area1();
    const kivra::AreaState area2 = m_frame->Session().Area2();

    {
        MessageBoxCatcher no(QMessageBox::No);
        Command(kivra::ID_TRIMMING_FRONT_MODE);
        ASSERT_EQ(no.Texts(), QStringList{Text(2022)});
        EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kSideMode);
        EXPECT_EQ(m_frame->Session().Area1(), area1);
        EXPECT_EQ(m_frame->Session().Area2(), area2);
        EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kPreviewMode);
        EXPECT_EQ(navigator->windowTitle(), Text(2033));
        m_frame->UpdateCommandUI();
        EXPECT_TRUE(m_frame->Bars().TrimmingBar()->IsPressed(kivra::ID_TRIMMING_SIDE_MODE));
        EXPECT_FALSE(m_frame->Bars().TrimmingBar()->IsPressed(kivra::ID_TRIMMING_FRONT_MODE));
    }
    {
        MessageBoxCatcher yes(QMessageBox::Yes);
        Command(kivra::ID_TRIMMING_FRONT_MODE);
        ASSERT_EQ(yes.Texts(), QStringList{Text(2022)});
        EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kFrontMode);
        EXPECT_FALSE(m_frame->Session().Area1().IsSet());
        EXPECT_FALSE(m_frame->Session().Area2().IsSet());
        EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kNormalMode)
            << "preview needs the areas";
        EXPECT_EQ(navigator->windowTitle(), Text(2034));
        EXPECT_FALSE(Enabled(kivra::ID_TRIMMING_PREVIEW));
        EXPECT_TRUE(m_frame->Bars().TrimmingBar()->IsPressed(kivra::ID_TRIMMING_FRONT_MODE));
    }

    MessageBoxCatcher yes(QMessageBox::Yes);
    // Area 1 alone is enough to ask. The mode already active asks nothing and keeps it.
    Command(kivra::ID_TRIMMING_AREA);
    Click(At(0.4, 0.5));
    ASSERT_TRUE(m_frame->Session().Area1().IsSet());
    ASSERT_EQ(m_frame->Session().AreaIndex(), 1);
    Command(kivra::ID_TRIMMING_FRONT_MODE);
    EXPECT_TRUE(yes.Texts().isEmpty());
    EXPECT_TRUE(m_frame->Session().Area1().IsSet());
    EXPECT_EQ(m_frame->Session().AreaIndex(), 1);

    const int lengthFromCenter1 = m_frame->Session().AreaBoxHalfSize(0);
    m_view->SetBoxHalfSize(40);  // unlike area 1
    Command(kivra::ID_TRIMMING_SIDE_MODE);
    ASSERT_EQ(yes.Texts(), QStringList{Text(2022)});
    EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kSideMode);
    EXPECT_FALSE(m_frame->Session().Area1().IsSet());
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0) << "area mode starts again at area 1";
    EXPECT_EQ(m_view->BoxHalfSize(), lengthFromCenter1);
    EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kAreaMode) << "clearing leaves area mode on";
    EXPECT_EQ(navigator->windowTitle(), Text(2033));

    // Area 1 unset: no question, nothing cleared, yet the caption follows.
    m_view->SetBoxHalfSize(44);  // resized by the user
    Command(kivra::ID_TRIMMING_FRONT_MODE);
    EXPECT_EQ(yes.Texts().size(), 1);
    EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kFrontMode);
    EXPECT_EQ(m_view->BoxHalfSize(), 44);
    EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kAreaMode);
    EXPECT_EQ(navigator->windowTitle(), Text(2034));

    // The mode is kept in the marker file, so closing asks to save it. No video: the mode
    // simply changes.
    Command(kivra::ID_FILE_NEW);
    EXPECT_EQ(yes.Texts(), (QStringList{Text(2022), Text(2041)}));
    Command(kivra::ID_TRIMMING_SIDE_MODE);
    EXPECT_EQ(yes.Texts().size(), 2);
    EXPECT_EQ(m_frame->Session().StoredTrimmingMode(), kivra::kSideMode);
}

// ---------------------------------------------------------------------------------------------
// Keys while an area is being set. They reach the window from the view, which takes the focus
// when the pointer moves over it.

TEST_F(CommandTableTest, AreaKeysStepBackForwardAndResizeTheBoxInSideMode) {
    OpenSample();
    Activate();
    Paint();
    Command(kivra::ID_TRIMMING_AREA);
    const QPoint p = At(0.4, 0.5);
    Move(p);
    ASSERT_EQ(QApplication::focusWidget(), m_view);
    const int start = m_view->BoxHalfSize();
    ASSERT_EQ(start, m_frame->Session().AreaBoxHalfSize(0));

    // On area 1 with nothing set, Escape and Tab do nothing.
    Key(Qt::Key_Escape);
    Key(Qt::Key_Tab);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0);
    EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kAreaMode);
    EXPECT_EQ(QApplication::focusWidget(), m_view) << "Tab never moves the focus here";

    const std::pair<Qt::KeyboardModifiers, int> resizes[] = {
        {Qt::NoModifier, 3}, {Qt::ShiftModifier, 1}, {Qt::NoModifier, 3}};
    int size = start;
    for (const auto& [modifiers, step] : resizes) {
        Key(Qt::Key_Up, modifiers);
        size += step;
        EXPECT_EQ(m_view->BoxHalfSize(), size);
        EXPECT_EQ(m_view->CursorBox(), BoxAt(p, size)) << "the box follows at once";
    }
    Key(Qt::Key_Down);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    size -= 4;
    EXPECT_EQ(m_view->BoxHalfSize(), size);
    EXPECT_EQ(m_view->CursorBox(), BoxAt(p, size));

    Click(p);
    ASSERT_TRUE(m_frame->Session().Area1().IsSet());
    ASSERT_EQ(m_frame->Session().AreaIndex(), 1);
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(0), size);

    // Escape goes back to area 1 and its size; area 1 may then be resized and set again.
    Key(Qt::Key_Escape);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0);
    EXPECT_EQ(m_view->BoxHalfSize(), size);
    Key(Qt::Key_Up);
    EXPECT_EQ(m_view->BoxHalfSize(), size + 3);
    // Tab returns to area 2 with the box as it is: only front mode gives area 2 its own size.
    Key(Qt::Key_Tab);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 1);
    EXPECT_EQ(m_view->BoxHalfSize(), size + 3);
    EXPECT_TRUE(m_frame->Session().Area1().IsSet()) << "area 1 stays as it was placed";
    EXPECT_EQ(m_frame->Session().GetViewMode(), kivra::kAreaMode);

    // Outside area mode the keys leave the box alone.
    Command(kivra::ID_TRIMMING_AREA);
    ASSERT_EQ(m_frame->Session().GetViewMode(), kivra::kNormalMode);
    const int normal = m_view->BoxHalfSize();
    m_view->setFocus();
    Key(Qt::Key_Up);
    EXPECT_EQ(m_view->BoxHalfSize(), normal);
}

TEST_F(CommandTableTest, AreaKeysReachTheBoxWhateverHadTheFocusBefore) {
    OpenSample();
    Activate();
    Paint();
    // The user last touched the slider bar's trackbar, then presses the area button.
    m_frame->Bars().SliderToolBar()->show();
    auto* trackbar = m_frame->Bars().SliderBar()->findChild<QSlider*>(QStringLiteral("Slider1"));
    ASSERT_NE(trackbar, nullptr);
    trackbar->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), trackbar);
    const int position = trackbar->value();
    Command(kivra::ID_TRIMMING_AREA);
    const int start = m_view->BoxHalfSize();
    Key(Qt::Key_Up);
    EXPECT_EQ(m_view->BoxHalfSize(), start + 3);
    EXPECT_EQ(trackbar->value(), position);
}

TEST_F(CommandTableTest, AreaKeysInFrontModeSwitchBetweenTheTwoSizes) {
    OpenSample();
    Activate();
    Paint();
    Command(kivra::ID_TRIMMING_FRONT_MODE);
    m_frame->Session().SetAreaBoxHalfSize(1, 30);
    Command(kivra::ID_TRIMMING_AREA);
    const QPoint p = At(0.4, 0.5);
    Move(p);
    Click(p);
    const int size1 = m_frame->Session().AreaBoxHalfSize(0);
    ASSERT_EQ(m_frame->Session().AreaIndex(), 1);
    ASSERT_EQ(m_view->BoxHalfSize(), 30);

    Key(Qt::Key_Escape);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0);
    EXPECT_EQ(m_view->BoxHalfSize(), size1);
    EXPECT_EQ(m_view->CursorBox(), BoxAt(p, size1));
    Key(Qt::Key_Escape);  // already on area 1
    EXPECT_EQ(m_frame->Session().AreaIndex(), 0);

    Key(Qt::Key_Tab);
    EXPECT_EQ(m_frame->Session().AreaIndex(), 1);
    EXPECT_EQ(m_view->BoxHalfSize(), 30);
    EXPECT_EQ(m_view->CursorBox(), BoxAt(p, 30));
    Key(Qt::Key_Up);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(m_view->BoxHalfSize(), 32) << "area 2 has its own size in front mode";
    Key(Qt::Key_Tab);  // already on area 2
    EXPECT_EQ(m_view->BoxHalfSize(), 32);

    // Area 2 placed with the resized box keeps that size for next time.
    m_frame->Playback().Last();
    Click(At(0.6, 0.5));
    ASSERT_TRUE(m_frame->Session().AreasSet());
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(1), 32);
    EXPECT_EQ(m_frame->Session().AreaBoxHalfSize(0), size1);
}

// ---------------------------------------------------------------------------------------------
// The first Marker ID command with the marker toolbar hidden offers the toolbar, once for good.

TEST_F(CommandTableTest, MarkerToolbarQuestionIsAskedOnceAlsoAcrossARestart) {
    ASSERT_TRUE(m_frame->Settings().MarkerId().askToShowIdBar);
    OpenSample();
    SetBothAreas();
    ASSERT_TRUE(m_frame->MarkerBar()->isHidden());
    {
        MessageBoxCatcher no(QMessageBox::No);
        Command(kivra::ID_MARKER_SET_ID);
        ASSERT_EQ(no.Texts(), QStringList{Text(2044)});
        EXPECT_TRUE(m_frame->IsMarkerIdDialogVisible());
        EXPECT_TRUE(m_frame->MarkerBar()->isHidden()) << "No leaves the toolbar hidden";
        Command(kivra::ID_MARKER_SET_ID);
        Command(kivra::ID_MARKER_SET_ID);
        EXPECT_EQ(no.Texts().size(), 1);
        EXPECT_TRUE(m_frame->IsMarkerIdDialogVisible());
        Command(kivra::ID_MARKER_SET_ID);
    }

    // A new run on the same settings folder.
    StartAgain();
    m_frame->resize(1000, 760);
    EXPECT_FALSE(m_frame->Settings().MarkerId().askToShowIdBar);
    OpenSample();
    SetBothAreas();
    ASSERT_TRUE(m_frame->MarkerBar()->isHidden());
    MessageBoxCatcher catcher(QMessageBox::Yes);
    Command(kivra::ID_MARKER_SET_ID);
    EXPECT_TRUE(catcher.Texts().isEmpty());
    EXPECT_TRUE(m_frame->IsMarkerIdDialogVisible());
}

TEST_F(CommandTableTest, MarkerToolbarQuestionOnlyWhileTheBarIsHiddenAndYesShowsIt) {
    OpenSample();
    SetBothAreas();
    MessageBoxCatcher yes(QMessageBox::Yes);

    // The toolbar already shown: nothing to offer, and the offer stays for later.
    m_frame->MarkerBar()->show();
    Command(kivra::ID_MARKER_SET_ID);
    EXPECT_TRUE(yes.Texts().isEmpty()) << "asked although the marker toolbar is shown";
    EXPECT_TRUE(m_frame->Settings().MarkerId().askToShowIdBar);
    Command(kivra::ID_MARKER_SET_ID);

    m_frame->MarkerBar()->hide();
    Command(kivra::ID_MARKER_SET_ID);
    EXPECT_EQ(yes.Texts(), QStringList{Text(2044)});
    EXPECT_FALSE(m_frame->MarkerBar()->isHidden()) << "Yes shows the marker toolbar";
    EXPECT_FALSE(m_frame->Settings().MarkerId().askToShowIdBar);
    m_frame->UpdateCommandUI();
    EXPECT_TRUE(m_frame->MarkerBar()->IsPressed(kivra::ID_MARKER_SET_ID));
}

// ---------------------------------------------------------------------------------------------
// The close question: Yes saves what is shown, No leaves the file alone, Cancel keeps working.

TEST_F(CommandTableTest, CloseWithYesSavesMarkersAndAreasThenCloses) {
    OpenSample();
    SetBothAreas();
    CAviVideoStream* stream = m_frame->Stream();
    m_frame->Video().Annotations()->m_markers.SetMarker(2, 7, 123.5, 45.25);
    m_frame->Video().Annotations()->m_markers.SetModified(true);
    const std::string lff = stream->MarkerFilePath();
    const int area2Frame = m_frame->Session().Area2().frame;

    MessageBoxCatcher yes(QMessageBox::Yes);
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(yes.Texts(), QStringList{Text(2041)});
    EXPECT_FALSE(m_frame->isVisible());

    CLFFManager saved;
    ASSERT_EQ(saved.LoadMarkers(lff, m_frame->Settings().MarkerId().maxId), CLFFManager::kLoaded);
    ASSERT_GE(saved.FindMarker(2, 7), 0);
    const T_MARKER& m = saved.Row(2)[size_t(saved.FindMarker(2, 7))];
    EXPECT_DOUBLE_EQ(m.x, 123.5);
    EXPECT_DOUBLE_EQ(m.y, 45.25);
    EXPECT_EQ(saved.GetArea1Frame(), 0);
    EXPECT_EQ(saved.GetArea2Frame(), area2Frame);
}

TEST_F(CommandTableTest, CloseWithNoLeavesTheMarkerFileAsItWas) {
    OpenSample();
    CAviVideoStream* stream = m_frame->Stream();
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 10.0, 20.0);
    Command(kivra::ID_MARKER_SAVE);
    const std::string lff = stream->MarkerFilePath();
    const std::string before = ReadAll(lff);
    ASSERT_FALSE(before.empty());
    m_frame->Video().Annotations()->m_markers.SetMarker(1, 4, 30.0, 40.0);
    m_frame->Video().Annotations()->m_markers.SetModified(true);

    MessageBoxCatcher no(QMessageBox::No);
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(no.Texts(), QStringList{Text(2041)});
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_EQ(ReadAll(lff), before);
}

TEST_F(CommandTableTest, ExitWithCancelKeepsTheWindowAndTheMarkers) {
    OpenSample();
    CAviVideoStream* stream = m_frame->Stream();
    m_frame->Video().Annotations()->m_markers.SetMarker(0, 3, 10.0, 20.0);
    m_frame->Video().Annotations()->m_markers.SetModified(true);
    const std::string lff = stream->MarkerFilePath();
    const auto barState = [&] {
        return kivra::GetPrivateProfileString("ToolBarStatus", "State", "",
                                              m_frame->Settings().IniPath(), 1 << 16);
    };
    ASSERT_TRUE(barState().empty());

    {
        MessageBoxCatcher cancel(QMessageBox::Cancel);
        Command(kivra::ID_APP_EXIT);
        EXPECT_EQ(cancel.Texts(), QStringList{Text(2041)});
    }
    EXPECT_TRUE(m_frame->isVisible());
    ASSERT_EQ(m_frame->Stream(), stream);
    EXPECT_TRUE(m_frame->Video().Annotations()->m_markers.HasMarkers(3));
    EXPECT_TRUE(m_frame->Video().Annotations()->m_markers.IsModified()) << "still to be saved";
    EXPECT_FALSE(fs::exists(lff));
    EXPECT_TRUE(barState().empty()) << "a cancelled close stores nothing";

    // Asked again next time; going on stores the bar layout.
    MessageBoxCatcher no(QMessageBox::No);
    EXPECT_TRUE(m_frame->close());
    EXPECT_EQ(no.Texts().size(), 1);
    EXPECT_FALSE(barState().empty());
    EXPECT_FALSE(fs::exists(lff));
}

}  // namespace
