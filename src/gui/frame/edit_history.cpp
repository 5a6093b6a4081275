#include "frame/edit_history.h"

#include <QCoreApplication>
#include <QUndoCommand>
#include <algorithm>
#include <utility>

namespace {

constexpr int kUndoSteps = 1000;

QString EditText(kivra::EditKind kind) {
    switch (kind) {
        case kivra::EditKind::kPlaceMarker:
            return QCoreApplication::translate("CEditHistory", "マーカの配置");
        case kivra::EditKind::kMoveMarker:
            return QCoreApplication::translate("CEditHistory", "マーカの移動");
        case kivra::EditKind::kDeleteMarker:
            return QCoreApplication::translate("CEditHistory", "マーカの削除");
        case kivra::EditKind::kDeleteFrameMarkers:
            return QCoreApplication::translate("CEditHistory", "表示フレームのマーカ削除");
        case kivra::EditKind::kDeleteIdMarkers:
            return QCoreApplication::translate("CEditHistory", "全フレームのマーカ削除");
        case kivra::EditKind::kDeleteAllMarkers:
            return QCoreApplication::translate("CEditHistory", "全マーカの削除");
        case kivra::EditKind::kTrackMarkers:
            return QCoreApplication::translate("CEditHistory", "マーカの追跡");
        case kivra::EditKind::kSetArea:
            return QCoreApplication::translate("CEditHistory", "エリア指定");
        case kivra::EditKind::kClearAreas:
            return QCoreApplication::translate("CEditHistory", "エリアクリア");
        case kivra::EditKind::kMosaicType:
            return QCoreApplication::translate("CEditHistory", "モザイク領域の形");
    }
    return {};
}

// One step: the session already made the edit when it is pushed, so the first redo does nothing.
class SessionEditCommand : public QUndoCommand {
public:
    SessionEditCommand(kivra::EditSession& session, kivra::SessionEdit edit)
        : QUndoCommand(EditText(edit.kind)), m_session(session), m_edit(std::move(edit)) {}

    // Areas and the mosaic type never make the markers "modified": the document compares the
    // trimming state with the saved one by value, which holds at every step as well.
    bool TouchesMarkers() const { return m_edit.before.markers.has_value(); }

    void undo() override { m_session.ApplyAnnotationState(m_edit.before); }
    void redo() override {
        if (m_bDone) {
            m_session.ApplyAnnotationState(m_edit.after);
        }
        m_bDone = true;
    }

private:
    kivra::EditSession& m_session;
    kivra::SessionEdit m_edit;
    bool m_bDone = false;
};

}  // namespace

CEditHistory::CEditHistory(kivra::EditSession& session, QObject* parent)
    : QObject(parent), m_session(session) {
    // Each step keeps the frame list twice; a bound keeps a day of clicking within memory.
    m_stack.setUndoLimit(kUndoSteps);
    m_session.AddObserver(this);
    m_session.SetEditListener([this](kivra::SessionEdit edit) {
        m_stack.push(new SessionEditCommand(m_session, std::move(edit)));
    });
    connect(&m_stack, &QUndoStack::indexChanged, this, &CEditHistory::FollowModifiedFlag);
}

CEditHistory::~CEditHistory() {
    m_session.SetEditListener({});
    m_session.RemoveObserver(this);
}

void CEditHistory::SessionChanged(unsigned changes) {
    if ((changes & kivra::kChangeVideo) != 0) {
        m_stack.clear();
    }
}

void CEditHistory::FollowModifiedFlag() {
    VideoAnnotations* annotations = m_session.Annotations();
    if (annotations == nullptr) {
        return;
    }
    // The markers match the file when no marker edit lies between the saved step and this one;
    // a saved step the history no longer reaches leaves them modified.
    const int clean = m_stack.cleanIndex();
    bool modified = clean < 0;
    const int from = std::min(clean, m_stack.index());
    const int to = std::max(clean, m_stack.index());
    for (int i = std::max(from, 0); i < to && !modified; ++i) {
        const auto* step = dynamic_cast<const SessionEditCommand*>(m_stack.command(i));
        modified = step != nullptr && step->TouchesMarkers();
    }
    annotations->m_markers.SetModified(modified);
}
