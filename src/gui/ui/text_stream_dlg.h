#pragma once
// The modeless tool window "テキストストリーム情報": shows the text information the open AVI file
// carries. The main frame stores the text and toggles the window; it owns the window.
#include <QDialog>
#include <QString>

class QPlainTextEdit;

class CTextStreamDialog : public QDialog {
    Q_OBJECT

public:
    // Starts hidden with no text.
    explicit CTextStreamDialog(QWidget* parent = nullptr);
    ~CTextStreamDialog() override;

    // Stores the text; the window shows it the next time it is shown or hidden.
    void SetText(const QString& text);
    const QString& Text() const { return m_strText; }
    // Shows the window when hidden, hides it when shown.
    void Toggle();

    QPlainTextEdit* TextEdit() const { return m_pEdit; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowStoredText();

    QString m_strText;
    QPlainTextEdit* m_pEdit = nullptr;  // child widget
};
