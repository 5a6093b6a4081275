#pragma once
// The undo history of one open video: every edit its session reports (markers, areas, mosaic
// type, gait events) becomes one step, undo and redo put the session back, and the marker
// store's modified flag follows the saved step. Owned by the OpenVideo beside its session.
#include <deque>

#include "session/edit_session.h"

namespace kivra {

class EditHistory : public SessionObserver {
public:
    // Each step keeps the touched frames twice; the bound keeps a day of clicking in memory.
    static constexpr int kDefaultLimit = 1000;

    explicit EditHistory(EditSession& session, int limit = kDefaultLimit);
    ~EditHistory() override;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    bool CanUndo() const { return m_nIndex > 0; }
    bool CanRedo() const { return m_nIndex < Count(); }
    void Undo();
    void Redo();
    int Count() const { return static_cast<int>(m_steps.size()); }
    // The steps done: Undo takes back step Index() - 1.
    int Index() const { return m_nIndex; }
    const SessionEdit& Step(int i) const { return m_steps[static_cast<size_t>(i)]; }
    // The markers were saved: this step is the unmodified one.
    void MarkSaved() { m_nClean = m_nIndex; }

    // Another video starts a new history.
    void SessionChanged(unsigned changes) override;

private:
    void Push(SessionEdit edit);
    void FollowModifiedFlag();

    EditSession& m_session;
    const int m_nLimit;
    std::deque<SessionEdit> m_steps;
    int m_nIndex = 0;
    int m_nClean = 0;  // -1 once the saved step is out of reach
};

}  // namespace kivra
