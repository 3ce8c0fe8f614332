#include "presetsdialog.h"

#include "conversion/conversionsettings.h"
#include "conversion/outputformat.h"
#include "conversion/preset.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace Tarnwick {

// The dialog's size from what it shows, at the desktop's font and within its screen: its
// dialog-unit layout is the smallest it takes.
void PresetsDialog::FitToContent() {
    // The widest of what the lists must show whole, at the dialog's font: every format name, and
    // every preset's name and description, in bold as the default preset is drawn.
    QFont boldFont = list_->font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    const int cellMargins = 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 8;
    int nameWidth = list_->columnWidth(0);
    int descriptionWidth = 0;
    for (const auto& group : catalog_)
        for (const auto& format : group->formats)
            for (const auto& preset : format->presets) {
                nameWidth =
                    qMax(nameWidth, bold.horizontalAdvance(TextOf(preset->settings.name)) + cellMargins);
                descriptionWidth =
                    qMax(descriptionWidth, bold.horizontalAdvance(preset->Describe()) + cellMargins);
            }
    list_->setColumnWidth(0, nameWidth);
    if (descriptionWidth > 0)
        list_->setColumnWidth(1, descriptionWidth);
    const auto chrome = [](const QTreeWidget* view) {
        return 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width();
    };
    // Each level of the tree is indented once more, the top one too for its expanding mark; every
    // format is to be in view at once, the groups open.
    int treeText = 0;
    int treeRows = 0;
    for (QTreeWidgetItemIterator item(tree_); *item != nullptr; ++item, ++treeRows) {
        int depth = 1;
        for (const QTreeWidgetItem* parent = (*item)->parent(); parent != nullptr; parent = parent->parent())
            ++depth;
        treeText = qMax(treeText, depth * tree_->indentation() +
                                      tree_->fontMetrics().horizontalAdvance((*item)->text(0)) + cellMargins);
    }
    const int treeNeeds = treeText + chrome(tree_);
    const int listNeeds = nameWidth + descriptionWidth + chrome(list_);
    int treeExtra = qMax(0, treeNeeds - tree_->width());
    int listExtra = qMax(0, listNeeds - list_->width());
    const int rowHeight =
        tree_->topLevelItemCount() > 0 ? tree_->visualItemRect(tree_->topLevelItem(0)).height() : 0;
    const int treeHeightNeeds = treeRows * qMax(rowHeight, tree_->fontMetrics().height()) +
                                2 * tree_->frameWidth() + tree_->horizontalScrollBar()->sizeHint().height();
    // Within the screen: the description gives way first, and scrolls.
    const QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    const QSize room = screen != nullptr ? screen->availableGeometry().size() * 9 / 10 - size() : QSize();
    listExtra = qBound(0, listExtra, qMax(0, room.width() - treeExtra));
    treeExtra = qBound(0, treeExtra, qMax(0, room.width()));
    const int extraHeight = qBound(0, treeHeightNeeds - tree_->height(), qMax(0, room.height()));
    if (treeExtra == 0 && listExtra == 0 && extraHeight == 0)
        return;
    const QRect list = list_->geometry();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child == tree_ || child == list_)
            continue;
        const bool belowLists = child->y() > list.bottom();
        // The bottom row keeps its sides; above it, what stands right of a list moves with it.
        const int shift = belowLists                  ? (child->x() > width() / 2 ? treeExtra + listExtra : 0)
                          : child->x() > list.right() ? treeExtra + listExtra
                          : child->x() >= list.left() ? treeExtra
                                                      : 0;
        // What stands below the lists, or beside their lower half, moves down with their foot.
        const int drop = belowLists || child->y() > list.center().y() ? extraHeight : 0;
        child->move(child->x() + shift, child->y() + drop);
        if (belowLists && child->x() < width() / 2 && child->width() > width() / 2)
            child->resize(child->width() + treeExtra + listExtra, child->height()); // the rule
    }
    tree_->resize(tree_->width() + treeExtra, tree_->height() + extraHeight);
    list_->setGeometry(list.x() + treeExtra, list.y(), list.width() + listExtra, list.height() + extraHeight);
    description_->resize(description_->width() + listExtra, description_->height());
    setFixedSize(width() + treeExtra + listExtra, height() + extraHeight);
}

} // namespace Tarnwick
