#pragma once
// The main window's bars and the View menu: the status bar's panes, the three toolbars, the
// mosaic-shape bar and the slider bar, the View menu's commands, bar toggles and navigator, the
// codec list and text information windows, and the bar layout kept in the settings file under
// "ToolBarStatus". Owned by the main window as a child object; the bars and windows are the
// window's children.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "frame/command_context.h"
#include "platform/ui_language.h"
#include "settings/inifile_manager.h"

class CCodecListDialog;
class CHelpDlg;
class CMosaicSizeDlgBar;
class CPlaybackController;
class CSliderDlgBar;
class CTextStreamDialog;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QToolBar;
class ZebsCOOIconToolBar;

namespace kivra {

class FramePositionPane;
class MenuCommandTable;

class ToolBars : public QObject {
    Q_OBJECT

public:
    // What the bars show and run beyond the context.
    struct Window {
        QMainWindow& main;
        MenuCommandTable& commands;  // the buttons run the table's actions
        CPlaybackController& playback;
        std::function<void(int)> mosaicChosen;
        std::function<bool()> markerIdShown;
        std::function<int()> timelineHeight;  // the navigator stands beside the picture
        UiLanguage language;
    };
    // The settings the bars show and change beyond the context's: the slider bar's speed, the
    // View menu's direct reading and language, and the file the bar layout is kept in.
    struct Settings {
        SliderSettings& slider;
        ProgramSettings& program;
        std::string iniPath;
        std::function<bool()> saveLanguage;  // keeps program.language at once
    };

    // Makes the status bar's panes and the slider bar, which the other bars' row comes before.
    ToolBars(const CommandContext& context, Window window, Settings settings);

    // The bars docked, the View menu's entries, the codec list and text windows.
    void Create(QMenu* view);
    // The pressed states of the mode, marker ID and play buttons.
    void UpdateStates();
    void SyncMosaicBar();
    // The playback's marks: the play button's state and the rate pane's text.
    void SetPlayButton(bool playing);
    void SetRateText(const QString& text);
    void OnViewNavigator();
    void RefreshNavigatorCaption();
    void HideTextInformation();
    void SaveState();
    void LoadState();
    // After an old layout: the movie bar back at the full width of its buttons.
    void RefitMovieBar();
    // The trackbar, frame pane, mosaic bar and navigator show the active video anew.
    void FollowActive();
    // The active video's session changed: the mosaic bar and navigator follow, and a video that
    // came gets the trackbar and then the First command, one that went the empty panes.
    void ActiveSessionChanged(unsigned changes);
    // The playback's rate and the frame pane, also once the video closed.
    void UpdateRateStatus();

    ZebsCOOIconToolBar* MovieBar() const { return m_pMovieBar; }
    ZebsCOOIconToolBar* TrimmingBar() const { return m_pTrimmingBar; }
    ZebsCOOIconToolBar* MarkerBar() const { return m_pMarkerBar; }
    QToolBar* MosaicToolBar() const { return m_pMosaicToolBar; }
    CSliderDlgBar* SliderBar() const { return m_pSliderBar; }
    QLabel* RatePane() const { return m_pRatePane; }
    FramePositionPane* FramePane() const { return m_pFramePane; }
    QToolBar* SliderToolBar() const { return m_pSliderToolBar; }

private:
    void AddViewCommands(QMenu* view);

    CommandContext m_context;
    Window m_window;
    Settings m_settings;
    ZebsCOOIconToolBar* m_pMovieBar = nullptr;  // children of the window
    ZebsCOOIconToolBar* m_pTrimmingBar = nullptr;
    ZebsCOOIconToolBar* m_pMarkerBar = nullptr;
    CMosaicSizeDlgBar* m_pMosaicBar = nullptr;
    QToolBar* m_pMosaicToolBar = nullptr;
    CSliderDlgBar* m_pSliderBar = nullptr;
    QLabel* m_pRatePane = nullptr;  // children of the status bar
    FramePositionPane* m_pFramePane = nullptr;
    QToolBar* m_pSliderToolBar = nullptr;  // the docked bar holding it
    QAction* m_pStatusBarToggle = nullptr;
    CCodecListDialog* m_pCodecList = nullptr;
    CTextStreamDialog* m_pTextInfo = nullptr;
    QPointer<CHelpDlg> m_pNavigator;  // deletes itself when closed
};

}  // namespace kivra
