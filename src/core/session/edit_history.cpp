#include "session/edit_history.h"

#include <algorithm>
#include <utility>

namespace kivra {

EditHistory::EditHistory(EditSession& session, int limit)
    : m_session(session), m_nLimit(std::max(limit, 1)) {
    m_session.AddObserver(this);
    m_session.SetEditListener([this](SessionEdit edit) { Push(std::move(edit)); });
}

EditHistory::~EditHistory() {
    m_session.SetEditListener({});
    m_session.RemoveObserver(this);
}

void EditHistory::Push(SessionEdit edit) {
    // The session already made the edit: a new step drops what was undone.
    m_steps.erase(m_steps.begin() + m_nIndex, m_steps.end());
    if (m_nClean > m_nIndex) {
        m_nClean = -1;
    }
    m_steps.push_back(std::move(edit));
    ++m_nIndex;
    if (Count() > m_nLimit) {
        m_steps.pop_front();
        --m_nIndex;
        m_nClean = m_nClean > 0 ? m_nClean - 1 : -1;
    }
    FollowModifiedFlag();
}

void EditHistory::Undo() {
    if (!CanUndo()) {
        return;
    }
    --m_nIndex;
    m_session.ApplyAnnotationState(m_steps[static_cast<size_t>(m_nIndex)].before);
    FollowModifiedFlag();
}

void EditHistory::Redo() {
    if (!CanRedo()) {
        return;
    }
    m_session.ApplyAnnotationState(m_steps[static_cast<size_t>(m_nIndex)].after);
    ++m_nIndex;
    FollowModifiedFlag();
}

void EditHistory::SessionChanged(unsigned changes) {
    if ((changes & kChangeVideo) != 0) {
        m_steps.clear();
        m_nIndex = 0;
        m_nClean = 0;
        FollowModifiedFlag();
    }
}

void EditHistory::FollowModifiedFlag() {
    VideoAnnotations* annotations = m_session.Annotations();
    if (annotations == nullptr) {
        return;
    }
    // Areas, the mosaic type and gait events never make the markers "modified": the document
    // compares the trimming state with the saved one by value, the events file is written at
    // once. The markers match the file when no marker edit lies between the saved step and this
    // one; a saved step the history no longer reaches leaves them modified.
    bool modified = m_nClean < 0;
    const int from = std::min(m_nClean, m_nIndex);
    const int to = std::max(m_nClean, m_nIndex);
    for (int i = std::max(from, 0); i < to && !modified; ++i) {
        modified = m_steps[static_cast<size_t>(i)].before.markers.has_value();
    }
    annotations->m_markers.SetModified(modified);
}

}  // namespace kivra
