#pragma once
// The modeless tool window "ID 指定": shows and sets the ID the next click on the preview
// places (the open video's, kept by its editing session) and what a click does afterwards
// (raise the ID or skip frames); the mode and skip count live in the marker ID settings. Owned by
// the main frame (a child of it) for the life of the main window.
#include <QDialog>
#include <functional>

#include "session/edit_session.h"
#include "settings/inifile_manager.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CSetMarkerIDDlg : public QDialog, public kivra::SessionObserver {
    Q_OBJECT

public:
    static constexpr int kMinSkip = 1;
    static constexpr int kMaxSkip = 100;

    // Builds the controls and initialises them from the session's ID (range 1 .. MaxID) and
    // `settings` (skip count, mode); starts hidden. Both must outlive the dialog.
    CSetMarkerIDDlg(kivra::EditSession& session, kivra::MarkerIdSettings& settings,
                    QWidget* parent = nullptr);
    ~CSetMarkerIDDlg() override;

    // Sets the session's ID to `id`; an id above MaxID or below 1 becomes 1.
    void SetCurrentId(int id);
    int CurrentId() const;
    // The ID after `CurrentId()`, back to 1 after MaxID; safe at the top of the int range.
    void AdvanceId();
    // The data exchange done before each click: an invalid skip field is restored from
    // SkipFrameNum, a valid one is stored there. Returns the current ID.
    int ReadBack();

    // kivra::SessionObserver: the spin box follows the session's ID.
    void SessionChanged(unsigned changes) override;

    // Called after the close box (or Escape) has hidden the dialog.
    void SetClosedCallback(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }

    // The upper end of the ID range: MaxID, but never below 1.
    int MaxId() const;

    QSpinBox* IdSpin() const { return m_pIdSpin; }
    QRadioButton* IncrementRadio() const { return m_pIncrementRadio; }
    QRadioButton* SkipRadio() const { return m_pSkipRadio; }
    QLineEdit* SkipEdit() const { return m_pSkipEdit; }
    QCheckBox* TrackFillCheck() const { return m_pTrackFillCheck; }
    QLabel* FillNote() const { return m_pFillNote; }

public slots:
    void reject() override;

private:
    void BuildControls();
    void InitDialog();
    void OnModeClicked(int mode);
    // True and SkipFrameNum updated when the skip field holds 1 .. 100; otherwise the field
    // shows SkipFrameNum again.
    bool ExchangeSkipCount();
    // The bottom note names how skipped frames are filled: tracking or a straight line.
    void UpdateFillNote();

    kivra::EditSession& m_session;
    kivra::MarkerIdSettings& m_settings;
    std::function<void()> m_onClosed;
    QSpinBox* m_pIdSpin = nullptr;  // child widgets
    QButtonGroup* m_pModeGroup = nullptr;
    QRadioButton* m_pIncrementRadio = nullptr;
    QRadioButton* m_pSkipRadio = nullptr;
    QLineEdit* m_pSkipEdit = nullptr;
    QCheckBox* m_pTrackFillCheck = nullptr;  // skipped frames filled by following the point
    QLabel* m_pFillNote = nullptr;
};
