#include "frame/pane_set.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "frame/frame_position_pane.h"
#include "frame/pane_link.h"
#include "frame/pane_tools.h"
#include "frame/video_pane.h"
#include "view/vfw_view.h"
#include "workspace/workspace.h"

namespace kivra {
namespace {

constexpr int kActiveBorder = 3;

// The coloured frame around a pane of the two-pane layout, with the pane's own frame and time
// under it (the status bar's follows the active pane only); the pane fills all but its border.
QWidget* PaneHolder(const VideoPane& pane) {
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("PaneHolder"));
    holder->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(kActiveBorder, kActiveBorder, kActiveBorder, kActiveBorder);
    layout->setSpacing(kActiveBorder);
    layout->addWidget(pane.Widget(), 1);
    auto* position = new FramePositionPane(holder);
    position->setObjectName(QStringLiteral("PanePosition"));
    position->setAlignment(Qt::AlignCenter);
    const FrameCursor& cursor = pane.Video().Cursor();
    position->Refresh(cursor.Stream(), cursor.Current());
    position->FollowFrames(cursor);  // goes with the holder, before either video does
    layout->addWidget(position);
    return holder;
}

}  // namespace

PaneSet::PaneSet(QMainWindow& window, FrameViewHost& host, CPlaybackController& playback,
                 PaneTools& tools, PaneLink& link, Callbacks callbacks)
    : m_window(window),
      m_host(host),
      m_playback(playback),
      m_tools(tools),
      m_link(link),
      m_callbacks(std::move(callbacks)) {}

PaneSet::~PaneSet() = default;

VideoPane* PaneSet::Pane(int index) const {
    return index == 0 || index == 1 ? m_panes[std::size_t(index)].get() : nullptr;
}

VideoPane& PaneSet::ActivePane() const {
    return *m_panes[std::size_t(m_active)];
}

std::unique_ptr<VideoPane> PaneSet::MakePane(int index, OpenVideo& video, Workspace& actions) {
    auto pane = std::make_unique<VideoPane>(
        video, actions, m_host, m_playback,
        [this, index](unsigned changes) { SessionChanged(index, changes); });
    actions.SetSavedListener(m_callbacks.saved);
    // The window's own filter, installed last, sees the picture's keys first.
    pane->View()->installEventFilter(this);
    pane->View()->installEventFilter(&m_window);
    return pane;
}

void PaneSet::ShowFirst(OpenVideo& video, Workspace& actions) {
    m_panes[0] = MakePane(0, video, actions);
    m_window.setCentralWidget(m_panes[0]->Widget());
}

void PaneSet::Activate(int index) {
    if (Pane(index) == nullptr || index == m_active) {
        return;
    }
    // The linked pair plays through the active pane: a switch stops it.
    m_callbacks.stopPlayback();
    m_active = index;
    MarkActive();
    m_callbacks.follow();
}

void PaneSet::SessionChanged(int index, unsigned changes) {
    if ((changes & kChangeVideo) != 0) {
        m_link.VideoChanged(index);
        if (VideoPane* pane = Pane(index); pane != nullptr) {
            pane->View()->InvalidatePictureCache();
        }
        LabelToolWindows();
    }
    if (index == m_active) {
        m_callbacks.sessionChanged(changes);
    }
}

void PaneSet::MarkActive() {
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        QWidget* holder = m_panes[i] != nullptr && m_pSplitter != nullptr
                              ? m_panes[i]->Widget()->parentWidget()
                              : nullptr;
        if (holder == nullptr) {
            continue;
        }
        QPalette palette = holder->palette();
        palette.setColor(QPalette::Window, int(i) == m_active
                                               ? palette.color(QPalette::Highlight)
                                               : m_window.palette().color(QPalette::Window));
        holder->setPalette(palette);
    }
}

void PaneSet::ShowSecond(OpenVideo& video, Workspace& actions) {
    if (Two()) {
        return;
    }
    m_panes[1] = MakePane(1, video, actions);
    m_tools.Make(1, video, actions);
    for (const auto& pane : m_panes) {
        pane->Slider()->installEventFilter(this);
    }
    m_window.takeCentralWidget();  // the first pane, into its holder below
    m_pSplitter = new QSplitter(Qt::Horizontal);
    m_pSplitter->setObjectName(QStringLiteral("PaneSplitter"));
    m_pSplitter->setChildrenCollapsible(false);
    m_pSplitter->addWidget(PaneHolder(*m_panes[0]));
    m_pSplitter->addWidget(PaneHolder(*m_panes[1]));
    m_window.setCentralWidget(m_pSplitter);
    const int half = std::max(m_window.width() / 2, 1);
    m_pSplitter->setSizes({half, half});
    MarkActive();
    LabelToolWindows();
    m_link.PanesChanged();
}

void PaneSet::RemoveSecond() {
    if (!Two()) {
        return;
    }
    Activate(0);
    m_callbacks.stopPlayback();
    m_link.PanesChanging();
    m_panes[1]->Actions().SetSavedListener({});
    m_panes[0]->Slider()->removeEventFilter(this);
    m_tools.Drop(1, m_panes[1].get());
    QWidget* splitter = m_window.takeCentralWidget();
    m_panes[1].reset();
    m_window.setCentralWidget(m_panes[0]->Widget());  // out of its holder, which goes next
    m_pSplitter = nullptr;
    delete splitter;
    LabelToolWindows();
    m_link.PanesChanged();
}

void PaneSet::LabelToolWindows() {
    for (int i = 0; i < 2; ++i) {
        if (const VideoPane* pane = Pane(i); pane != nullptr) {
            const QString name =
                QFileInfo(QFile::decodeName(pane->Video().Path().c_str())).fileName();
            m_tools.LabelWindows(i, Two() ? name : QString());
        }
    }
}

bool PaneSet::eventFilter(QObject* watched, QEvent* event) {
    // The pane pressed last (or dropped on) is the active one; the event goes on to it.
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (Two() && (press || event->type() == QEvent::Drop)) {
        for (int i = 0; i < 2; ++i) {
            const VideoPane& pane = *m_panes[std::size_t(i)];
            if (watched == pane.View() || (press && watched == pane.Slider())) {
                Activate(i);
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kivra
