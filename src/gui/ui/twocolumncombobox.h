#pragma once

#include <QComboBox>
#include <QList>
#include <QStyledItemDelegate>

namespace Tarnwick {

// Draws one entry of the format and preset lists: the text before the first tab at the left,
// the text after it at a fixed offset (grey unless selected), and for the format lists a line
// above the first entry of every group but the first.
class TwoColumnItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    enum class Kind { PresetList, FormatList };

    explicit TwoColumnItemDelegate(Kind kind, QObject* parent = nullptr);

    void SetColumnOffset(int pixels) { columnOffset_ = pixels; }
    int ColumnOffset() const { return columnOffset_; }
    void SetGreySecondColumn(bool grey) { grey_ = grey; }
    void SetGroupCounts(const QList<int>& counts) { groupCounts_ = counts; }
    // True when a separator line belongs above the entry.
    bool StartsGroup(int row) const;
    Kind ListKind() const { return kind_; }

    // Draws the entry; inField is true for the closed list's own field, which has no separator.
    void PaintEntry(QPainter* painter, const QRect& rect, const QString& text, int row, bool selected,
                    bool enabled, bool inField) const;
    // Where each column's text begins, for a row drawn at rect.
    static QRect TextArea(const QRect& rect) { return rect.adjusted(2, 0, -2, 0); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    Kind kind_;
    int columnOffset_ = 80;
    bool grey_ = true;
    QList<int> groupCounts_;
};

// The format and preset drop-down lists of the main window and the settings dialogs.
class TwoColumnComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TwoColumnComboBox(TwoColumnItemDelegate::Kind kind, QWidget* parent = nullptr);

    TwoColumnItemDelegate* Delegate() const { return delegate_; }
    void SetColumnOffset(int pixels) { delegate_->SetColumnOffset(pixels); }
    void SetGroupCounts(const QList<int>& counts) { delegate_->SetGroupCounts(counts); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TwoColumnItemDelegate* delegate_;
};

} // namespace Tarnwick
