#include "ui/link_label.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

QUrl TargetUrl(const QString& target) {
    return QUrl(target.trimmed(), QUrl::StrictMode);
}

}  // namespace

CStaticURL::CStaticURL(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    UpdateLook();
}

void CStaticURL::SetTarget(const QString& target) {
    m_target = target;
    UpdateLook();
}

bool CStaticURL::IsOpenable() const {
    const QUrl url = TargetUrl(m_target);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.isRelative() &&
           ((scheme == u"http" || scheme == u"https") ? !url.host().isEmpty()
                                                      : scheme == u"mailto");
}

void CStaticURL::UpdateLook() {
    const bool live = IsOpenable();
    QFont underlined = font();
    underlined.setUnderline(live);
    setFont(underlined);
    // Pure blue as links were; a dead link takes the palette's disabled text colour.
    QPalette colours = palette();
    colours.setColor(
        QPalette::WindowText,
        live ? QColor(0, 0, 255) : colours.color(QPalette::Disabled, QPalette::WindowText));
    setPalette(colours);
    if (live) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    } else {
        unsetCursor();
        setFocusPolicy(Qt::NoFocus);
    }
    setToolTip(live ? m_target.trimmed() : QString());
}

void CStaticURL::Open() {
    if (!IsOpenable())
        return;
    const QUrl url = TargetUrl(m_target);
    emit Opened(url);
    QDesktopServices::openUrl(url);
}

void CStaticURL::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Open();
    QLabel::mouseReleaseEvent(event);
}

void CStaticURL::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Open();
        return;
    }
    QLabel::keyPressEvent(event);
}
