// The icon toolbars and the mosaic-shape bar as real widgets: the grey rule of disabled
// pictures, button order and tool tips, pressed looks, the play button's icon swap, and what
// the mosaic list shows and reports.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QTest>
#include <QToolButton>
#include <map>
#include <vector>

#include "base/command_ids.h"
#include "frame/mosaic_size_dlg_bar.h"
#include "ui/icon_toolbar.h"
#include "ui/toolbar_icons.h"

namespace {

using namespace kivra;

QImage Argb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// Opaque pixels follow the rule exactly; translucent ones only roughly, since pixmaps keep
// their colours premultiplied by alpha.
void ExpectGreyCopyOf(const QImage& grey, const QImage& colour) {
    const QImage expected = GreyCopy(colour);
    ASSERT_EQ(grey.size(), expected.size());
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb got = grey.pixel(x, y);
            const QRgb want = expected.pixel(x, y);
            ASSERT_EQ(qAlpha(got), qAlpha(want)) << x << "," << y;
            ASSERT_TRUE(qRed(got) == qGreen(got) && qGreen(got) == qBlue(got)) << x << "," << y;
            if (qAlpha(want) == 255) {
                ASSERT_EQ(got, want) << x << "," << y;
            }
        }
    }
}

TEST(ToolbarIcons, GreyCopyAppliesTheRootMeanSquareRuleAndKeepsAlpha) {
    QImage image(5, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));      // sqrt(21675) = 147.2
    image.setPixel(1, 0, qRgba(10, 20, 30, 255));     // sqrt(466.7) = 21.6
    image.setPixel(2, 0, qRgba(200, 200, 200, 128));  // a grey stays itself
    image.setPixel(3, 0, qRgba(255, 255, 255, 255));
    image.setPixel(4, 0, qRgba(0, 0, 0, 0));
    const QImage grey = GreyCopy(image);
    EXPECT_EQ(grey.pixel(0, 0), qRgba(147, 147, 147, 255));
    EXPECT_EQ(grey.pixel(1, 0), qRgba(21, 21, 21, 255));
    EXPECT_EQ(grey.pixel(2, 0), qRgba(200, 200, 200, 128));
    EXPECT_EQ(grey.pixel(3, 0), qRgba(255, 255, 255, 255));
    EXPECT_EQ(qAlpha(grey.pixel(4, 0)), 0);
}

TEST(ToolbarIcons, EveryButtonHasBothSizesAndItsDisabledImageIsTheGreyCopy) {
    for (const ToolbarPicture picture :
         {ToolbarPicture::First, ToolbarPicture::Previous, ToolbarPicture::Play,
          ToolbarPicture::Playing, ToolbarPicture::ReversePlay, ToolbarPicture::Next,
          ToolbarPicture::Last, ToolbarPicture::Open, ToolbarPicture::SideMode,
          ToolbarPicture::FrontMode, ToolbarPicture::Area, ToolbarPicture::Preview,
          ToolbarPicture::SaveMovie, ToolbarPicture::MarkerId}) {
        SCOPED_TRACE(static_cast<int>(picture));
        const QIcon icon = MakeToolbarIcon(picture);
        for (const int size : {kSmallToolbarIcon, kLargeToolbarIcon}) {
            const QImage normal = Argb(icon.pixmap(QSize(size, size), 1.0, QIcon::Normal));
            const QImage hot = Argb(icon.pixmap(QSize(size, size), 1.0, QIcon::Active));
            const QImage disabled = Argb(icon.pixmap(QSize(size, size), 1.0, QIcon::Disabled));
            ASSERT_EQ(normal.size(), QSize(size, size));
            EXPECT_NE(normal, hot);
            ExpectGreyCopyOf(disabled, normal);
            int painted = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    painted += qAlpha(normal.pixel(x, y)) > 0 ? 1 : 0;
                }
            }
            EXPECT_GT(painted, size * size / 10) << "the picture is almost empty";
            EXPECT_LT(painted, size * size) << "the picture has no transparent border";
        }
    }
    EXPECT_NE(Argb(DrawToolbarPicture(ToolbarPicture::Play, 32, false)),
              Argb(DrawToolbarPicture(ToolbarPicture::Playing, 32, false)));
    // Reverse play is play mirrored: same ink, same outline, the other way round.
    const QImage play = Argb(DrawToolbarPicture(ToolbarPicture::Play, 32, false));
    const QImage reverse = Argb(DrawToolbarPicture(ToolbarPicture::ReversePlay, 32, false));
    EXPECT_NE(play, reverse);
    EXPECT_EQ(reverse.pixel(16, 16), play.pixel(16, 16));
    const auto painted = [](const QImage& image, int x0, int x1) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = x0; x < x1; ++x) {
                n += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(painted(play, 0, 16), painted(play, 16, 32)) << "play's wide end is on the left";
    EXPECT_LT(painted(reverse, 0, 16), painted(reverse, 16, 32));
    EXPECT_EQ(painted(reverse, 0, 32), painted(play, 0, 32));
}

