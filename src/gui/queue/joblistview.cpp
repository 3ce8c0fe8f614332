#include "joblistview.h"

#include "commandids.h"
#include "ui/programicon.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QStyle>

namespace Tarnwick {

namespace {

// Rows without a state picture still reserve its 16 x 16 place: the list sizes every row like
// its first one, and a first row without a picture would shrink every other row's picture.
QIcon StatePicture(int image) {
    static const QIcon none = [] {
        QPixmap blank(16, 16);
        blank.fill(Qt::transparent);
        return QIcon(blank);
    }();
    const QIcon picture = Tarnwick::StateImage(image);
    return picture.isNull() ? none : picture;
}

} // namespace

QVariant JobTableModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::DecorationRole && index.isValid() && index.column() == FileNameColumn)
        return StatePicture(JobListModel::data(index, StateImageRole).toInt());
    return JobListModel::data(index, role);
}

JobListView::JobListView(QWidget* parent)
    : QTreeView(parent) {
    setObjectName(IdName(Control::JobList));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setIconSize(QSize(16, 16));
    header()->setSectionsMovable(true);
    header()->setStretchLastSection(false);

    hint_ = new QLabel(QStringLiteral("Drag and drop video URL to this dialog to Begin!"), viewport());
    hint_->setObjectName(IdName(Control::Hint));
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    hint_->adjustSize();
}

void JobListView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    connect(model, &QAbstractItemModel::rowsInserted, this, &JobListView::UpdateHint);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &JobListView::UpdateHint);
    connect(model, &QAbstractItemModel::modelReset, this, &JobListView::UpdateHint);
    SizeColumns();
    UpdateHint();
}

QList<int> JobListView::SelectedRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int JobListView::FirstSelectedRow() const {
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

void JobListView::SelectAlone(int row) {
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void JobListView::UpdateHint() {
    hint_->setVisible(model() && model()->rowCount() == 0);
    CentreHint();
}

void JobListView::SizeColumns() {
    if (!model() || model()->columnCount() < 2)
        return;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int client = width() - 2 * frameWidth();
    header()->resizeSection(JobListModel::FileNameColumn, std::max(40, client - scrollBar - UrlColumnWidth));
    header()->resizeSection(JobListModel::UrlColumn, UrlColumnWidth);
}

void JobListView::CentreHint() {
    hint_->adjustSize();
    const QRect area = viewport()->rect();
    hint_->move(area.center() - hint_->rect().center());
}

void JobListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    SizeColumns();
    CentreHint();
}

void JobListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    // A double-click on the empty part clears the selection first, so that it adds.
    if (!indexAt(event->position().toPoint()).isValid())
        clearSelection();
    emit doubleClickedList();
}

} // namespace Tarnwick
