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

namespace {

// A succeeded job without a file (a playlist that became rows) says what it did instead.
QString FileNameOrSummary(const DownloadJob& job) {
    return job.outputPath.isEmpty() && job.state == JobState::Succeeded ? job.title
                                                                        : FileNameOf(job.outputPath);
}

// A reason as a tooltip: rich text, which tooltips wrap to a readable width, where one line of
// plain text would run past the window.
QString Wrapped(const QString& text) {
    return QStringLiteral("<p>%1</p>")
        .arg(text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

// A failed or stopped row tells why on both columns; other rows show their full texts.
QString ToolTip(const DownloadJob& job, int column) {
    const bool hasReason =
        (job.state == JobState::Failed || job.state == JobState::Stopped) && !job.failureText.isEmpty();
    if (column == JobListModel::FileNameColumn) {
        if (hasReason)
            return Wrapped(job.failureText);
        // Which of the offered pictures the download took, or what the row asks for.
        QString picture = job.pictureChoice;
        if (picture.isEmpty() && !job.chosenFormat.isEmpty())
            picture = QStringLiteral("Format %1, as chosen").arg(job.chosenFormat);
        else if (picture.isEmpty() && job.largestPicture > 0)
            picture = QStringLiteral("Pictures at most %1p").arg(job.largestPicture);
        const QString name = FileNameOrSummary(job);
        QStringList lines{name.isEmpty() ? job.title : name, picture, job.extrasNote};
        lines.removeAll(QString());
        return lines.join(QLatin1Char('\n'));
    }
    return hasReason ? Wrapped(job.url) + Wrapped(job.failureText) : job.url;
}

// Column 0 names the delivered file; until there is one, a stopped job or one that comes back
// with a kept download says so, since it will not start from nothing, and a job that ended
// without one shows its title or address.
QString FileColumnText(const DownloadJob& job) {
    if (!FileNameOrSummary(job).isEmpty())
        return FileNameOrSummary(job);
    if (job.state == JobState::Stopped)
        return QStringLiteral("Stopped");
    if (job.partial.IsKept() && job.state == JobState::Idle)
        return QStringLiteral("Unfinished");
    // A row that ended without a file is named by what it was: a red cross alone says nothing.
    if (job.state == JobState::Failed || job.state == JobState::Skipped)
        return job.title.isEmpty() ? job.url : job.title;
    // A waiting row shows its title where one is known already (a playlist's entry); its
    // address stands in the next column, and twice would only crowd the list.
    return job.title;
}

} // namespace

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
    case JobState::Stopped:
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
        if (index.column() == FileNameColumn && !activity_.isEmpty()) {
            const auto activity = activity_.constFind(job.id);
            if (activity != activity_.constEnd())
                return *activity;
        }
        return index.column() == FileNameColumn ? FileColumnText(job) : job.url;
    case Qt::EditRole:
        return index.column() == FileNameColumn ? FileNameOrSummary(job) : job.url;
    case Qt::ToolTipRole:
        return ToolTip(job, index.column());
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
    EnsureJobId(*job);
    jobs_.push_back(std::move(job));
    endInsertRows();
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
    return row;
}

int JobListModel::AppendAll(const QStringList& urls) {
    QList<DownloadJob> jobs;
    jobs.reserve(urls.size());
    for (const QString& url : urls) {
        jobs.append(DownloadJob());
        jobs.last().url = url;
    }
    return AppendJobs(jobs);
}

int JobListModel::AppendJobs(const QList<DownloadJob>& jobs) {
    const int first = rowCount();
    if (jobs.isEmpty())
        return first;
    beginInsertRows({}, first, first + static_cast<int>(jobs.size()) - 1);
    jobs_.reserve(jobs_.size() + static_cast<size_t>(jobs.size()));
    for (const DownloadJob& job : jobs) {
        jobs_.push_back(std::make_unique<DownloadJob>(job));
        EnsureJobId(*jobs_.back());
    }
    endInsertRows();
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
    return first;
}

void JobListModel::InsertAfter(int row, const QList<DownloadJob>& jobs) {
    if (jobs.isEmpty())
        return;
    const int first = qBound(0, row + 1, rowCount());
    beginInsertRows({}, first, first + static_cast<int>(jobs.size()) - 1);
    std::vector<std::unique_ptr<DownloadJob>> added;
    added.reserve(static_cast<size_t>(jobs.size()));
    for (const DownloadJob& job : jobs) {
        added.push_back(std::make_unique<DownloadJob>(job));
        EnsureJobId(*added.back());
    }
    jobs_.insert(jobs_.begin() + first, std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
    endInsertRows();
    emit headerDataChanged(Qt::Horizontal, UrlColumn, UrlColumn);
}

void JobListModel::TakeResults(int row, const DownloadJob& results) {
    DownloadJob& job = Job(row);
    job.outputPath = results.outputPath;
    job.streamUrl = results.streamUrl;
    job.title = results.title;
    job.failureText = results.failureText;
    job.state = results.state;
    job.choices = results.choices;
    job.partial = results.partial;
    job.pictureChoice = results.pictureChoice;
    JobChanged(row);
}

void JobListModel::SetUrl(int row, const QString& url) {
    Job(row).url = url;
    // What yt-dlp said about the old address says nothing about the new one, nor does a format
    // chosen among its offers.
    Job(row).extractedInfo.clear();
    Job(row).chosenFormat.clear();
    emit dataChanged(index(row, UrlColumn), index(row, UrlColumn));
}

void JobListModel::SetPictureChoice(int row, const QString& format, int largestPicture) {
    Job(row).chosenFormat = format;
    Job(row).largestPicture = largestPicture;
    JobChanged(row);
}

void JobListModel::SetActivity(int row, const QString& text) {
    if (row < 0 || row >= rowCount())
        return;
    const quint64 id = Job(row).id;
    if (text.isEmpty() ? activity_.remove(id) == 0 : activity_.value(id) == text)
        return;
    if (!text.isEmpty())
        activity_.insert(id, text);
    emit dataChanged(index(row, FileNameColumn), index(row, FileNameColumn), {Qt::DisplayRole});
}

void JobListModel::JobChanged(int row) {
    emit dataChanged(index(row, FileNameColumn), index(row, UrlColumn));
}

void JobListModel::RemoveJobs(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [this](int row) { return row < 0 || row >= rowCount(); }),
        rows.end());
    if (rows.isEmpty())
        return;
    // From the back, a run of adjacent rows at a time, so that the rows still to go keep their numbers.
    auto end = rows.size();
    while (end > 0) {
        auto begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin];
        const int last = rows[end - 1];
        beginRemoveRows({}, first, last);
        jobs_.erase(jobs_.begin() + first, jobs_.begin() + last + 1);
        endRemoveRows();
        end = begin;
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
