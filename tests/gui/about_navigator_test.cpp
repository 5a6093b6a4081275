// The about box, the link labels and the navigator window on the offscreen platform.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "frame/main_frame.h"
#include "frame/mosaic_size_dlg_bar.h"
#include "frame/slider_view.h"
#include "geometry/trimming_param.h"
#include "platform/string_table.h"
#include "platform/version_info.h"
#include "support/app_fixture.h"
#include "support/ffmpeg_tool.h"
#include "ui/about_dlg.h"
#include "ui/help_dlg.h"
#include "ui/icon_toolbar.h"
#include "ui/link_label.h"
#include "ui/static_logo.h"

namespace {

std::string BinaryDir() {
    const char* env = std::getenv("KIVRA_BINARY_DIR");
    return env && *env ? env : KIVRA_BINARY_DIR;
}

// An empty folder with a blank, a quote and Japanese text in its name.
constexpr const char* kFolderPrefix = "kivra nav 'ナビ'";

TEST(AboutBox, ShowsTheVersionOfTheExecutable) {
    CAboutDlg self;  // the running test program carries the block too
    EXPECT_EQ(self.VersionLine(), QStringLiteral("Version: ") + QStringLiteral(KIVRA_VERSION));
    EXPECT_EQ(self.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_TRUE(self.Logo()->HasBitmap());

    CAboutDlg cli(nullptr, BinaryDir() + "/kivra-cli");
    EXPECT_EQ(cli.VersionLine(), QStringLiteral("Version: ") + QStringLiteral(KIVRA_VERSION));

    CAboutDlg foreign(nullptr, "/bin/ls");
    EXPECT_EQ(foreign.VersionLine(), QStringLiteral("Version: "));
}

TEST(AboutBox, LogoKeyColourIsTransparent) {
    CStaticLogo logo;
    logo.SetBitmap(kivra::MakeKivraLogo());
    logo.resize(logo.sizeHint());
    QImage shown(logo.size(), QImage::Format_RGB32);
    shown.fill(Qt::magenta);
    logo.render(&shown, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::magenta));   // key-coloured corner
    EXPECT_NE(shown.pixelColor(32, 4), QColor(Qt::magenta));  // inside the mark
}

TEST(LinkLabel, EmptyOrUnsafeTargetsDoNothing) {
    CAboutDlg about;
    for (CStaticURL* link : {about.ProductLink(), about.LatestLink()}) {
        EXPECT_FALSE(link->text().isEmpty());
        EXPECT_TRUE(link->Target().isEmpty());
        EXPECT_FALSE(link->IsOpenable());
        EXPECT_FALSE(link->font().underline());
        EXPECT_NE(link->cursor().shape(), Qt::PointingHandCursor);
    }

    CStaticURL link(QStringLiteral("link"));
    link.resize(80, 20);
    QSignalSpy opened(&link, &CStaticURL::Opened);
    for (const char* target : {"", "   ", "file:///bin/sh", "/usr/bin/xterm", "javascript:alert(1)",
                               "-x http://a", "http://"}) {
        link.SetTarget(QString::fromUtf8(target));
        EXPECT_FALSE(link.IsOpenable()) << target;
        QTest::mouseClick(&link, Qt::LeftButton);
    }
    EXPECT_EQ(opened.count(), 0);

    // A real address looks like a link; it is not clicked here, that would start a browser.
    link.SetTarget(QStringLiteral("https://example.invalid/kivra"));
    EXPECT_TRUE(link.IsOpenable());
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
}

TEST(Navigator, ShowsThePictureOfTheMode) {
    auto* nav = new CHelpDlg(kivra::kSideMode, nullptr, BinaryDir());
    QPointer<CHelpDlg> alive(nav);
    ASSERT_FALSE(nav->SidePicture().isNull());
    ASSERT_FALSE(nav->FrontPicture().isNull());
    EXPECT_EQ(nav->size(), nav->FrontPicture().size());
    EXPECT_EQ(nav->windowTitle(), QString::fromStdString(kivra::LoadString(2033)));
    nav->show();

    const auto shown = [&] { return nav->grab().toImage().convertToFormat(QImage::Format_RGB888); };
    EXPECT_EQ(shown(), nav->SidePicture().convertToFormat(QImage::Format_RGB888));

    nav->SetTrimmingMode(kivra::kFrontMode);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーター（正面モード）"));
    EXPECT_EQ(shown(), nav->FrontPicture().convertToFormat(QImage::Format_RGB888));
    nav->SetTrimmingMode(kivra::kSideMode);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーター（側面モード）"));
    EXPECT_EQ(shown(), nav->SidePicture().convertToFormat(QImage::Format_RGB888));

    // Escape leaves it open; closing destroys it.
    QTest::keyClick(nav, Qt::Key_Escape);
    EXPECT_TRUE(nav->isVisible());
    nav->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST(Navigator, MissingOrBadPicturesPaintNothing) {
    const kivra::test::TempDir folder(kFolderPrefix);
    {
        CHelpDlg nav(kivra::kFrontMode, nullptr, folder.path());
        EXPECT_TRUE(nav.FrontPicture().isNull());
        EXPECT_EQ(nav.windowTitle(), QString::fromStdString(kivra::LoadString(2034)));
        nav.show();
        nav.grab();
    }

    // Not a bitmap, a truncated bitmap, and a well-formed bitmap that is not 24-bit.
    std::ofstream(folder.File(CHelpDlg::kSidePictureName)) << "BM not really";
    const std::string front = BinaryDir() + "/" + CHelpDlg::kFrontPictureName;
    std::filesystem::copy_file(front, folder.File(CHelpDlg::kFrontPictureName));
    std::filesystem::resize_file(folder.File(CHelpDlg::kFrontPictureName), 5000);
    EXPECT_TRUE(kivra::LoadNavigatorPicture(folder.File(CHelpDlg::kSidePictureName)).isNull());
    EXPECT_TRUE(kivra::LoadNavigatorPicture(folder.File(CHelpDlg::kFrontPictureName)).isNull());

    QImage eightBit(16, 16, QImage::Format_Indexed8);
    eightBit.setColorCount(2);
    eightBit.fill(0);
    ASSERT_TRUE(eightBit.save(QString::fromStdString(folder.File("eight.bmp")), "BMP"));
    EXPECT_TRUE(kivra::LoadNavigatorPicture(folder.File("eight.bmp")).isNull());
    EXPECT_FALSE(kivra::LoadNavigatorPicture(front).isNull());
}

TEST(Navigator, PlacementBesideTheMainWindow) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize nav(440, 360);
    // Room on the right: at the main window's right edge, level with the video.
    EXPECT_EQ(kivra::NavigatorPosition(QRect(100, 50, 1000, 700), 80, 30, 60, nav, screen),
              QPoint(1100, 175));
    // Passing the right and bottom edges: pulled back inside.
    EXPECT_EQ(kivra::NavigatorPosition(QRect(600, 500, 1200, 500), 900, 30, 60, nav, screen),
              QPoint(1920 - 440, 1080 - 360));
    // A second screen to the right keeps its own edges; a navigator larger than the screen
    // keeps its top-left corner on it.
    EXPECT_EQ(kivra::NavigatorPosition(QRect(2000, 0, 800, 600), 30, 0, 0, nav,
                                       QRect(1920, 0, 1280, 1024)),
              QPoint(3200 - 440, 35));
    EXPECT_EQ(kivra::NavigatorPosition(QRect(0, 0, 100, 100), 0, 0, 0, QSize(3000, 2000), screen),
              QPoint(0, 0));
}

class NavigatorPlacementTest : public kivra::test::AppFixture {};

TEST_F(NavigatorPlacementTest, OpensRightOfTheWindowLevelWithTheVideo) {
    // Once opened by the command, and once as it opens at start.
    for (const bool atStart : {false, true}) {
        SCOPED_TRACE(atStart ? "at start" : "command");
        if (atStart) {
            StartAgain();
        }
        m_frame->move(0, 0);
        m_frame->resize(m_frame->minimumSizeHint());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
        QCoreApplication::processEvents();
        if (!atStart) {
            while (QPointer<CHelpDlg> open = m_frame->findChild<CHelpDlg*>()) {
                open->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
            m_frame->Action(kivra::ID_VIEW_NAVIGATOR)->trigger();
        }
        const CHelpDlg* navigator = m_frame->findChild<CHelpDlg*>();
        ASSERT_NE(navigator, nullptr);
        const QRect nav = navigator->frameGeometry();
        const QRect screen = m_frame->screen()->availableGeometry();

        // The rule counts from the top of the client area, where the row of bars starts right
        // under the menu; the mosaic-shape bar stands for that row.
        const int barsTop = m_frame->Bars().TrimmingBar()->mapToGlobal(QPoint(0, 0)).y();
        EXPECT_EQ(barsTop,
                  m_frame->menuBar()->mapToGlobal(QPoint(0, m_frame->menuBar()->height())).y());
        const auto* mosaic = m_frame->Bars().MosaicToolBar()->findChild<CMosaicSizeDlgBar*>();
        ASSERT_NE(mosaic, nullptr);
        const int timeline = m_frame->SliderView()->height();
        ASSERT_GT(timeline, 0);
        const int y = barsTop + mosaic->height() + timeline + 5;
        ASSERT_LE(y + nav.height(), screen.bottom() + 1) << "the screen must not move it";
        EXPECT_EQ(nav.top(), y);
        EXPECT_EQ(nav.left(),
                  std::min(m_frame->frameGeometry().right() + 1, screen.right() + 1 - nav.width()));
        // Level with the picture, give or take the bar row's own margins.
        const int videoTop = m_frame->VideoView()->mapToGlobal(QPoint(0, 0)).y();
        EXPECT_NEAR(nav.top(), videoTop + 5, 8);
    }
}

}  // namespace
