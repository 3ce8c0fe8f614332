#pragma once

#include "queue/joblistmodel.h"

#include <QTreeView>

class QLabel;

namespace Tarnwick {

// The job list model as the window shows it: the state numbers become the state pictures.
class JobTableModel : public JobListModel {
    Q_OBJECT

public:
    using JobListModel::JobListModel;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

// The report view of the job list: full-row selection of several rows, movable headers,
// in-place renaming of the "File Name" column, and the hint centred in the empty list.
class JobListView : public QTreeView {
    Q_OBJECT

public:
    static constexpr int UrlColumnWidth = 270;

    explicit JobListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QLabel* Hint() const { return hint_; }
    // Rows of the selection in ascending order.
    QList<int> SelectedRows() const;
    // The selected row with the lowest index, or -1.
    int FirstSelectedRow() const;
    // Selects the row alone, makes it current and scrolls it into view.
    void SelectAlone(int row);
    // The hint is shown exactly when the list is empty.
    void UpdateHint();

signals:
    // A double-click, on an item or on the empty part of the list.
    void doubleClickedList();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void SizeColumns();
    void CentreHint();

    QLabel* hint_;
};

} // namespace Tarnwick
