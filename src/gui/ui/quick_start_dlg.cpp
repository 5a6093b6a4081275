#include "ui/quick_start_dlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The resources live in a static library: nothing would pull them into the program otherwise.
// At file scope, as the macro requires.
static void LinkResources() {
    Q_INIT_RESOURCE(kivra);
}

CQuickStartDlg::CQuickStartDlg(kivra::UiLanguage language, QWidget* parent) : QDialog(parent) {
    LinkResources();
    setObjectName(QStringLiteral("QuickStart"));
    setWindowTitle(tr("クイックスタート"));
    setModal(false);

    m_pBrowser = new QTextBrowser(this);
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc") + PagePath(language)));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(tr("閉じる"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBrowser);
    layout->addWidget(buttons);
    resize(560, 720);
}

QString CQuickStartDlg::PagePath(kivra::UiLanguage language) {
    return language == kivra::UiLanguage::English
               ? QStringLiteral(":/quickstart/quick_start_en.html")
               : QStringLiteral(":/quickstart/quick_start_ja.html");
}
