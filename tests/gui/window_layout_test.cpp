// The main window as a user arranges it: the bars' rows and their layout across a restart, the
// navigator at start, the recent files of the File menu, and the save dialog that adds the
// extension and asks before a file is replaced.
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionToolBar>
#include <QToolBar>
#include <QToolButton>
#include <deque>
#include <fstream>
#include <functional>

#include "base/qt_user_messages.h"
#include "file/file_commands.h"
#include "platform/rw_ini_file.h"
#include "settings/recent_file_list.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/text_stream_dlg.h"

namespace {

using kivra::test::Answer;
using kivra::test::AppFixture;
using kivra::test::Cancel;
using kivra::test::MessageBoxCatcher;
using kivra::test::ModalScript;
using kivra::test::ReadFile;
using kivra::test::TypeName;
namespace fs = std::filesystem;

class WindowLayoutTest : public AppFixture {
protected:
    // Closes the window as the user does (which saves the layout), ends the run and starts
    // the program again on the same settings folder.
    void Restart() {
        m_frame->close();
        StartAgain();
        ShowWindow();
    }

    void ShowWindow() {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
        QCoreApplication::processEvents();
    }

    QRect BarRect(QToolBar* bar) const { return bar->geometry(); }

    QStringList RecentMenuTexts() const {
        QStringList texts;
        for (QAction* action : m_frame->Menu(kivra::WindowMenu::File)->actions()) {
            if (action->data().toInt() >= kivra::ID_FILE_MRU_FILE1 &&
                action->data().toInt() < kivra::ID_FILE_MRU_FILE1 + 4) {
                texts << action->text();
            }
        }
        return texts;
    }

    QAction* MenuAction(QMenu* menu, const QString& text) const {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }
};

TEST_F(WindowLayoutTest, BarsDockAtTheTopInTheirRowsWithTheSliderBarHiddenAtFirst) {
    ShowWindow();
    QStringList titles;
    for (QAction* menu : m_frame->menuBar()->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, (QStringList{"ファイル(&F)", "表示(&V)", "動画(&O)", "トリミング(&T)",
                                   "マーカ(&M)", "ヘルプ(&H)"}));

    QToolBar* trimming = m_frame->Bars().TrimmingBar();
    QToolBar* movie = m_frame->Bars().MovieBar();
    QToolBar* mosaic = m_frame->Bars().MosaicToolBar();
    QToolBar* marker = m_frame->MarkerBar();
    QToolBar* slider = m_frame->Bars().SliderToolBar();
    for (QToolBar* bar : {trimming, movie, mosaic, marker, slider}) {
        SCOPED_TRACE(bar->objectName().toStdString());
        EXPECT_EQ(m_frame->toolBarArea(bar), Qt::TopToolBarArea);
        EXPECT_EQ(bar->allowedAreas(), Qt::TopToolBarArea);
    }
    EXPECT_TRUE(trimming->isVisible());
    EXPECT_TRUE(movie->isVisible());
    EXPECT_TRUE(mosaic->isVisible());
    EXPECT_FALSE(marker->isVisible());
    EXPECT_FALSE(slider->isVisible());

    marker->show();
    slider->show();
    QCoreApplication::processEvents();
    EXPECT_LT(BarRect(trimming).x(), BarRect(movie).x());
    EXPECT_LT(BarRect(movie).x(), BarRect(mosaic).x());
    EXPECT_LT(BarRect(mosaic).x(), BarRect(marker).x());
    for (QToolBar* bar : {movie, mosaic, marker}) {
        EXPECT_EQ(BarRect(bar).y(), BarRect(trimming).y());
    }
    EXPECT_TRUE(m_frame->toolBarBreak(slider));
    EXPECT_GE(BarRect(slider).y(), BarRect(trimming).bottom());

    // The slider bar has no menu entry, but the toolbar area's own menu reaches it.
    const std::unique_ptr<QMenu> context(m_frame->createPopupMenu());
    ASSERT_NE(context, nullptr);
    EXPECT_NE(MenuAction(context.get(), slider->windowTitle()), nullptr);
}

// A menu as one line: items by text (their keys are shown apart), "|" for a separator, a
// submenu's items in braces.
QString MenuOutline(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            items << QStringLiteral("|");
        } else if (action->menu() != nullptr) {
            items << action->text() + QStringLiteral(" {") + MenuOutline(action->menu()) +
                         QStringLiteral("}");
        } else {
            items << action->text();
        }
    }
    return items.join(QStringLiteral(", "));
}

