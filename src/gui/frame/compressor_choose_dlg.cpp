#include "frame/compressor_choose_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/compressors.h"

namespace {

constexpr int kMaxQuality = 10000;
constexpr int kMaxKeyFrameInterval = 100000;
constexpr int kMaxDataRate = 1000000;  // KB/s
enum Column { kCode, kEncoder, kDescription };

QString CodeOf(uint32_t fcc) {
    const std::optional<kivra::CompressorInfo> info = kivra::FindCompressor(fcc);
    return info ? QString::fromStdString(info->codeText) : QString();
}

}  // namespace

CCompressorChooseDlg::CCompressorChooseDlg(kivra::CompressorVars& vars, QWidget* parent)
    : QDialog(parent), m_vars(vars) {
    setObjectName(QStringLiteral("CCompressorChooseDlg"));
    setWindowTitle(tr("ビデオの圧縮"));

    m_pList = new QTreeWidget(this);
    m_pList->setObjectName(QStringLiteral("CompressorList"));
    m_pList->setRootIsDecorated(false);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setHeaderLabels({tr("コード"), tr("エンコーダ"), tr("説明")});
    QString lastCode;
    for (const kivra::CompressorInfo& info : kivra::InstalledCompressors()) {
        // A code names one compressor: the first of a code is the one it stands for; another
        // encoder of the same code is named with "encoder=NAME" in the options line.
        const QString code = QString::fromStdString(info.codeText);
        if (code == lastCode) {
            continue;
        }
        lastCode = code;
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(kCode, QString::fromStdString(info.codeText));
        item->setText(kEncoder, QString::fromStdString(info.name));
        item->setText(kDescription, QString::fromStdString(info.description));
    }
    m_pList->header()->setSectionResizeMode(kCode, QHeaderView::ResizeToContents);
    m_pList->header()->setSectionResizeMode(kEncoder, QHeaderView::ResizeToContents);
    m_pList->header()->setStretchLastSection(true);

    m_pQuality = new QSpinBox(this);
    m_pQuality->setObjectName(QStringLiteral("Quality"));
    m_pQuality->setRange(-1, kMaxQuality);
    m_pQuality->setSpecialValueText(tr("既定"));
    m_pKeyFrames = new QSpinBox(this);
    m_pKeyFrames->setObjectName(QStringLiteral("KeyFrames"));
    m_pKeyFrames->setRange(0, kMaxKeyFrameInterval);
    m_pKeyFrames->setSpecialValueText(tr("既定"));
    m_pKeyFrames->setSuffix(tr(" フレーム"));
    m_pDataRate = new QSpinBox(this);
    m_pDataRate->setObjectName(QStringLiteral("DataRate"));
    m_pDataRate->setRange(0, kMaxDataRate);
    m_pDataRate->setSpecialValueText(tr("指定なし"));
    m_pDataRate->setSuffix(tr(" KB/秒"));
    m_pOptions = new QLineEdit(this);
    m_pOptions->setObjectName(QStringLiteral("EncoderOptions"));
    m_pOptions->setPlaceholderText(QStringLiteral("key=value:key=value"));

    auto* values = new QFormLayout;
    values->addRow(tr("圧縮の品質 (0-10000):"), m_pQuality);
    values->addRow(tr("キー フレーム間隔:"), m_pKeyFrames);
    values->addRow(tr("データ レート:"), m_pDataRate);
    values->addRow(tr("エンコーダ オプション:"), m_pOptions);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CCompressorChooseDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCompressorChooseDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("圧縮プログラム:"), this));
    layout->addWidget(m_pList, 1);
    layout->addLayout(values);
    layout->addWidget(buttons);
    resize(620, 460);

    m_pQuality->setValue(vars.quality);
    m_pKeyFrames->setValue(vars.keyFrameEvery);
    m_pDataRate->setValue(vars.dataRate);
    m_pOptions->setText(QString::fromStdString(vars.state));
    m_strStartCode = CodeOf(vars.fccHandler);
    m_strShownCode = m_strStartCode;
    connect(m_pList, &QTreeWidget::currentItemChanged, this,
            &CCompressorChooseDlg::OnSelectionChanged);
    if (!SelectCode(m_strStartCode)) {
        SelectCode(QStringLiteral("DIB "));
    }
    OnSelectionChanged();
    m_pList->setFocus();
}

bool CCompressorChooseDlg::SelectCode(const QString& codeText) {
    if (codeText.isEmpty()) {
        return false;
    }
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_pList->topLevelItem(i);
        if (item->text(kCode).compare(codeText, Qt::CaseInsensitive) == 0) {
            m_pList->setCurrentItem(item);
            m_pList->scrollToItem(item);
            return true;
        }
    }
    return false;
}

QString CCompressorChooseDlg::SelectedCode() const {
    const QTreeWidgetItem* item = m_pList->currentItem();
    return item != nullptr ? item->text(kCode) : QString();
}

void CCompressorChooseDlg::OnSelectionChanged() {
    const QString code = SelectedCode();
    // An options line belongs to one encoder: another one starts without it, and going back
    // to the first brings its line back.
    if (code != m_strShownCode) {
        m_pOptions->setText(code == m_strStartCode ? QString::fromStdString(m_vars.state)
                                                   : QString());
        m_strShownCode = code;
    }
    // Raw pictures have nothing to tune.
    const bool compressed = !code.isEmpty() && !kivra::IsUncompressedCode(code.toStdString());
    for (QWidget* w : {static_cast<QWidget*>(m_pQuality), static_cast<QWidget*>(m_pKeyFrames),
                       static_cast<QWidget*>(m_pDataRate), static_cast<QWidget*>(m_pOptions)}) {
        w->setEnabled(compressed);
    }
}

void CCompressorChooseDlg::accept() {
    const QTreeWidgetItem* item = m_pList->currentItem();
    if (item == nullptr) {
        return;  // nothing chosen yet: the dialog stays
    }
    const std::string code = item->text(kCode).toStdString();
    for (const kivra::CompressorInfo& info : kivra::InstalledCompressors()) {
        if (info.codeText == code) {
            m_vars.fccHandler = info.code;
            break;
        }
    }
    m_vars.quality = m_pQuality->value();
    m_vars.keyFrameEvery = m_pKeyFrames->value();
    m_vars.dataRate = m_pDataRate->value();
    m_vars.state = m_pOptions->text().trimmed().toStdString();
    QDialog::accept();
}

namespace kivra {

bool ICCompressorChoose(QWidget* owner, CompressorVars& vars) {
    CCompressorChooseDlg dialog(vars, owner);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace kivra
