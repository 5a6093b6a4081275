#pragma once
// A label that looks and acts like a hyperlink: blue and underlined, hand cursor, a click
// opens its target in the desktop's browser. The shown text and the target are separate; with
// no target it looks disabled and a click does nothing. Owned by its parent dialog.
#include <QLabel>
#include <QString>
#include <QUrl>

class CStaticURL : public QLabel {
    Q_OBJECT

public:
    explicit CStaticURL(const QString& text = {}, QWidget* parent = nullptr);

    // The address a click opens; empty (the default) disables the link.
    void SetTarget(const QString& target);
    const QString& Target() const { return m_target; }

    // True when the target is a web or mail address the desktop may be asked to open: other
    // schemes (local files, scripts) are never handed on.
    bool IsOpenable() const;

signals:
    // A click on an openable link, emitted before the desktop is asked to open it.
    void Opened(const QUrl& url);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Open();
    void UpdateLook();

    QString m_target;
};