// A main window with one action per command, made the way the real one makes them.
class IconToolBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::map<int, QString> texts = {
            {ID_MOVIE_FIRST, QStringLiteral("最初(&F)\tHome")},
            {ID_MOVIE_BACK, QStringLiteral("戻る(&B)\t<-")},
            {ID_MOVIE_PLAY, QStringLiteral("再生(&P)\tF8")},
            {ID_MOVIE_REVERSE_PLAY, QStringLiteral("逆再生(&R)\tShift+F8")},
            {ID_MOVIE_NEXT, QStringLiteral("進む(&N)\t->")},
            {ID_MOVIE_LAST, QStringLiteral("最後(&L)\tEnd")},
            {ID_FILE_OPEN, QStringLiteral("開く(&O)...\tCtrl+O")},
            {ID_TRIMMING_SIDE_MODE, QStringLiteral("側面モード(&S)")},
            {ID_TRIMMING_FRONT_MODE, QStringLiteral("正面モード(&F)")},
            {ID_TRIMMING_AREA, QStringLiteral("エリア指定(&A)")},
            {ID_TRIMMING_PREVIEW, QStringLiteral("プレビュー(&P)")},
            {ID_TRIMMING_SAVE_MOVIE, QStringLiteral("動画保存(&M)...")},
            {ID_MARKER_SET_ID, QStringLiteral("IDの指定(&I)...")},
            {ID_MARKER_FOLLOW, QStringLiteral("マーカを追跡(&F)\tCtrl+T")},
        };
        for (const auto& [id, text] : texts) {
            auto* action = new QAction(text.section(QLatin1Char('\t'), 0, 0), &window);
            action->setData(id);
            window.addAction(action);
            actions[id] = action;
            QObject::connect(action, &QAction::triggered, &window,
                             [this, id = id] { triggered.push_back(id); });
        }
        lookup = [this](CommandId id) -> QAction* {
            const auto it = actions.find(id);
            return it == actions.end() ? nullptr : it->second;
        };
        movie = CreateMovieToolBar(&window, lookup);
        trimming = CreateTrimmingToolBar(&window, lookup);
        marker = CreateMarkerToolBar(&window, lookup);
        for (QToolBar* bar : {static_cast<QToolBar*>(movie), static_cast<QToolBar*>(trimming),
                              static_cast<QToolBar*>(marker)}) {
            window.addToolBar(Qt::TopToolBarArea, bar);
        }
        window.resize(900, 300);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QMainWindow window;
    std::map<int, QAction*> actions;
    std::vector<int> triggered;
    ActionLookup lookup;
    ZebsCOOIconToolBar* movie = nullptr;
    ZebsCOOIconToolBar* trimming = nullptr;
    ZebsCOOIconToolBar* marker = nullptr;
};

