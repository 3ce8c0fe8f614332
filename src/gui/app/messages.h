#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace Tarnwick {

// True when a person can answer a window: false on the offscreen and minimal platforms, where
// a modal box would wait for ever.
bool CanAskUser();

// Shows a message box titled "Tarnwick" with an OK button. Where nobody can answer it, the
// text goes to standard error instead, so that nothing is lost and nothing hangs.
void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Warning);

} // namespace Tarnwick
