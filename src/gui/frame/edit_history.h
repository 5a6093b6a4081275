#pragma once
// The undo history of the open video's markers, areas and mosaic type: every edit the editing
// session reports becomes one step of a Qt undo stack, and the marker file's modified flag
// follows the stack (back at the saved step: not modified). Owned by the main frame.
#include <QObject>
#include <QUndoStack>

#include "session/edit_session.h"

class CEditHistory : public QObject, public kivra::SessionObserver {
    Q_OBJECT

public:
    explicit CEditHistory(kivra::EditSession& session, QObject* parent = nullptr);
    ~CEditHistory() override;

    QUndoStack& Stack() { return m_stack; }
    void Undo() { m_stack.undo(); }
    void Redo() { m_stack.redo(); }
    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }
    // The markers were saved: this step is the unmodified one.
    void MarkSaved() { m_stack.setClean(); }

    // kivra::SessionObserver: another video starts a new history.
    void SessionChanged(unsigned changes) override;

private:
    void FollowModifiedFlag();

    kivra::EditSession& m_session;
    QUndoStack m_stack;
};