TEST_F(WindowLayoutTest, MenusHoldTheirCommandsInSeparatedGroups) {
    QStringList outlines;
    for (const QAction* title : m_frame->menuBar()->actions()) {
        ASSERT_NE(title->menu(), nullptr);
        outlines << MenuOutline(title->menu());
    }
    const QStringList expected{
        "開く(&O)..., 閉じる(&C), |, 動画保存(&M)..., |, 最近使ったﾌｧｲﾙ, |, 終了(&X)",
        "画像情報( &I ), |, インターレース除去(&D), 動画を変換せずに開く(&R), |, ナビゲーター(&N), "
        "|, "
        "ツール バー(&T) {動画(&M), トリミング(&T), モザイク領域の形(&R), マーカ(&M)}, "
        "ステータス バー(&S), |, 表示言語(&L) {システムの設定に従う(&S), 日本語(&J), English(&E)}, "
        "|, 2画面表示(&2), 2画面を連動(&K), 同期(&Y) {この2コマを同じ瞬間にする(&S), "
        "音で合わせる(&A), 閃光で合わせる(&F), 踵接地で合わせる(&E)}",
        "最初(&F), 戻る(&B), |, 停止(&S), 再生(&P), 逆再生(&R), |, 進む(&N), 最後(&L)",
        "側面モード(&S), 正面モード(&F), |, 設定(&G)..., |, エリア指定(&A), エリアクリア(&C), |, "
        "モザイク領域の形(&M) {モザイクなし(&N), |, タイプ1(&1), タイプ2(&2), タイプ3(&3)}, |, "
        "プレビュー(&P)",
        "元に戻す(&U), やり直し(&R), |, IDの指定(&I)..., マーカを追跡(&F), 削除(&D) "
        "{表示フレーム(&C), 全フレーム(&A)}, |, 軌跡を表示(&L), |, "
        "保存(&S), 座標出力(&T)..., |, キャリブレーション(&B)..., 関節角度(&J)..., "
        "運動学出力(&K)..., グラフ(&G), |, 足のマーカ(&E)..., 歩行分析(&W)..., "
        "歩行レポート(&P)..., 前回と比較(&V)..., |, C3D書き出し(&3)..., TRC書き出し(&X)...",
        "クイックスタート(&Q), |, バージョン情報(&A)...",
    };
    ASSERT_EQ(outlines.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(outlines[i].toStdString(), expected[i].toStdString());
    }
}

TEST_F(WindowLayoutTest, LayoutHiddenBarsAndStatusBarComeBackAfterARestart) {
    ShowWindow();
    m_frame->Bars().MovieBar()->toggleViewAction()->trigger();  // hide, as the View menu does
    m_frame->MarkerBar()->toggleViewAction()->trigger();        // show
    // The mosaic-shape bar dragged down to a row of its own.
    m_frame->removeToolBar(m_frame->Bars().MosaicToolBar());
    m_frame->addToolBarBreak(Qt::TopToolBarArea);
    m_frame->addToolBar(Qt::TopToolBarArea, m_frame->Bars().MosaicToolBar());
    m_frame->Bars().MosaicToolBar()->show();
    QAction* status =
        MenuAction(m_frame->Menu(kivra::WindowMenu::View), QStringLiteral("ステータス バー(&S)"));
    ASSERT_NE(status, nullptr);
    status->trigger();
    EXPECT_FALSE(m_frame->statusBar()->isVisible());

    Restart();
    EXPECT_FALSE(m_frame->Bars().MovieBar()->isVisible());
    EXPECT_FALSE(m_frame->Bars().MovieBar()->toggleViewAction()->isChecked());
    EXPECT_TRUE(m_frame->MarkerBar()->isVisible());
    EXPECT_TRUE(m_frame->Bars().TrimmingBar()->isVisible());
    EXPECT_FALSE(m_frame->Bars().SliderToolBar()->isVisible());
    EXPECT_TRUE(m_frame->Bars().MosaicToolBar()->isVisible());
    EXPECT_GT(BarRect(m_frame->Bars().MosaicToolBar()).y(),
              BarRect(m_frame->Bars().TrimmingBar()).y());
    EXPECT_EQ(BarRect(m_frame->MarkerBar()).y(), BarRect(m_frame->Bars().TrimmingBar()).y());
    EXPECT_FALSE(m_frame->statusBar()->isVisible());
    status =
        MenuAction(m_frame->Menu(kivra::WindowMenu::View), QStringLiteral("ステータス バー(&S)"));
    EXPECT_FALSE(status->isChecked());
}

