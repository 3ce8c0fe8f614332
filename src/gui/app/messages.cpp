#include "messages.h"

#include "ui/vendor.h"

#include <QGuiApplication>
#include <cstdio>

namespace Tarnwick {

bool CanAskUser() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    if (!CanAskUser()) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMessageBox box(icon, ProductTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace Tarnwick
