#include "programicon.h"

#include <QPainter>
#include <QPainterPath>

namespace Tarnwick {

namespace {

// Command ids of the toolbar, as the window names them.
constexpr int AddUrlCommand = 32771;
constexpr int PasteCommand = 32775;
constexpr int RemoveCommand = 32781;
constexpr int ClearCommand = 32773;
constexpr int PlayCommand = 32776;
constexpr int RenameCommand = 32774;
constexpr int CopyToCommand = 32783;

QPixmap Transparent(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawArrowIntoTray(QPainter& painter, const QRectF& box) {
    const qreal w = box.width();
    const qreal h = box.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 110, 200));
    painter.drawRoundedRect(QRectF(box.left(), box.top(), w, h), w * 0.18, w * 0.18);
    QPainterPath arrow;
    arrow.moveTo(box.left() + w * 0.40, box.top() + h * 0.14);
    arrow.lineTo(box.left() + w * 0.60, box.top() + h * 0.14);
    arrow.lineTo(box.left() + w * 0.60, box.top() + h * 0.45);
    arrow.lineTo(box.left() + w * 0.76, box.top() + h * 0.45);
    arrow.lineTo(box.left() + w * 0.50, box.top() + h * 0.72);
    arrow.lineTo(box.left() + w * 0.24, box.top() + h * 0.45);
    arrow.lineTo(box.left() + w * 0.40, box.top() + h * 0.45);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    painter.drawRect(QRectF(box.left() + w * 0.20, box.top() + h * 0.78, w * 0.60, h * 0.08));
}

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap = Transparent(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawArrowIntoTray(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawArrowIntoTray(painter, QRectF(0, 0, size, size));
    return image;
}

QPixmap StateImageStrip() {
    QPixmap strip = Transparent(48, 16);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    // In progress: a blue circle with a clock hand.
    painter.setPen(QPen(QColor(20, 90, 190), 1.5));
    painter.setBrush(QColor(200, 225, 255));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.drawLine(QPointF(8, 8), QPointF(8, 4));
    painter.drawLine(QPointF(8, 8), QPointF(11, 9.5));
    // Success: a green tick.
    painter.setPen(QPen(QColor(20, 150, 40), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(19, 8.5), QPointF(22.5, 12), QPointF(29, 4)}));
    // Failure: a red cross.
    painter.setPen(QPen(QColor(210, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(36, 4), QPointF(44, 12));
    painter.drawLine(QPointF(44, 4), QPointF(36, 12));
    return strip;
}

QIcon StateImage(int image) {
    if (image < 1 || image > 3)
        return {};
    static const QPixmap strip = StateImageStrip();
    return QIcon(strip.copy((image - 1) * 16, 0, 16, 16));
}

QIcon ToolbarImage(int commandId) {
    QPixmap pixmap = Transparent(16, 15);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 60, 90);
    painter.setPen(QPen(ink, 1.2));
    switch (commandId) {
    case AddUrlCommand:
        painter.setPen(QPen(QColor(20, 140, 40), 2.4));
        painter.drawLine(QPointF(8, 2), QPointF(8, 13));
        painter.drawLine(QPointF(2.5, 7.5), QPointF(13.5, 7.5));
        break;
    case PasteCommand:
        painter.setBrush(QColor(230, 200, 140));
        painter.drawRect(QRectF(2.5, 2.5, 11, 11.5));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(5, 1, 6, 3));
        painter.drawLine(QPointF(5, 7), QPointF(11, 7));
        painter.drawLine(QPointF(5, 10), QPointF(11, 10));
        break;
    case RemoveCommand:
        painter.setPen(QPen(QColor(200, 40, 40), 2.4));
        painter.drawLine(QPointF(2.5, 7.5), QPointF(13.5, 7.5));
        break;
    case ClearCommand:
        painter.setPen(QPen(QColor(200, 40, 40), 2.2));
        painter.drawLine(QPointF(3, 3), QPointF(13, 12));
        painter.drawLine(QPointF(13, 3), QPointF(3, 12));
        break;
    case PlayCommand:
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(20, 140, 40));
        painter.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(13, 7.5), QPointF(4, 13)}));
        break;
    case RenameCommand:
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(1.5, 4.5, 13, 6));
        painter.setPen(QPen(ink, 1.4));
        painter.drawLine(QPointF(9, 2), QPointF(9, 13));
        break;
    case CopyToCommand:
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(1.5, 1.5, 8, 9));
        painter.drawRect(QRectF(6.5, 4.5, 8, 9));
        break;
    default:
        break;
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace Tarnwick
