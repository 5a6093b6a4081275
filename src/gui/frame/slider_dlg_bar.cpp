#include "frame/slider_dlg_bar.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolBar>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "settings/inifile_manager.h"

namespace {

// Kept in this order on purpose: fastest first, not sorted.
const char* const kSpeedItems[] = {"2.0", "1.0", "0.8", "0.5", "0.2", "0.1"};

}  // namespace

CSliderDlgBar::CSliderDlgBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CSliderDlgBar"));
    setWindowTitle(QString::fromStdString(kivra::LoadString(kivra::kIdsSliderBarCaption)));

    m_wndSlider = new QSlider(Qt::Horizontal, this);
    m_wndSlider->setObjectName(QStringLiteral("Slider1"));
    m_wndSlider->setTickPosition(QSlider::TicksBelow);
    m_wndSlider->setRange(0, 0);
    m_wndSlider->setMinimumWidth(320);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* label = new QLabel(tr("再生速度: x"), this);
    m_pSpeedList = new QComboBox(this);
    m_pSpeedList->setObjectName(QStringLiteral("SpeedList"));
    m_pSpeedList->setEditable(false);
    for (const char* const item : kSpeedItems) {
        m_pSpeedList->addItem(QString::fromLatin1(item));
    }
    m_pSpeedList->setCurrentIndex(-1);
    label->setBuddy(m_pSpeedList);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(m_wndSlider, 1);
    layout->addWidget(separator);
    layout->addWidget(label);
    layout->addWidget(m_pSpeedList);

    connect(m_pSpeedList, &QComboBox::activated, this, &CSliderDlgBar::OnSpeedSelected);
    connect(m_wndSlider, &QSlider::valueChanged, this, &CSliderDlgBar::OnTrackbarValueChanged);
}

QToolBar* CSliderDlgBar::WrapInToolBar(QWidget* parent) {
    auto* bar = new QToolBar(windowTitle(), parent);
    bar->setObjectName(QStringLiteral("SliderDlgBar"));  // the key of the saved bar layout
    bar->setAllowedAreas(Qt::TopToolBarArea);
    bar->addWidget(this);
    bar->hide();
    return bar;
}

bool CSliderDlgBar::InitializeBar(kivra::SliderSettings& settings) {
    m_pSettings = &settings;
    const QString text = QString::fromStdString(kivra::FormatOneDecimal(settings.playSpeedRate));
    m_nSpeedIndex = m_pSpeedList->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_pSpeedList->setCurrentIndex(m_nSpeedIndex);
    return true;
}

void CSliderDlgBar::ResetTrackbar(int frameCount) {
    m_bSettingPos = true;
    m_wndSlider->setValue(0);
    m_wndSlider->setRange(0, frameCount);
    m_wndSlider->setTickInterval(frameCount / 20);
    m_wndSlider->setSingleStep(1);
    m_wndSlider->setPageStep(frameCount / 20);
    m_bSettingPos = false;
}

void CSliderDlgBar::SetPos(int frame) {
    m_bSettingPos = true;
    m_wndSlider->setValue(frame);  // QSlider clamps to its range
    m_bSettingPos = false;
}

void CSliderDlgBar::FollowFrames(const kivra::FrameCursor& cursor) {
    m_frameFollow = cursor.Observe([this](int frame) { SetPos(frame); });
}

int CSliderDlgBar::GetPos() const {
    return m_wndSlider->value();
}

void CSliderDlgBar::OnSpeedSelected(int index) {
    m_nSpeedIndex = index;
    if (m_pSettings == nullptr || index < 0 || index >= m_pSpeedList->count()) {
        return;
    }
    m_pSettings->playSpeedRate = kivra::TextToFloat(m_pSpeedList->itemText(index).toStdString());
    // Restarting re-anchors the play clock at the current frame with the new speed.
    if (m_actions.isForwardPlaying && m_actions.isForwardPlaying()) {
        if (m_actions.stop) {
            m_actions.stop();
        }
        if (m_actions.play) {
            m_actions.play();
        }
    }
}

void CSliderDlgBar::OnTrackbarValueChanged(int value) {
    if (!m_bSettingPos && m_actions.frameChosen) {
        m_actions.frameChosen(value);
    }
}
