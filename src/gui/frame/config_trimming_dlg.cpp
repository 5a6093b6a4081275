#include "frame/config_trimming_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "frame/compressor_choose_dlg.h"
#include "output/codec_option.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "platform/user_messages.h"
#include "ui/picture_drawing.h"

namespace {

constexpr int kPictureSize = 56;

bool IsRefusedCode(const std::string& code) {
    return code == "MSVC" || code == "MPG4" || code == "MP43";
}

}  // namespace

namespace kivra {

QPixmap OrientationPicture(bool upright, int size) {
    return PaintPicture(size, 64, [upright](QPainter& p) {
        const QRectF frame = upright ? QRectF(14, 4, 36, 56) : QRectF(4, 13, 56, 38);
        FillWithEdge(p, RoundedRectPath(frame, 3), QColor(0xd8, 0xea, 0xf8),
                     QColor(0x3a, 0x4a, 0x5c), 2.5);
        // Ground line and a walker standing on it, so the picture reads which way is up.
        const qreal ground = frame.bottom() - frame.height() * 0.14;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x9c, 0xc8, 0x8c));
        p.drawRect(
            QRectF(frame.left() + 1.5, ground, frame.width() - 3, frame.bottom() - ground - 1.5));
        const qreal h = (ground - frame.top()) * 0.78;
        const qreal cx = frame.center().x();
        const qreal hip = ground - h * 0.45;
        const qreal shoulder = ground - h * 0.78;
        const QColor body(0x2c, 0x3e, 0x50);
        p.setBrush(body);
        p.drawEllipse(QPointF(cx + h * 0.03, ground - h * 0.9), h * 0.09, h * 0.09);
        p.setPen(RoundPen(body, h * 0.08));
        p.drawLine(QPointF(cx, shoulder), QPointF(cx, hip));
        p.drawLine(QPointF(cx, hip), QPointF(cx + h * 0.2, ground));
        p.drawLine(QPointF(cx, hip), QPointF(cx - h * 0.18, ground));
        p.drawLine(QPointF(cx, shoulder + h * 0.04), QPointF(cx + h * 0.16, hip - h * 0.02));
        p.drawLine(QPointF(cx, shoulder + h * 0.04), QPointF(cx - h * 0.14, hip));
    });
}

}  // namespace kivra

CConfigTrimming::CConfigTrimming(int sizeType, int direction, ZebsCCodecOption& codec,
                                 kivra::UserMessages& messages, QWidget* parent)
    : QDialog(parent),
      m_nSizeType(sizeType),
      m_nDirection(direction),
      m_codec(codec),
      m_messages(messages) {
    setObjectName(QStringLiteral("CConfigTrimming"));
    setWindowTitle(tr("トリミングの設定"));

    auto* sizeBox = new QGroupBox(tr("出力する動画のサイズ"), this);
    auto* sizeLayout = new QVBoxLayout(sizeBox);
    m_pSizeGroup = new QButtonGroup(this);
    const QString sizeTexts[] = {QStringLiteral("640×480"), QStringLiteral("1024×768 "),
                                 QStringLiteral("1440×1080")};
    const char* const sizeNames[] = {"Size1010", "Size1011", "Size1014"};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(sizeTexts[i], sizeBox);
        button->setObjectName(QLatin1String(sizeNames[i]));
        m_pSizeGroup->addButton(button, i);
        sizeLayout->addWidget(button);
    }
    sizeLayout->addStretch(1);

    auto* directionBox = new QGroupBox(tr("動画の向き"), this);
    auto* directionLayout = new QHBoxLayout(directionBox);
    m_pDirectionGroup = new QButtonGroup(this);
    const QString directionTexts[] = {tr("縦"), tr("横")};
    const char* const directionNames[] = {"Direction1015", "Direction1013"};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(directionTexts[i], directionBox);
        button->setObjectName(QLatin1String(directionNames[i]));
        button->setIcon(kivra::OrientationPicture(i == 0, kPictureSize));
        button->setIconSize(QSize(kPictureSize, kPictureSize));
        m_pDirectionGroup->addButton(button, i);
        directionLayout->addWidget(button);
    }

    m_pCompressorEdit = new QLineEdit(this);
    m_pCompressorEdit->setObjectName(QStringLiteral("CompressorName"));
    m_pCompressorEdit->setReadOnly(true);
    m_pCompressorEdit->setMinimumWidth(200);
    m_pDetailButton = new QPushButton(tr("詳細..."), this);
    m_pDetailButton->setObjectName(QStringLiteral("Detail"));
    m_pDetailButton->setAutoDefault(false);
    connect(m_pDetailButton, &QPushButton::clicked, this, &CConfigTrimming::OnCompressorDetail);
    auto* codecLayout = new QHBoxLayout;
    codecLayout->addWidget(new QLabel(tr("変換コーデック:"), this));
    codecLayout->addWidget(m_pCompressorEdit, 1);
    codecLayout->addWidget(m_pDetailButton);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CConfigTrimming::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CConfigTrimming::reject);

    auto* groups = new QHBoxLayout;
    groups->addWidget(sizeBox);
    groups->addWidget(directionBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addSpacing(6);
    layout->addLayout(codecLayout);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    DoDataExchange(false);
    m_pCompressorEdit->setText(QString::fromStdString(m_codec.GetCompressorName()));
}

QRadioButton* CConfigTrimming::SizeButton(int index) const {
    return qobject_cast<QRadioButton*>(m_pSizeGroup->button(index));
}

QRadioButton* CConfigTrimming::DirectionButton(int index) const {
    return qobject_cast<QRadioButton*>(m_pDirectionGroup->button(index));
}

void CConfigTrimming::DoDataExchange(bool save) {
    if (save) {
        m_nSizeType = m_pSizeGroup->checkedId();
        m_nDirection = m_pDirectionGroup->checkedId();
        return;
    }
    // A value no button stands for selects none; exclusiveness would keep the old one.
    for (QButtonGroup* group : {m_pSizeGroup, m_pDirectionGroup}) {
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons()) {
            button->setChecked(false);
        }
        group->setExclusive(true);
    }
    if (QAbstractButton* size = m_pSizeGroup->button(m_nSizeType)) {
        size->setChecked(true);
    }
    if (QAbstractButton* direction = m_pDirectionGroup->button(m_nDirection)) {
        direction->setChecked(true);
    }
}

void CConfigTrimming::OnCompressorDetail() {
    // The whole choice as it stands, chooser values included, is what a choice not taken gives
    // back: the state file cannot, as the uncompressed choice removes it.
    const kivra::CompressorVars previous = m_codec.m_compVars;
    if (!kivra::ICCompressorChoose(this, m_codec.m_compVars)) {
        m_codec.m_compVars = previous;
        return;
    }
    if (IsRefusedCode(m_codec.CodeText()) ||
        m_codec.TestCompressor(kivra::ChooserTestFormat()) == 0) {
        m_codec.m_compVars = previous;
        m_messages.ShowMessage(kivra::LoadString(kivra::kIdsCodecRefused), kivra::MsgButtons::Ok,
                               kivra::MsgIcon::Warning);
        return;
    }
    m_codec.SaveState();
    m_pCompressorEdit->setText(QString::fromStdString(m_codec.GetCompressorName()));
}

void CConfigTrimming::accept() {
    DoDataExchange(true);
    QDialog::accept();
}
