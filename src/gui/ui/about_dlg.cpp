#include "ui/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/version_info.h"
#include "ui/link_label.h"
#include "ui/static_logo.h"

CAboutDlg::CAboutDlg(QWidget* parent, const std::string& executablePath) : QDialog(parent) {
    setWindowTitle(tr("バージョン情報"));
    setModal(true);

    const HdCVersionInfo info(executablePath);
    std::string version;
    info.GetString(version, HdCVersionInfo::kFileVersion);

    m_logo = new CStaticLogo(this);
    m_logo->setObjectName(QStringLiteral("logo"));
    m_logo->SetBitmap(kivra::MakeKivraLogo());
    m_logo->setFixedSize(m_logo->sizeHint());

    auto* name = new QLabel(QStringLiteral("Kivra"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    name->setFont(bold);

    m_versionLine = new QLabel(QStringLiteral("Version: ") + QString::fromStdString(version), this);
    m_versionLine->setObjectName(QStringLiteral("versionLine"));
    m_versionLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_productLink = new CStaticURL(tr("Kivra ホームページ"), this);
    m_productLink->setObjectName(QStringLiteral("productLink"));
    m_latestLink = new CStaticURL(tr("ダウンロードページ"), this);
    m_latestLink->setObjectName(QStringLiteral("latestLink"));

    auto* grid = new QGridLayout;
    grid->addWidget(m_logo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(m_versionLine, 1, 1);
    grid->addWidget(m_productLink, 2, 1);
    auto* latestRow = new QHBoxLayout;
    latestRow->setSpacing(6);  // a nested row would otherwise set the link against the words
    latestRow->addWidget(new QLabel(tr("最新版はこちら"), this));
    latestRow->addWidget(m_latestLink);
    latestRow->addStretch();
    grid->addLayout(latestRow, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDlg::SetLinkTargets(const QString& productPage, const QString& latestVersionPage) {
    m_productLink->SetTarget(productPage);
    m_latestLink->SetTarget(latestVersionPage);
}

QString CAboutDlg::VersionLine() const {
    return m_versionLine->text();
}
