#pragma once

#include "downloadjob.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>
#include <memory>
#include <vector>

namespace Tarnwick {

// The job list: one DownloadJob per row, owned by the row and destroyed with it. Column 0
// shows the delivered file's name and can be edited to rename that file; column 1 shows the
// address and counts the rows in its header.
//
// Records live behind stable pointers, so the worker of a run may keep a reference to the
// job in progress while rows are appended on the window's thread.
class JobListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { FileNameColumn = 0, UrlColumn = 1 };
    // The state picture of a row: 0 none, 1 in progress, 2 success, 3 failure.
    static constexpr int StateImageRole = Qt::UserRole + 1;

    explicit JobListModel(QObject* parent = nullptr);
    ~JobListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Appends a job for url, used unchanged; returns its row.
    int Append(const QString& url);
    // Appends a job for each address in one insertion, however many; returns the first new row.
    int AppendAll(const QStringList& urls);
    // Appends whole records (jobs that come back from the journal) in one insertion.
    int AppendJobs(const QList<DownloadJob>& jobs);
    // Inserts the jobs right after row, in order (a playlist's entries after the playlist).
    void InsertAfter(int row, const QList<DownloadJob>& jobs);
    DownloadJob& Job(int row) { return *jobs_[static_cast<size_t>(row)]; }
    const DownloadJob& Job(int row) const { return *jobs_[static_cast<size_t>(row)]; }
    void SetUrl(int row, const QString& url);
    // The row's own choice of picture: one format (empty: the rule's), or for a playlist a
    // largest picture for its entries (-1: the run's).
    void SetPictureChoice(int row, const QString& format, int largestPicture);
    // Tells the views that the row's record changed (state, output path).
    void JobChanged(int row);
    // Takes what a run found for the job (state, delivered file, title, stream, failure); the
    // address stays the list's own.
    void TakeResults(int row, const DownloadJob& results);
    // Removes the given rows with their records, in any order, duplicates allowed; each run of
    // adjacent rows goes in one removal, so that thousands of rows do not cost a pass each.
    void RemoveJobs(QList<int> rows);
    void Clear();
    // What the job in progress on row is doing, shown in its file name column until it ends
    // (several jobs at once each show their own); empty: its usual text again.
    void SetActivity(int row, const QString& text);

    static int StateImage(JobState state);

signals:
    // A rename through column 0 was refused; text says why (empty: silently rejected).
    void renameRefused(int row, const QString& text);

private:
    std::vector<std::unique_ptr<DownloadJob>> jobs_;
    QHash<quint64, QString> activity_; // by job id
};

} // namespace Tarnwick
