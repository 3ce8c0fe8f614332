#include "jobcover.h"

#include "jobcontext.h"
#include "jobtempfile.h"
#include "retrieval/transfer/httptransfer.h"
#include "retrieval/transfer/limitedbuffer.h"

namespace Tarnwick {

namespace {

constexpr qint64 LargestCover = 16 * 1024 * 1024;

// The two picture formats every container that keeps a cover stores as they are.
bool IsJpegOrPng(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xD8\xFF") || bytes.startsWith("\x89PNG\r\n\x1A\n");
}

} // namespace

JobCover::JobCover() = default;
JobCover::~JobCover() = default;
JobCover::JobCover(JobCover&&) noexcept = default;
JobCover& JobCover::operator=(JobCover&&) noexcept = default;

JobCover JobCover::Fetch(JobContext& context, const QString& url, const QString& folder) {
    JobCover cover;
    HttpTransfer transfer;
    transfer.OpenSession(nullptr);
    context.ConfigureTransfer(transfer);
    LimitedBuffer body(LargestCover);
    if (!transfer.CopyUrlToFile(url, body, HttpTransfer::Body::Save)) {
        cover.missing_ =
            body.Overflowed() ? QStringLiteral("larger than 16 MiB") : QStringLiteral("could not be fetched");
        return cover;
    }
    if (!IsJpegOrPng(body.Data())) {
        cover.missing_ = QStringLiteral("neither a JPEG nor a PNG picture");
        return cover;
    }
    auto file = std::make_unique<JobTempFile>(folder);
    if (!file->IsValid() || file->File().write(body.Data()) != body.Data().size() || !file->Close()) {
        cover.missing_ = QStringLiteral("cannot be written");
        return cover;
    }
    cover.file_ = std::move(file);
    return cover;
}

QString JobCover::Path() const {
    return file_ != nullptr ? file_->Path() : QString();
}

void JobCover::LeaveOut(const QString& reason) {
    file_.reset();
    missing_ = reason;
}

QString JobCover::Note() const {
    return missing_.isEmpty() ? QString() : QStringLiteral("Cover left out: ") + missing_;
}

} // namespace Tarnwick