TEST_F(IconToolBarTest, ButtonsComeInTheListedOrderWithGapsTitlesAndLargeButtons) {
    EXPECT_EQ(movie->Layout(),
              (std::vector<int>{ID_MOVIE_FIRST, ID_MOVIE_BACK, ID_MOVIE_REVERSE_PLAY, ID_MOVIE_PLAY,
                                ID_MOVIE_NEXT, ID_MOVIE_LAST}));
    EXPECT_EQ(trimming->Layout(),
              (std::vector<int>{ID_FILE_OPEN, kToolBarGap, ID_TRIMMING_SIDE_MODE,
                                ID_TRIMMING_FRONT_MODE, kToolBarGap, ID_TRIMMING_AREA,
                                ID_TRIMMING_PREVIEW, kToolBarGap, ID_TRIMMING_SAVE_MOVIE}));
    EXPECT_EQ(marker->Layout(), (std::vector<int>{ID_MARKER_SET_ID, ID_MARKER_FOLLOW}));
    EXPECT_EQ(trimming->actions().at(1)->isSeparator(), true);

    EXPECT_EQ(movie->windowTitle(), QStringLiteral("動画"));
    EXPECT_EQ(trimming->windowTitle(), QStringLiteral("トリミング"));
    EXPECT_EQ(marker->windowTitle(), QStringLiteral("マーカ"));
    EXPECT_EQ(movie->objectName(), QStringLiteral("MovieToolBar"));
    EXPECT_EQ(window.toolBarArea(trimming), Qt::TopToolBarArea);
    EXPECT_EQ(trimming->allowedAreas(), Qt::TopToolBarArea);

    QToolButton* play = movie->Button(ID_MOVIE_PLAY);
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->size(), QSize(kToolButtonWidth, kToolButtonHeight));
    EXPECT_EQ(movie->iconSize(), QSize(32, 32));
    EXPECT_FALSE(actions[ID_MOVIE_PLAY]->isIconVisibleInMenu());

    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(triggered, std::vector<int>{ID_MOVIE_PLAY});
}

TEST_F(IconToolBarTest, ToolTipsUseTheShortPromptElseTheMenuTextWithoutAccelerator) {
    EXPECT_EQ(actions[ID_TRIMMING_SAVE_MOVIE]->toolTip(), QStringLiteral("動画保存"));
    EXPECT_EQ(actions[ID_FILE_OPEN]->toolTip(), QStringLiteral("開く"));
    EXPECT_EQ(actions[ID_MOVIE_FIRST]->toolTip(), QStringLiteral("最初"));
    EXPECT_EQ(actions[ID_MOVIE_REVERSE_PLAY]->toolTip(), QStringLiteral("逆再生"));
    EXPECT_EQ(actions[ID_MARKER_SET_ID]->toolTip(), QStringLiteral("IDの指定"));
    EXPECT_EQ(actions[ID_MARKER_FOLLOW]->toolTip(), QStringLiteral("マーカを追跡"));
    EXPECT_EQ(ShortToolTip(ID_VIEW_IMAGE_INFO, QStringLiteral("画像情報( &I )\tCtrl + I")),
              QStringLiteral("画像情報"));
    EXPECT_EQ(ShortToolTip(ID_MOVIE_STOP, QStringLiteral("R&&D &Stop")),
              QStringLiteral("R&D Stop"));
}

TEST_F(IconToolBarTest, PlayIconSwapsBetweenTheSameTwoIcons) {
    QAction* play = actions[ID_MOVIE_PLAY];
    QToolButton* button = movie->Button(ID_MOVIE_PLAY);
    const qint64 idle = play->icon().cacheKey();
    movie->SetPlayButtonPlaying(true);
    const qint64 playing = play->icon().cacheKey();
    EXPECT_NE(idle, playing);
    EXPECT_EQ(button->icon().cacheKey(), playing);
    for (int round = 0; round < 2; ++round) {
        movie->SetPlayButtonPlaying(false);
        EXPECT_EQ(play->icon().cacheKey(), idle);
        EXPECT_EQ(button->icon().cacheKey(), idle);
        movie->SetPlayButtonPlaying(true);
        movie->SetPlayButtonPlaying(true);
        EXPECT_EQ(play->icon().cacheKey(), playing);
        EXPECT_EQ(button->icon().cacheKey(), playing);
    }
    // Other buttons keep their own pictures.
    EXPECT_NE(actions[ID_MOVIE_NEXT]->icon().cacheKey(), idle);
    EXPECT_NE(actions[ID_MOVIE_NEXT]->icon().cacheKey(), playing);
}

