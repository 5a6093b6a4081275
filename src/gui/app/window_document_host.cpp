#include "app/window_document_host.h"

#include "base/qt_user_messages.h"
#include "frame/progress_dlg.h"

namespace kivra {

WindowDocumentHost::WindowDocumentHost() = default;

WindowDocumentHost::~WindowDocumentHost() = default;

void WindowDocumentHost::SetWindow(QWidget* window) {
    // A dialog of the old window went with it.
    m_pProgress.reset();
    m_pWindow = window;
}

MsgAnswer WindowDocumentHost::ShowMessage(const std::string& text, MsgButtons buttons,
                                          MsgIcon icon) {
    return QtUserMessages(m_pWindow).ShowMessage(text, buttons, icon);
}

ProgressSink& WindowDocumentHost::Progress() {
    if (!m_pProgress) {
        m_pProgress = std::make_unique<ProgressDlgSink>(m_pWindow);
    }
    return *m_pProgress;
}

}  // namespace kivra
