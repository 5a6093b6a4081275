#pragma once
// Where the open video tells the user things in the program: message boxes over the main window
// and the progress dialog of a long job run on the window's thread. Owned by the application
// beside the open video, so it exists before the window and outlives it.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "document/vfw_doc.h"

namespace kivra {

class WindowDocumentHost final : public DocumentHost {
public:
    WindowDocumentHost();
    ~WindowDocumentHost() override;

    // The window the boxes and the dialog stand over; none before it is made.
    void SetWindow(QWidget* window);

    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    ProgressSink& Progress() override;

private:
    QPointer<QWidget> m_pWindow;
    std::unique_ptr<ProgressSink> m_pProgress;
};

}  // namespace kivra
