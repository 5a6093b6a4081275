#pragma once
// The Help menu's "クイックスタート": one page, in the interface language, that walks a new user
// from opening a video to the gait report. Non-modal; a child of the main window, which makes
// it at the first showing and keeps it.
#include <QDialog>
#include <QString>

#include "platform/ui_language.h"

class QTextBrowser;

class CQuickStartDlg : public QDialog {
    Q_OBJECT

public:
    explicit CQuickStartDlg(kivra::UiLanguage language, QWidget* parent = nullptr);

    // The page of `language` among the resources, as a qrc: URL's path.
    static QString PagePath(kivra::UiLanguage language);
    QTextBrowser* Browser() const { return m_pBrowser; }

private:
    QTextBrowser* m_pBrowser = nullptr;
};