// Drags a docked toolbar by its handle along its row, as the user moves it.
void DragAlongRow(QToolBar* bar, int dx) {
    QStyleOptionToolBar option;
    option.initFrom(bar);
    option.features = QStyleOptionToolBar::Movable;
    option.state |= QStyle::State_Horizontal;
    const QRect handle = bar->style()->subElementRect(QStyle::SE_ToolBarHandle, &option, bar);
    const QPoint from = handle.isValid() ? handle.center() : QPoint(3, bar->height() / 2);
    const auto send = [bar](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, bar->mapToGlobal(at),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(bar, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step) {
        send(QEvent::MouseMove, from + QPoint(dx * step / 4, 0), Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, from + QPoint(dx, 0), Qt::NoButton);
    QTest::qWait(20);  // the row is laid out again
}

TEST_F(WindowLayoutTest, LayoutSavedBeforeTheReverseButtonShowsEveryMovieButton) {
    m_frame->resize(1200, 700);
    m_frame->show();
    ShowWindow();
    // The movie bar as it was before reverse play had a button: five buttons.
    QAction* reverse = m_frame->Action(kivra::ID_MOVIE_REVERSE_PLAY);
    m_frame->Bars().MovieBar()->removeAction(reverse);
    const auto fitted = [this] {
        return m_frame->Bars().MovieBar()->width() ==
               m_frame->Bars().MovieBar()->sizeHint().width();
    };
    for (int wait = 0; wait < 100 && !fitted(); ++wait) {
        QTest::qWait(10);
    }
    ASSERT_TRUE(fitted());
    const int oldWidth = m_frame->Bars().MovieBar()->width();
    // The user nudged the mosaic bar along the row, which pins the movie bar's width.
    const int mosaicX = m_frame->Bars().MosaicToolBar()->x();
    DragAlongRow(m_frame->Bars().MosaicToolBar(), 20);
    ASSERT_GT(m_frame->Bars().MosaicToolBar()->x(), mosaicX) << "the drag did not move the bar";
    ASSERT_GT(m_frame->Bars().MovieBar()->width(), oldWidth);
    // What that version wrote at exit: the layout without a version of its own.
    const QByteArray oldLayout = m_frame->saveState().toBase64();
    const std::string ini = m_app->ProfileName();
    m_frame->close();
    ASSERT_TRUE(
        kivra::WritePrivateProfileString("ToolBarStatus", "State", oldLayout.toStdString(), ini));

    StartAgain();
    ShowWindow();
    m_frame->resize(1200, 700);
    QCoreApplication::processEvents();
    ZebsCOOIconToolBar* movie = m_frame->Bars().MovieBar();
    EXPECT_EQ(movie->Layout(), kivra::MovieToolBarCommands());
    for (const int id : kivra::MovieToolBarCommands()) {
        const QToolButton* button = movie->Button(kivra::CommandId(id));
        ASSERT_NE(button, nullptr) << id;
        EXPECT_TRUE(button->isVisible()) << id << " is hidden behind the bar's extension";
    }
    EXPECT_GT(m_frame->Bars().MosaicToolBar()->x(), movie->geometry().right());
    EXPECT_EQ(m_frame->Bars().MosaicToolBar()->y(), movie->y()) << "the row stays as it was";
}

TEST_F(WindowLayoutTest, DamagedSavedLayoutGivesTheFirstLayout) {
    const std::string ini = m_app->ProfileName();
    m_frame->close();
    for (const std::string& junk :
         {std::string("!!not base64!!"), QByteArray(5000, '\x7f').toBase64().toStdString()}) {
        SCOPED_TRACE(junk.substr(0, 20));
        m_app->ExitInstance();
        ASSERT_TRUE(kivra::WritePrivateProfileString("ToolBarStatus", "State", junk, ini));
        m_app = std::make_unique<CMirandelApp>();
        ASSERT_TRUE(m_app->InitInstance({QStringLiteral("kivra")}));
        m_frame = m_app->GetMainFrame();
        ShowWindow();
        EXPECT_TRUE(m_frame->Bars().TrimmingBar()->isVisible());
        EXPECT_TRUE(m_frame->Bars().MovieBar()->isVisible());
        EXPECT_FALSE(m_frame->MarkerBar()->isVisible());
        EXPECT_FALSE(m_frame->Bars().SliderToolBar()->isVisible());
    }
}

TEST_F(WindowLayoutTest, NavigatorOpensAtStartAndItsCommandClosesIt) {
    ShowWindow();
    QPointer<CHelpDlg> navigator = m_frame->findChild<CHelpDlg*>();
    ASSERT_FALSE(navigator.isNull());
    EXPECT_TRUE(navigator->isVisible());
    EXPECT_TRUE(m_frame->Action(kivra::ID_VIEW_NAVIGATOR)->isChecked());
    EXPECT_EQ(navigator->windowTitle(), QStringLiteral("ナビゲーター（側面モード）"));

    m_frame->Action(kivra::ID_VIEW_NAVIGATOR)->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(navigator.isNull());
    EXPECT_FALSE(m_frame->Action(kivra::ID_VIEW_NAVIGATOR)->isChecked());
}

TEST_F(WindowLayoutTest, RecentFilesNewestFirstAcrossARestartAndGoneFilesLeaveTheList) {
    ShowWindow();
    EXPECT_EQ(MenuAction(m_frame->Menu(kivra::WindowMenu::File), QStringLiteral("最近使ったﾌｧｲﾙ"))
                  ->isEnabled(),
              false);
    const std::string odd = m_dir.File("a&b 歩行.avi");
    fs::copy_file(m_sample, odd);
    Open(m_sample);
    Open(odd);
    Open(m_sample);
    const QStringList expected{
        QStringLiteral("&1 ") + QString::fromStdString(m_sample),
        QStringLiteral("&2 ") + QString::fromStdString(m_dir.File("a&&b 歩行.avi"))};
    EXPECT_EQ(RecentMenuTexts(), expected);
    EXPECT_EQ(MenuAction(m_frame->Menu(kivra::WindowMenu::File), QStringLiteral("最近使ったﾌｧｲﾙ")),
              nullptr);

    Restart();
    EXPECT_EQ(RecentMenuTexts(), expected);

    // Choosing the second entry opens it and moves it to the top.
    QAction* second =
        m_frame->Menu(kivra::WindowMenu::File)
            ->actions()
            .at(m_frame->Menu(kivra::WindowMenu::File)
                    ->actions()
                    .indexOf(MenuAction(m_frame->Menu(kivra::WindowMenu::File), expected[1])));
    second->trigger();
    QCoreApplication::processEvents();  // the entry opens once the menu has closed
    WaitForJobs();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_app->GetDocument()->PathName(), odd);
    ASSERT_EQ(m_app->RecentFiles()->Entries().size(), 2u);
    EXPECT_EQ(m_app->RecentFiles()->Entries()[0], odd);

    // A file deleted since then cannot open: its entry goes.
    m_app->OnFileNew();
    fs::remove(m_sample);
    MessageBoxCatcher catcher(QMessageBox::Ok);
    MenuAction(m_frame->Menu(kivra::WindowMenu::File),
               QStringLiteral("&2 ") + QString::fromStdString(m_sample))
        ->trigger();
    QCoreApplication::processEvents();
    WaitForJobs();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_app->RecentFiles()->Entries(), std::vector<std::string>{odd});
    EXPECT_EQ(RecentMenuTexts().size(), 1);
}

