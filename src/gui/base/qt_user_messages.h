#pragma once
// The standard dialogs in their Qt form: message boxes for the core's questions and notices,
// the save-file dialog, and the framework's "desc|pattern;pattern|" file filters turned into
// Qt's filter syntax.
#include <QString>
#include <string>

#include "platform/user_messages.h"

class QWidget;

namespace kivra {

// Message boxes owned by nothing: each call shows one modal box over `parent` and returns
// the button the user chose. Closing the box counts as Cancel, or No without a Cancel button.
class QtUserMessages : public UserMessages {
public:
    explicit QtUserMessages(QWidget* parent) : m_pParent(parent) {}
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;

private:
    QWidget* m_pParent;
};

// "動画ファイル|*.avi;*.mp4|" -> "動画ファイル (*.avi *.mp4)"; several entries are joined with
// ";;" as QFileDialog expects. Empty pieces (the trailing "||") are skipped.
QString QtFileDialogFilter(const std::string& filterText);

// Asks for a file to write. A name typed without an extension gets defaultSuffix, and the
// user is asked before an existing file is replaced, the suffixed name included. Empty when
// the user cancelled.
QString AskSaveFileName(QWidget* parent, const std::string& filterText,
                        const QString& defaultSuffix);
// As above, opening on filter *filterIndex (1-based; the first when out of range) and giving
// back the chosen one there. A name typed without an extension gets the chosen filter's
// extension, or defaultSuffix when the filter has none of its own. A proposedPath opens the
// dialog in its folder with its name filled in.
QString AskSaveFileName(QWidget* parent, const std::string& filterText,
                        const QString& defaultSuffix, int* filterIndex,
                        const QString& proposedPath = QString());

}  // namespace kivra