TEST_F(IconToolBarTest, PressedLookFollowsTheWishOrTheCheck) {
    QAction* side = actions[ID_TRIMMING_SIDE_MODE];
    trimming->SetPressed(ID_TRIMMING_SIDE_MODE, true);
    EXPECT_TRUE(trimming->IsPressed(ID_TRIMMING_SIDE_MODE));
    EXPECT_FALSE(trimming->IsPressed(ID_TRIMMING_FRONT_MODE));
    EXPECT_FALSE(side->isCheckable());  // the menu item gets no check mark

    // The button asks its action, not itself, when clicked.
    QTest::mouseClick(trimming->Button(ID_TRIMMING_SIDE_MODE), Qt::LeftButton);
    EXPECT_EQ(triggered, std::vector<int>{ID_TRIMMING_SIDE_MODE});
    EXPECT_TRUE(trimming->IsPressed(ID_TRIMMING_SIDE_MODE));

    // The button resyncs from its action on every change; the wish must survive that.
    side->setEnabled(false);
    side->setText(QStringLiteral("側面"));
    side->setEnabled(true);
    EXPECT_TRUE(trimming->IsPressed(ID_TRIMMING_SIDE_MODE));
    EXPECT_FALSE(side->isChecked());
    trimming->SetPressed(ID_TRIMMING_SIDE_MODE, false);
    EXPECT_FALSE(trimming->IsPressed(ID_TRIMMING_SIDE_MODE));
    QTest::mouseClick(trimming->Button(ID_TRIMMING_SIDE_MODE), Qt::LeftButton);
    EXPECT_FALSE(trimming->IsPressed(ID_TRIMMING_SIDE_MODE));

    // A checkable action shows its check as a pressed button.
    QAction* preview = actions[ID_TRIMMING_PREVIEW];
    preview->setCheckable(true);
    preview->setChecked(true);
    EXPECT_TRUE(trimming->IsPressed(ID_TRIMMING_PREVIEW));
    preview->setChecked(false);
    EXPECT_FALSE(trimming->IsPressed(ID_TRIMMING_PREVIEW));
}

TEST_F(IconToolBarTest, MissingActionsAreLeftOutAndReported) {
    ZebsCOOIconToolBar bar(QStringLiteral("x"), QStringLiteral("x"));
    EXPECT_FALSE(bar.LoadToolBar({ID_MOVIE_STOP, kToolBarGap, ID_MOVIE_PLAY}, lookup));
    EXPECT_EQ(bar.Layout(), (std::vector<int>{kToolBarGap, ID_MOVIE_PLAY}));
    EXPECT_FALSE(bar.LoadToolBar({ID_MOVIE_NEXT}, {}));
}

TEST(MosaicSizeDlgBar, ListsTheFourShapesWithPicturesAndReportsTheUsersChoice) {
    QMainWindow window;
    auto* bar = new CMosaicSizeDlgBar;
    window.addToolBar(Qt::TopToolBarArea, bar->WrapInToolBar(&window));
    std::vector<int> chosen;
    bar->SetOnSelected([&chosen](int index) { chosen.push_back(index); });
    ASSERT_TRUE(bar->InitializeBar(2));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QComboBox* list = bar->ShapeList();
    ASSERT_EQ(list->count(), 4);
    const QStringList expected = {
        QStringLiteral("モザイクなし"), QStringLiteral("モザイク タイプ1"),
        QStringLiteral("モザイク タイプ2"), QStringLiteral("モザイク タイプ3")};
    std::vector<QImage> pictures;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list->itemText(i), expected[i]);
        const QIcon icon = list->itemIcon(i);
        ASSERT_FALSE(icon.isNull());
        const QImage picture = Argb(icon.pixmap(QSize(24, 18)));
        EXPECT_EQ(picture.width(), 24);
        for (const QImage& other : pictures) {
            EXPECT_NE(picture, other) << "shape " << i << " looks like another";
        }
        pictures.push_back(picture);
    }
    EXPECT_EQ(bar->Selected(), 2);
    EXPECT_EQ(window.findChild<QToolBar*>()->windowTitle(), QStringLiteral("モザイク領域の形"));

    // Set from the program: shown, not reported.
    bar->Select(1);
    EXPECT_EQ(bar->Selected(), 1);
    bar->Select(7);
    EXPECT_EQ(bar->Selected(), -1);
    EXPECT_TRUE(chosen.empty());

    // Chosen by the user with the keyboard.
    bar->Select(1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(chosen, std::vector<int>{2});
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(chosen, (std::vector<int>{2, 1, 0}));

    ASSERT_TRUE(bar->InitializeBar(5));  // a setting out of range shows no selection
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(bar->Selected(), -1);
}

}  // namespace
