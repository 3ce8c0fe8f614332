#include "linkbutton.h"

#include "readablecolor.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QUrl>

namespace Tarnwick {

const QColor LinkButton::NormalColor(0, 0, 255);
const QColor LinkButton::HoverColor(255, 0, 0);

LinkButton::LinkButton(const QString& caption, QWidget* parent)
    : QAbstractButton(parent) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, &LinkButton::OnClicked);
}

void LinkButton::SetAddress(const QString& address, const QString& caption) {
    address_ = address;
    if (!caption.isEmpty())
        setText(caption);
    update();
}

QColor LinkButton::TextColor() const {
    // Blue and red as ever where they read on the band; the scheme's link colour, or its text,
    // on a dark or high-contrast one. The red of a pointed-at link is there a moment only.
    const QColor band = palette().color(QPalette::Base);
    const QColor link = palette().color(QPalette::Link);
    const QColor text = palette().color(QPalette::Text);
    return hovered_ ? ReadableOn(band, {HoverColor, link, text}, 3.0)
                    : ReadableOn(band, {NormalColor, link, text}, 4.5);
}

void LinkButton::SizeToText() {
    resize(fontMetrics().horizontalAdvance(text()) + 8, height());
}

QSize LinkButton::sizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(text()) + 8, fontMetrics().height() + 2);
}

void LinkButton::OnClicked() {
    if (address_.isEmpty())
        return;
    QDesktopServices::openUrl(QUrl(address_));
    emit addressOpened(address_);
}

void LinkButton::SetHovered(bool hovered) {
    if (hovered_ == hovered)
        return;
    hovered_ = hovered;
    update();
}

void LinkButton::enterEvent(QEnterEvent* event) {
    SetHovered(true);
    QAbstractButton::enterEvent(event);
}

void LinkButton::mouseMoveEvent(QMouseEvent* event) {
    SetHovered(rect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void LinkButton::leaveEvent(QEvent* event) {
    SetHovered(false);
    QAbstractButton::leaveEvent(event);
}

void LinkButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // The header band behind the links has the colour of the scheme's fields; so has the button.
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRect textRect = rect().adjusted(4, 0, -4, 0);
    painter.setFont(font());
    painter.setPen(TextColor());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width() + 4);
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, shown);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace Tarnwick
