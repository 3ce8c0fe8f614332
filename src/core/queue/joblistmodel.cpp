#include "joblistmodel.h"

#include "outputfile.h"

#include <algorithm>

namespace Tarnwick {

JobListModel::JobListModel(QObject* parent)
    : QAbstractTableModel(parent) {}

JobListModel::~JobListModel() = default;

int JobListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(jobs_.size());
}

int JobListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

int JobListModel::StateImage(JobState state) {
    switch (state) {
    case JobState::Preparing:
    case JobState::Downloading:
    case JobState::Converting:
        return 1;
    case JobState::Succeeded:
        return 2;
    case JobState::Failed:
        return 3;
    case JobState::Idle:
    case JobState::Skipped:
        break;
    }
    return 0;
}

QVariant JobListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DownloadJob& job = Job(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return index.column() == FileNameColumn ? FileNameOf(job.outputPath) : job.url;
    case StateImageRole:
        return index.column() == FileNameColumn ? StateImage(job.state) : 0;
    default:
        return {};
    }
}

QVariant JobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == FileNameColumn)
        return QStringLiteral("File Name");
    if (section == UrlColumn)
        return QStringLiteral("URL (%1)").arg(rowCount());
    return {};
}

Qt::ItemFlags JobListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    // Only a delivered file has a name to edit.
    if (index.isValid() && index.column() == FileNameColumn && Job(index.row()).state == JobState::Succeeded)
        result |= Qt::ItemIsEditable;
    return result;
}

bool JobListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != FileNameColumn)
        return false;
    DownloadJob& job = Job(index.row());
    if (job.state != JobState::Succeeded)
        return false;
    QString message;
    switch (RenameOutputFile(job, value.toString(), &message)) {
    case RenameResult::Renamed:
        emit dataChanged(index, index);
        return true;
    case RenameResult::Unchanged:
        return false;
    case RenameResult::Refused:
        emit renameRefused(index.row(), message);
        return false;
    }
    return false;
}

int JobListModel::Append(const QString& url) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    auto job = std::make_unique<DownloadJob>();
    job->url = url;
    jobs_.push_back(std::move(job));
    endInsertRows();
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
    return row;
}

void JobListModel::SetUrl(int row, const QString& url) {
    Job(row).url = url;
    emit dataChanged(index(row, UrlColumn), index(row, UrlColumn));
}

void JobListModel::JobChanged(int row) {
    emit dataChanged(index(row, FileNameColumn), index(row, UrlColumn));
}

void JobListModel::RemoveJobs(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the back, so that the rows still to go keep their numbers.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        const int row = *it;
        if (row < 0 || row >= rowCount())
            continue;
        beginRemoveRows({}, row, row);
        jobs_.erase(jobs_.begin() + row);
        endRemoveRows();
    }
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
}

void JobListModel::Clear() {
    beginResetModel();
    jobs_.clear();
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
}

} // namespace Tarnwick
