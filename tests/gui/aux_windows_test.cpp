// The codec list and text information windows as real widgets: the installed compressors
// appear once each, a refresh does not add rows, and the stored text reaches the edit control.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <optional>

#include "platform/compressors.h"
#include "ui/codec_list_dlg.h"
#include "ui/text_stream_dlg.h"

namespace {

class AuxWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner.resize(400, 300);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    }

    QMainWindow owner;
};

QString Cell(const QTableWidget* list, int row, int column) {
    const QTableWidgetItem* const item = list->item(row, column);
    return item ? item->text() : QString();
}

std::optional<int> RowOfCode(const QTableWidget* list, const QString& code) {
    for (int row = 0; row < list->rowCount(); ++row)
        if (Cell(list, row, CCodecListDialog::kCode) == code)
            return row;
    return std::nullopt;
}

TEST_F(AuxWindowsTest, CodecListShowsEveryCompressorOnceAndRefreshKeepsTheRows) {
    CCodecListDialog dlg(&owner);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.isModal());
    QTableWidget* const list = dlg.List();
    ASSERT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), QStringLiteral("Fcc"));
    EXPECT_EQ(list->horizontalHeaderItem(4)->text(), QStringLiteral("Version"));

    const int installed = static_cast<int>(kivra::InstalledCompressors().size());
    ASSERT_EQ(list->rowCount(), installed);

    struct Expected {
        const char* code;
        const char* name;
    };
    for (const Expected& expected : {Expected{"MJPG", "mjpeg"}, Expected{"MP42", "msmpeg4v2"},
                                     Expected{"H264", "libx264"}, Expected{"DIB ", "rawvideo"}}) {
        SCOPED_TRACE(expected.code);
        const std::optional<int> row = RowOfCode(list, QString::fromLatin1(expected.code));
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(Cell(list, *row, CCodecListDialog::kName), QString::fromLatin1(expected.name));
        EXPECT_FALSE(Cell(list, *row, CCodecListDialog::kDescription).isEmpty());
        EXPECT_TRUE(
            Cell(list, *row, CCodecListDialog::kDriver).contains(QStringLiteral("avcodec")));
        EXPECT_FALSE(Cell(list, *row, CCodecListDialog::kVersion).isEmpty());
    }
    // Letter case stays as stored.
    for (const kivra::CompressorInfo& info : kivra::InstalledCompressors())
        EXPECT_TRUE(RowOfCode(list, QString::fromLatin1(kivra::HandlerCodeText(info.code).c_str())))
            << info.name;

    dlg.Toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::mouseClick(dlg.RefreshButton(), Qt::LeftButton);
    QTest::mouseClick(dlg.RefreshButton(), Qt::LeftButton);
    EXPECT_EQ(list->rowCount(), installed);
    QSet<QString> rows;
    for (int row = 0; row < list->rowCount(); ++row)
        rows.insert(Cell(list, row, CCodecListDialog::kCode) + QLatin1Char('/') +
                    Cell(list, row, CCodecListDialog::kName));
    EXPECT_EQ(rows.size(), installed);

    // Columns take their shares of the list's width, the description widest of all.
    EXPECT_GT(list->columnWidth(CCodecListDialog::kDescription),
              list->columnWidth(CCodecListDialog::kName));
    EXPECT_GT(list->columnWidth(CCodecListDialog::kName),
              list->columnWidth(CCodecListDialog::kCode));

    dlg.Toggle();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(AuxWindowsTest, TextWindowShowsTheStoredTextLineByLine) {
    CTextStreamDialog dlg(&owner);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.isModal());
    QPlainTextEdit* const edit = dlg.TextEdit();
    EXPECT_TRUE(edit->isReadOnly());

    const QString text =
        QStringLiteral("撮影日: 2024年5月1日\r\n被験者: 山田 太郎\r\n歩行速度 1.2 m/s\nメモ");
    dlg.SetText(text);
    EXPECT_EQ(dlg.Text(), text);
    dlg.Toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(edit->document()->blockCount(), 4);
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("撮影日: 2024年5月1日\n被験者: 山田 太郎\n"
                                                  "歩行速度 1.2 m/s\nメモ"));

    // A new text shows once the window is toggled; while hidden it keeps the old contents.
    dlg.Toggle();
    EXPECT_FALSE(dlg.isVisible());
    dlg.SetText(QStringLiteral("別の動画"));
    EXPECT_TRUE(edit->toPlainText().startsWith(QStringLiteral("撮影日")));
    dlg.Toggle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("別の動画"));
}

}  // namespace
