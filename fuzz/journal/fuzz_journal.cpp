// The journal of unfinished jobs on any bytes: a damaged or altered journal is refused whole
// or read into waiting jobs that can only ever touch our own working files, and what is read
// is written back and read again unchanged.

#include "fuzzcheck.h"
#include "retrieval/job/jobtempfile.h"
#include "retrieval/job/journal/journaltext.h"

#include <cstdint>

using namespace Tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QList<DownloadJob> jobs;
    if (!ReadJournalText(bytes, jobs)) {
        Require(jobs.isEmpty());
        return 0;
    }
    for (const DownloadJob& job : jobs) {
        Require(!job.url.isEmpty() && job.state == JobState::Idle);
        Require(!job.partial.IsKept() || (job.choices && JobTempFile::IsWorkingFileName(job.partial.path)));
        Require(job.partial.segmentsDone >= 0 && job.partial.segmentBytes >= 0);
    }
    const QByteArray written = JournalText(jobs);
    QList<DownloadJob> again;
    Require(ReadJournalText(written, again) && again.size() == jobs.size());
    Require(JournalText(again) == written);
    return 0;
}
