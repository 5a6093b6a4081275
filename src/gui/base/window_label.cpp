#include "base/window_label.h"

#include <QVariant>
#include <QWidget>

namespace kivra {

namespace {
constexpr const char* kOwnTitle = "kivraOwnTitle";
}  // namespace

void LabelWindow(QWidget* window, const QString& label) {
    if (window == nullptr) {
        return;
    }
    if (!window->property(kOwnTitle).isValid()) {
        window->setProperty(kOwnTitle, window->windowTitle());
    }
    const QString own = window->property(kOwnTitle).toString();
    window->setWindowTitle(label.isEmpty() ? own : own + QStringLiteral(" - ") + label);
}

}  // namespace kivra
