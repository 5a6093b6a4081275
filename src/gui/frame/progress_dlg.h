#pragma once
// The modeless progress dialog "変換状況..." of one long job. While it exists the owner window
// (the main window) stays disabled, so that it keeps painting without letting a command start.
// Owned by whoever shows the job, for that job only.
#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "platform/progress_sink.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CProgressDlg : public QDialog {
    Q_OBJECT

public:
    // `owner` null: the program's main window (see SafeOwner). The dialog is a window of its
    // own, kept above the owner, so it never goes down with it nor shares its disabled state.
    explicit CProgressDlg(QWidget* owner = nullptr);
    ~CProgressDlg() override;  // DestroyWindow when still shown

    // The top-level main window of the application, else the active window; may be null.
    static QWidget* SafeOwner();

    // Disables the owner when it exists and is enabled, then shows the dialog with the bar at
    // m_nLower .. m_nUpper, position m_nLower. False (owner enabled again) when no window can
    // be made or the dialog already exists.
    bool CreateModeless();
    // Enables the owner again if CreateModeless disabled it, and hides the dialog.
    bool DestroyWindow();

    // Range of the bar and of the percent figure.
    void SetRange32(int lower, int upper);
    // Both return the previous position. SetPos clamps to the range; StepIt adds m_nStep and
    // starts over from the lower end when it runs past the upper one.
    int SetPos(int position);
    int StepIt();
    int GetPos() const;

    // "30%" for position 3 of 0 .. 10; the label is touched only when its text changes.
    void SetPercent(int position);
    void HidePercentLabel();

    // The job's caption, as the window's title and above the bar. The dialog widens (never
    // narrows) so that the whole title fits.
    void SetCaption(const QString& caption);
    // "残り時間 約 1:05" under the bar; negative seconds: no estimate (the line stays empty).
    void SetRemainingTime(int seconds);

    // Shows the "キャンセル" button; pressing it, Escape or the close button then ask the job
    // to stop. Without the offer the job cannot be stopped.
    void OfferCancel();
    bool CancelRequested() const { return m_bCancelRequested; }

    QProgressBar* ProgressBar() const { return m_wndProgress; }
    QLabel* PercentLabel() const { return m_pPercentLabel; }
    QLabel* CaptionLabel() const { return m_pCaptionLabel; }
    QLabel* RemainingLabel() const { return m_pRemainingLabel; }
    QPushButton* CancelButton() const { return m_pCancelButton; }

    QProgressBar* m_wndProgress = nullptr;  // child widget
    QPointer<QWidget> m_pOwner;             // not owned
    int m_bOwnerDisabled = 0;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nStep = 1;

signals:
    // The user asked the job to stop (once per dialog).
    void cancelRequested();

public slots:
    // Escape: a stop request when the job offered one, else nothing.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RequestCancel();

    QLabel* m_pPercentLabel = nullptr;
    QLabel* m_pCaptionLabel = nullptr;
    QLabel* m_pRemainingLabel = nullptr;
    QPushButton* m_pCancelButton = nullptr;
    bool m_bCreated = false;
    bool m_bCancelOffered = false;
    bool m_bCancelRequested = false;
};

namespace kivra {

// The core's progress reports shown in a CProgressDlg over `owner` (null: the main window);
// one dialog per Begin .. End, owned here.
class ProgressDlgSink final : public ProgressSink {
public:
    explicit ProgressDlgSink(QWidget* owner = nullptr);
    ~ProgressDlgSink() override;

    void Begin(int lower, int upper, const std::string& caption, PercentLabel label) override;
    void SetCaption(const std::string& caption) override;
    void SetPosition(int position) override;
    void End() override;
    void OfferCancel() override;
    bool CancelRequested() const override;
    void SetRemainingTime(int seconds) override;

    // Called on the dialog's Cancel, for a job that cannot ask CancelRequested itself.
    void SetCancelHandler(std::function<void()> handler) { m_onCancel = std::move(handler); }

    // The dialog of the running job; null between jobs.
    CProgressDlg* Dialog() const { return m_pDlg.get(); }

private:
    QPointer<QWidget> m_pOwner;
    std::unique_ptr<CProgressDlg> m_pDlg;
    std::function<void()> m_onCancel;
};

}  // namespace kivra
