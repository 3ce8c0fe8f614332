#pragma once

#include <QString>
#include <memory>

namespace Tarnwick {

class JobContext;
class JobTempFile;

// A job's cover picture, fetched as a working file beside its file, which goes with this
// object. A picture that cannot be had is noted, never failed.
class JobCover {
public:
    JobCover();
    ~JobCover();
    JobCover(JobCover&&) noexcept;
    JobCover& operator=(JobCover&&) noexcept;

    // Fetches url through a transfer set up as the job's; only a JPEG or PNG picture of at most
    // 16 MiB is kept.
    static JobCover Fetch(JobContext& context, const QString& url, const QString& folder);

    // The picture's working file; empty when there is none.
    QString Path() const;
    // The engine could not use the picture: the file goes without it.
    void LeaveOut(const QString& reason);
    // What the row says of the cover when it was left out; empty otherwise.
    QString Note() const;

private:
    std::unique_ptr<JobTempFile> file_;
    QString missing_;
};

} // namespace Tarnwick
