// Kivra: the Qt application around the application object.
#include <QApplication>

#include "app/mirandel_app.h"
#include "platform/memory_policy.h"

int main(int argc, char** argv) {
    kivra::UseLargeBufferPolicy();
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kivra"));
    CMirandelApp app;  // destroyed before the QApplication, with its windows
    return app.Run(QApplication::arguments());
}
