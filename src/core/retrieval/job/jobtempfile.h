#pragma once

#include <QFile>
#include <QString>
#include <memory>

namespace Tarnwick {

// A working file of one job (the download, or the conversion's result). It is created
// exclusively, so no other job or process can share it, and it is deleted when the object goes
// unless it has been released.
//
// It lives in the job's output folder under a hidden name, ".~VD" + a unique part + ".part", so
// that putting the finished file in place is a rename on one file system: no second write of a
// large video, and no video held in memory where the temporary folder is a RAM disk. Only when
// the output folder cannot hold it does it go to the system's temporary folder, as
// "~VD" + a unique part + ".tmp". A file left by a killed job is removed by the next job through
// the same folder.
class JobTempFile {
public:
    explicit JobTempFile(const QString& outputFolder);
    // Takes up a working file an earlier run kept, to write on at its end; it is ours to delete
    // from now on. Not valid when it is not a regular file of ours that can be written.
    static std::unique_ptr<JobTempFile> Reopen(const QString& keptPath);
    ~JobTempFile();
    JobTempFile(const JobTempFile&) = delete;
    JobTempFile& operator=(const JobTempFile&) = delete;

    bool IsValid() const { return !path_.isEmpty(); }
    const QString& Path() const { return path_; }
    // The file as it was created, open for writing: writing through it never truncates or
    // re-creates the file, which on some file systems makes closing it wait for the disk.
    QFile& File() { return file_; }
    // Closes the file; false when the system could not complete it, with the system's reason in
    // reason when one is asked for.
    bool Close(QString* reason = nullptr);
    // The file has gone somewhere else under another name and is no longer ours to delete.
    void Release();

    // Whether path has the shape of a working file's name, so that a list naming some other file
    // can never make a job write into or delete it.
    static bool IsWorkingFileName(const QString& path);

private:
    JobTempFile() = default;
    bool CreateIn(const QString& folder, const QString& prefix, const QString& suffix);

    QFile file_;
    QString path_;
    // Held for the file's life, also while the file itself is closed, so that another job's
    // clean-up of the folder knows it is in use (RemoveStaleJobFiles).
    int hold_ = -1;
};

} // namespace Tarnwick
