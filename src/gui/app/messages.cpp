#include "messages.h"

#include <QGuiApplication>
#include <cstdio>

namespace Tarnwick {

const char* const MessageTitle = "Tarnwick";

bool CanAskUser() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    if (!CanAskUser()) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMessageBox box(icon, QString::fromLatin1(MessageTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace Tarnwick
