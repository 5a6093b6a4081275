#include "markers/set_marker_id_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/inifile_manager.h"

namespace {

constexpr int kIncrementMode = static_cast<int>(kivra::MarkerIdMode::kIncrement);
constexpr int kSkipMode = static_cast<int>(kivra::MarkerIdMode::kSkip);

// A spin box whose text cannot be typed into; arrows, keys and the wheel still step it.
class SteppedOnlySpinBox : public QSpinBox {
public:
    explicit SteppedOnlySpinBox(QWidget* parent) : QSpinBox(parent) {
        lineEdit()->setReadOnly(true);
    }
};

}  // namespace

CSetMarkerIDDlg::CSetMarkerIDDlg(kivra::EditSession& session, kivra::MarkerIdSettings& settings,
                                 QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_session(session),
      m_settings(settings) {
    setObjectName(QStringLiteral("CSetMarkerIDDlg"));
    setWindowTitle(tr("ID 指定"));
    setModal(false);
    BuildControls();
    InitDialog();
    m_session.AddObserver(this);
}

CSetMarkerIDDlg::~CSetMarkerIDDlg() {
    m_session.RemoveObserver(this);
}

void CSetMarkerIDDlg::BuildControls() {
    // Created in tab order: ID, the mode radios, the skip count.
    auto* const topNote = new QLabel(tr("※ 画面をクリックしてIDを指定します"), this);

    auto* const idLabel = new QLabel(QStringLiteral("ID:"), this);
    m_pIdSpin = new SteppedOnlySpinBox(this);
    m_pIdSpin->setObjectName(QStringLiteral("IdSpin"));
    m_pIdSpin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pIdSpin->setMinimumWidth(m_pIdSpin->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                               40);
    idLabel->setBuddy(m_pIdSpin);

    auto* const group = new QGroupBox(tr("クリック時の動作"), this);
    m_pIncrementRadio = new QRadioButton(tr("IDを増加する"), group);
    m_pIncrementRadio->setObjectName(QStringLiteral("IncrementRadio"));
    m_pSkipRadio = new QRadioButton(tr("フレームをスキップする*"), group);
    m_pSkipRadio->setObjectName(QStringLiteral("SkipRadio"));
    m_pModeGroup = new QButtonGroup(this);
    m_pModeGroup->addButton(m_pIncrementRadio, kIncrementMode);
    m_pModeGroup->addButton(m_pSkipRadio, kSkipMode);

    auto* const skipLabel = new QLabel(tr("スキップ："), group);
    m_pSkipEdit = new QLineEdit(group);
    m_pSkipEdit->setObjectName(QStringLiteral("SkipEdit"));
    m_pSkipEdit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pSkipEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_pSkipEdit));
    // Stands in for the range message, which would interrupt every keystroke.
    m_pSkipEdit->setToolTip(tr("1 から 100 の整数を入力してください。"));
    m_pSkipEdit->setFixedWidth(
        m_pSkipEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    auto* const framesLabel = new QLabel(tr("フレーム"), group);
    skipLabel->setBuddy(m_pSkipEdit);

    m_pFillNote = new QLabel(this);
    m_pFillNote->setObjectName(QStringLiteral("FillNote"));

    auto* const idRow = new QHBoxLayout;
    idRow->addWidget(idLabel);
    idRow->addWidget(m_pIdSpin);
    idRow->addStretch(1);

    auto* const skipRow = new QHBoxLayout;
    skipRow->addSpacing(m_pSkipRadio->iconSize().width() + 4);  // under the radio's text
    skipRow->addWidget(skipLabel);
    skipRow->addWidget(m_pSkipEdit);
    skipRow->addWidget(framesLabel);
    skipRow->addStretch(1);

    auto* const groupLayout = new QVBoxLayout(group);
    groupLayout->setSpacing(4);
    groupLayout->addWidget(m_pIncrementRadio);
    groupLayout->addWidget(m_pSkipRadio);
    groupLayout->addLayout(skipRow);
    m_pTrackFillCheck = new QCheckBox(tr("スキップしたフレームは追跡で補間する"), group);
    m_pTrackFillCheck->setObjectName(QStringLiteral("TrackFill"));
    auto* const trackRow = new QHBoxLayout;
    trackRow->addSpacing(m_pSkipRadio->iconSize().width() + 4);
    trackRow->addWidget(m_pTrackFillCheck);
    groupLayout->addLayout(trackRow);
    connect(m_pTrackFillCheck, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.skipFillByTracking = on;
        UpdateFillNote();
    });

    auto* const layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    layout->addWidget(topNote);
    layout->addLayout(idRow);
    layout->addWidget(group);
    layout->addWidget(m_pFillNote);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_pModeGroup, &QButtonGroup::idClicked, this, &CSetMarkerIDDlg::OnModeClicked);
    connect(m_pIdSpin, &QSpinBox::valueChanged, this,
            [this](int id) { m_session.SetMarkerId(id); });
    // Only the user's edits are checked; the program's own resets must not come back here.
    connect(m_pSkipEdit, &QLineEdit::textEdited, this, [this] { ExchangeSkipCount(); });
    // Any count in range is the one the next click skips by, however the field got it.
    connect(m_pSkipEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok && value >= kMinSkip && value <= kMaxSkip) {
            m_settings.skipFrames = value;
        }
    });
}

