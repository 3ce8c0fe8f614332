#include "twocolumncombobox.h"

#include "readablecolor.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

namespace Tarnwick {

namespace {

// Pixels kept free between a cut-short first column and the second.
constexpr int ColumnGap = 4;

} // namespace

TwoColumnItemDelegate::TwoColumnItemDelegate(Kind kind, QObject* parent)
    : QStyledItemDelegate(parent)
    , kind_(kind) {}

bool TwoColumnItemDelegate::StartsGroup(int row) const {
    if (kind_ != Kind::FormatList || row <= 0)
        return false;
    int start = 0;
    for (int count : groupCounts_) {
        start += count;
        if (row == start)
            return true;
        if (row < start)
            return false;
    }
    return false;
}

void TwoColumnItemDelegate::PaintEntry(QPainter* painter, const QRect& rect, const QString& text, int row,
                                       bool selected, bool enabled, bool inField) const {
    const QPalette palette;
    QColor textColor = palette.color(QPalette::Text);
    QColor fill = palette.color(QPalette::Base);
    if (!enabled) {
        // Dimmed, but never into the fill: on a dark scheme its dark shade is the fill's own.
        fill = palette.color(QPalette::Button);
        const QColor text = palette.color(QPalette::Text);
        const QColor dimmed = QColor::fromRgbF(0.6f * text.redF() + 0.4f * fill.redF(),
                                               0.6f * text.greenF() + 0.4f * fill.greenF(),
                                               0.6f * text.blueF() + 0.4f * fill.blueF());
        textColor = ReadableOn(fill, {palette.color(QPalette::Dark), dimmed}, 2.0);
    } else if (selected) {
        textColor = palette.color(QPalette::HighlightedText);
        fill = palette.color(QPalette::Highlight);
    }
    painter->save();
    painter->fillRect(rect, fill);
    if (!inField && StartsGroup(row)) {
        painter->setPen(palette.color(QPalette::Button));
        painter->drawLine(rect.topLeft(), rect.topRight());
    }

    const QRect area = TextArea(rect);
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    const QString first = tab < 0 ? text : text.left(tab);
    painter->setPen(textColor);
    // The second column starts at its offset, or further left when a wide font would push it
    // out of the row; the first column is cut short before it, so the two never overlap.
    const QString second = tab < 0 ? QString() : text.mid(tab + 1);
    const QFontMetrics metrics = painter->fontMetrics();
    const int secondLeft =
        std::max(0, std::min(columnOffset_, area.width() - metrics.horizontalAdvance(second)));
    const int firstWidth = tab < 0 ? area.width() : std::max(0, secondLeft - ColumnGap);
    painter->drawText(area.adjusted(0, 0, firstWidth - area.width(), 0),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      metrics.elidedText(first, Qt::ElideRight, firstWidth));
    if (tab >= 0) {
        QColor secondColor = textColor;
        // Dimmed where the scheme's dim colour still reads on the field (on a dark scheme its
        // shadow is black): else as the first column.
        if (grey_ && !selected && enabled)
            secondColor = ReadableOn(
                fill,
                {kind_ == Kind::FormatList ? palette.color(QPalette::Dark) : palette.color(QPalette::Shadow),
                 textColor},
                2.0);
        painter->setPen(secondColor);
        painter->drawText(area.adjusted(secondLeft, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, second);
    }
    painter->restore();
}

void TwoColumnItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const bool enabled = option.state & QStyle::State_Enabled;
    PaintEntry(painter, option.rect, index.data(Qt::DisplayRole).toString(), index.row(), selected, enabled,
               false);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        option.widget->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

TwoColumnComboBox::TwoColumnComboBox(TwoColumnItemDelegate::Kind kind, QWidget* parent)
    : QComboBox(parent)
    , delegate_(new TwoColumnItemDelegate(kind, this)) {
    setItemDelegate(delegate_);
}

void TwoColumnComboBox::paintEvent(QPaintEvent* /*event*/) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (currentIndex() >= 0)
        delegate_->PaintEntry(&painter, field, currentText(), currentIndex(), hasFocus(), isEnabled(), true);
}

} // namespace Tarnwick
