#include "frame/progress_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <limits>

CProgressDlg::CProgressDlg(QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_pOwner(owner) {
    setObjectName(QStringLiteral("CProgressDlg"));
    setWindowTitle(tr("変換状況..."));
    setModal(false);

    m_wndProgress = new QProgressBar(this);
    m_wndProgress->setObjectName(QStringLiteral("Progress1"));
    m_wndProgress->setTextVisible(false);  // the label beside it carries the figure
    m_wndProgress->setMinimumWidth(240);
    m_pPercentLabel = new QLabel(QStringLiteral(" 0 %"), this);
    m_pPercentLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pPercentLabel->setMinimumWidth(
        m_pPercentLabel->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8);

    m_pCaptionLabel = new QLabel(this);
    m_pCaptionLabel->setObjectName(QStringLiteral("CaptionLabel"));
    m_pCaptionLabel->hide();  // shown with the first caption
    m_pRemainingLabel = new QLabel(this);
    m_pRemainingLabel->setObjectName(QStringLiteral("RemainingLabel"));
    m_pRemainingLabel->hide();  // only for jobs that can tell

    m_pCancelButton = new QPushButton(tr("キャンセル"), this);
    m_pCancelButton->setObjectName(QStringLiteral("CancelButton"));
    m_pCancelButton->setAutoDefault(false);
    m_pCancelButton->hide();  // only for jobs that can stop halfway
    connect(m_pCancelButton, &QPushButton::clicked, this, &CProgressDlg::RequestCancel);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_wndProgress, 1);
    bar->addWidget(m_pPercentLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pRemainingLabel);
    buttons->addStretch(1);
    buttons->addWidget(m_pCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pCaptionLabel);
    layout->addLayout(bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CProgressDlg::~CProgressDlg() {
    if (m_bCreated || m_bOwnerDisabled) {
        DestroyWindow();
    }
}

QWidget* CProgressDlg::SafeOwner() {
    for (QWidget* const w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(w) != nullptr && w->isVisible()) {
            return w;
        }
    }
    return QApplication::activeWindow();
}

bool CProgressDlg::CreateModeless() {
    if (m_bCreated) {
        return false;
    }
    if (m_pOwner == nullptr) {
        m_pOwner = SafeOwner();
    }
    if (m_pOwner != nullptr && m_pOwner->isEnabled()) {
        m_pOwner->setEnabled(false);
        m_bOwnerDisabled = 1;
    }

    winId();  // makes the native window now, so that a failure is seen here
    if (windowHandle() == nullptr) {
        if (m_bOwnerDisabled && m_pOwner != nullptr) {
            m_pOwner->setEnabled(true);
        }
        m_bOwnerDisabled = 0;
        return false;
    }

    m_wndProgress->setRange(m_nLower, m_nUpper);
    m_wndProgress->setValue(m_nLower);

    adjustSize();
    if (m_pOwner != nullptr) {
        QWidget* const ownerWindow = m_pOwner->window();
        if (ownerWindow->windowHandle() != nullptr) {
            windowHandle()->setTransientParent(ownerWindow->windowHandle());
        }
        if (ownerWindow->isVisible()) {
            move(ownerWindow->frameGeometry().center() - rect().center());
        }
    }
    show();
    m_bCreated = true;
    return true;
}

bool CProgressDlg::DestroyWindow() {
    if (m_bOwnerDisabled && m_pOwner != nullptr) {
        m_pOwner->setEnabled(true);
    }
    m_bOwnerDisabled = 0;
    const bool wasCreated = m_bCreated;
    m_bCreated = false;
    hide();
    // The job is over: the keyboard belongs to the main window again, as before the job.
    if (wasCreated && m_pOwner != nullptr && m_pOwner->isVisible()) {
        m_pOwner->activateWindow();
    }
    return wasCreated;
}

void CProgressDlg::SetRange32(int lower, int upper) {
    m_nLower = lower;
    m_nUpper = upper;
    m_wndProgress->setRange(lower, upper);
}

int CProgressDlg::SetPos(int position) {
    const int previous = m_wndProgress->value();
    m_wndProgress->setValue(
        std::clamp(position, m_wndProgress->minimum(), m_wndProgress->maximum()));
    return previous;
}

int CProgressDlg::StepIt() {
    const int previous = m_wndProgress->value();
    const std::int64_t lower = m_wndProgress->minimum();
    const std::int64_t upper = m_wndProgress->maximum();
    std::int64_t next = std::int64_t{previous} + m_nStep;
    if (upper > lower && (next > upper || next < lower)) {
        next = lower + ((next - lower) % (upper - lower) + (upper - lower)) % (upper - lower);
    }
    m_wndProgress->setValue(static_cast<int>(std::clamp(next, lower, upper)));
    return previous;
}

int CProgressDlg::GetPos() const {
    return m_wndProgress->value();
}

void CProgressDlg::SetPercent(int position) {
    // 64-bit so that a long movie cannot overflow; an empty range shows 0 instead of dividing
    // by zero.
    const std::int64_t span = std::int64_t{m_nUpper} - m_nLower;
    const std::int64_t wide = span == 0 ? 0 : (std::int64_t{position} - m_nLower) * 100 / span;
    const int percent = static_cast<int>(std::clamp<std::int64_t>(
        wide, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    // The figure wraps like the bar does when a job runs past its range; 100 stays 100.
    const QString text = QString::number(percent == 100 ? 100 : percent % 100) + QLatin1Char('%');
    if (m_pPercentLabel->text() != text) {
        m_pPercentLabel->setText(text);
    }
}

void CProgressDlg::HidePercentLabel() {
    m_pPercentLabel->hide();
}

void CProgressDlg::SetCaption(const QString& caption) {
    setWindowTitle(caption);
    m_pCaptionLabel->setText(caption);
    m_pCaptionLabel->setVisible(!caption.isEmpty());
    // The window manager's title bar also holds an icon and buttons, and often a larger font.
    constexpr int kDecoration = 140;
    const int wanted =
        fontMetrics().horizontalAdvance(caption) * 5 / 4 + kDecoration - m_pPercentLabel->width();
    if (wanted > m_wndProgress->minimumWidth()) {
        m_wndProgress->setMinimumWidth(wanted);
    }
}

void CProgressDlg::SetRemainingTime(int seconds) {
    if (seconds < 0) {
        m_pRemainingLabel->clear();
        return;
    }
    const int hours = seconds / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg(seconds / 60 % 60, hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    const QString time =
        hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesSeconds : minutesSeconds;
    m_pRemainingLabel->setText(tr("残り時間 約 %1").arg(time));
    m_pRemainingLabel->show();
}

void CProgressDlg::OfferCancel() {
    m_bCancelOffered = true;
    m_pCancelButton->setEnabled(!m_bCancelRequested);
    m_pCancelButton->show();
}

void CProgressDlg::RequestCancel() {
    if (!m_bCancelOffered) {
        return;
    }
    if (m_bCancelRequested) {
        return;
    }
    m_bCancelRequested = true;
    m_pCancelButton->setEnabled(false);  // taken; the job stops at its next check
    emit cancelRequested();
}

void CProgressDlg::reject() {
    RequestCancel();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (m_bCreated) {
        event->ignore();
        RequestCancel();
    } else {
        QDialog::closeEvent(event);
    }
}

namespace kivra {

ProgressDlgSink::ProgressDlgSink(QWidget* owner) : m_pOwner(owner) {}

ProgressDlgSink::~ProgressDlgSink() {
    End();
}

void ProgressDlgSink::Begin(int lower, int upper, const std::string& caption, PercentLabel label) {
    End();
    auto dialog = std::make_unique<CProgressDlg>(m_pOwner);
    dialog->m_nLower = lower;
    dialog->m_nUpper = upper;
    // Shown with the bar already at lower .. upper, position lower.
    if (!dialog->CreateModeless()) {
        return;  // the job runs on without a dialog
    }
    dialog->SetPercent(lower);
    if (label == PercentLabel::Hidden) {
        dialog->HidePercentLabel();
    }
    dialog->SetCaption(QString::fromStdString(caption));
    if (m_onCancel) {
        QObject::connect(dialog.get(), &CProgressDlg::cancelRequested, dialog.get(),
                         [this] { m_onCancel(); });
    }
    m_pDlg = std::move(dialog);
}

void ProgressDlgSink::SetCaption(const std::string& caption) {
    if (m_pDlg != nullptr) {
        m_pDlg->SetCaption(QString::fromStdString(caption));
    }
}

void ProgressDlgSink::SetPosition(int position) {
    if (m_pDlg != nullptr) {
        m_pDlg->SetPos(position);
        m_pDlg->SetPercent(position);
    }
}

void ProgressDlgSink::OfferCancel() {
    if (m_pDlg != nullptr) {
        m_pDlg->OfferCancel();
    }
}

void ProgressDlgSink::SetRemainingTime(int seconds) {
    if (m_pDlg != nullptr) {
        m_pDlg->SetRemainingTime(seconds);
    }
}

bool ProgressDlgSink::CancelRequested() const {
    return m_pDlg != nullptr && m_pDlg->CancelRequested();
}

void ProgressDlgSink::End() {
    if (m_pDlg != nullptr) {
        m_pDlg->DestroyWindow();
        m_pDlg.reset();
    }
}

}  // namespace kivra