TEST_F(WindowLayoutTest, SaveDialogAddsTheExtensionAndAsksBeforeReplacing) {
    ShowWindow();
    QAction* saveFrame = m_frame->Action(kivra::ID_FILE_SAVE_FRAME_BMP);
    ASSERT_NE(saveFrame, nullptr);
    EXPECT_FALSE(saveFrame->isEnabled());
    Open(m_sample);
    m_frame->UpdateCommandUI();
    ASSERT_TRUE(saveFrame->isEnabled());

    const QString typed = QString::fromStdString(m_dir.File("frame 'one' $x"));
    const std::string written = m_dir.File("frame 'one' $x.bmp");
    {
        ModalScript user({TypeName(typed)});
        saveFrame->trigger();
        EXPECT_TRUE(user.Done());
    }
    const std::string first = ReadFile(written);
    ASSERT_GT(first.size(), 54u);
    EXPECT_EQ(first.substr(0, 2), "BM");

    // The same name again: the dialog asks; No keeps the file and the dialog open.
    std::ofstream(written, std::ios::trunc) << "keep me";
    QString question;
    {
        ModalScript user({TypeName(typed), Answer(QMessageBox::No, &question), Cancel()});
        saveFrame->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_TRUE(question.contains(QStringLiteral("frame 'one' $x.bmp")));
    EXPECT_EQ(ReadFile(written), "keep me");
    {
        ModalScript user({TypeName(typed), Answer(QMessageBox::Yes)});
        saveFrame->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_EQ(ReadFile(written), first);

    // A folder that cannot be written: the user is told, nothing is left behind.
    MessageBoxCatcher catcher(QMessageBox::Ok);
    EXPECT_FALSE(m_frame->Files().SaveFrameAsBitmap(m_dir.File("no such folder/frame.bmp")));
    EXPECT_EQ(catcher.Texts().size(), 1);
    EXPECT_FALSE(fs::exists(m_dir.File("no such folder")));
}

TEST_F(WindowLayoutTest, OpenCommandHidesTheTextInformationAndOpensTheChosenFile) {
    ShowWindow();
    auto* text = m_frame->findChild<CTextStreamDialog*>();
    ASSERT_NE(text, nullptr);
    text->show();
    const std::string chosen = m_dir.File("-walk $1; 'a'.avi");
    fs::copy_file(m_sample, chosen);
    {
        ModalScript user({TypeName(QString::fromStdString(chosen))});
        m_frame->Action(kivra::ID_FILE_OPEN)->trigger();
        WaitForJobs();
        EXPECT_TRUE(user.Done());
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(text->isVisible());
    EXPECT_EQ(m_app->GetDocument()->PathName(), chosen);
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("-walk $1; 'a'.avi - Kivra"));
}

}  // namespace
