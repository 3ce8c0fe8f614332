#pragma once

#include "queue/commandids.h"

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace Tarnwick {

class DialogUnits;

// The settings dialogs share the main window's dialog font and its way of naming widgets.
QFont SettingsDialogFont();

// Gives the widget its control id as object name ("id1036"), so tests and tools find it.
template <typename T>
T* WithId(T* widget, int id) {
    widget->setObjectName(IdName(id));
    return widget;
}

// Places a right-aligned label by its box in dialog units. A font wider than the one the boxes
// were drawn for would clip the text, so the box grows to the left, keeping its right edge.
void PlaceRightLabel(const DialogUnits& units, QLabel* label, int x, int y, int width, int height);
// Places a label or check box; the box grows to the right when its text needs more room.
void PlaceFitted(const DialogUnits& units, QWidget* widget, int x, int y, int width, int height);

} // namespace Tarnwick