void CSetMarkerIDDlg::InitDialog() {
    // A hand-edited count outside 1 .. 100 would stop or reverse the skip, and the field
    // could never be restored to a valid value from it.
    const int skip = std::clamp(m_settings.skipFrames, kMinSkip, kMaxSkip);
    m_settings.skipFrames = skip;
    m_pSkipEdit->setText(QString::number(skip));

    m_pIdSpin->setRange(1, MaxId());
    m_pIdSpin->setValue(m_session.MarkerId());

    const bool skipMode = m_settings.Skipping();
    (skipMode ? m_pSkipRadio : m_pIncrementRadio)->setChecked(true);
    m_pSkipEdit->setEnabled(skipMode);
    m_pTrackFillCheck->setChecked(m_settings.skipFillByTracking);
    m_pTrackFillCheck->setEnabled(skipMode);
    UpdateFillNote();
}

void CSetMarkerIDDlg::UpdateFillNote() {
    m_pFillNote->setText(m_pTrackFillCheck->isChecked()
                             ? tr("* スキップしたフレームは追跡で補間します")
                             : tr("* スキップしたフレームは直線補間します"));
}

int CSetMarkerIDDlg::MaxId() const {
    return m_session.MaxMarkerId();
}

void CSetMarkerIDDlg::SetCurrentId(int id) {
    m_session.SetMarkerId(id);
}

int CSetMarkerIDDlg::CurrentId() const {
    return m_session.MarkerId();
}

void CSetMarkerIDDlg::AdvanceId() {
    m_session.AdvanceMarkerId();
}

void CSetMarkerIDDlg::SessionChanged(unsigned changes) {
    if ((changes & kivra::kChangeMarkerId) != 0) {
        m_pIdSpin->setValue(m_session.MarkerId());
    }
}

int CSetMarkerIDDlg::ReadBack() {
    ExchangeSkipCount();
    return CurrentId();
}

void CSetMarkerIDDlg::reject() {
    QDialog::reject();  // hides
    if (m_onClosed) {
        m_onClosed();
    }
}

void CSetMarkerIDDlg::OnModeClicked(int mode) {
    m_settings.mode = static_cast<kivra::MarkerIdMode>(mode);
    m_pSkipEdit->setEnabled(mode == kSkipMode);
    m_pTrackFillCheck->setEnabled(mode == kSkipMode);
}

bool CSetMarkerIDDlg::ExchangeSkipCount() {
    bool ok = false;
    const int value = m_pSkipEdit->text().toInt(&ok);
    if (ok && value >= kMinSkip && value <= kMaxSkip) {
        m_settings.skipFrames = value;
        return true;
    }
    // Restored silently (a message box per keystroke would fight the typing); the selection
    // lets the next digit replace the restored value.
    QApplication::beep();
    m_pSkipEdit->setText(QString::number(m_settings.skipFrames));
    m_pSkipEdit->selectAll();
    return false;
}
