#include "ui/text_stream_dlg.h"

#include <QHideEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

constexpr int kWidthDlu = 235;
constexpr int kHeightDlu = 322;

}  // namespace

CTextStreamDialog::CTextStreamDialog(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("CTextStreamDialog"));
    setWindowTitle(tr("テキストストリーム情報"));
    setModal(false);

    m_pEdit = new QPlainTextEdit(this);
    m_pEdit->setObjectName(QStringLiteral("TextEdit"));
    m_pEdit->setReadOnly(true);
    m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* const layout = new QVBoxLayout(this);
    layout->addWidget(m_pEdit);

    // Dialog units: a quarter of the average character width, an eighth of the line height.
    const QFontMetrics metrics(font());
    resize(kWidthDlu * metrics.averageCharWidth() / 4, kHeightDlu * metrics.height() / 8);
}

CTextStreamDialog::~CTextStreamDialog() = default;

void CTextStreamDialog::SetText(const QString& text) {
    m_strText = text;
}

void CTextStreamDialog::Toggle() {
    setVisible(!isVisible());
}

void CTextStreamDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ShowStoredText();
}

void CTextStreamDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    ShowStoredText();
}

void CTextStreamDialog::ShowStoredText() {
    // The caller hands over Windows line ends; a lone carriage return would show as a glyph.
    QString text = m_strText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_pEdit->setPlainText(text);
}
