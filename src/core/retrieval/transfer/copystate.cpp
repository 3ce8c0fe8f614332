#include "copystate.h"

#include "httptransfer.h"
#include "queue/progresssink.h"
#include "queue/stopwakeup.h"
#include "retrypolicy.h"
#include "transfersession.h"

#include <QIODevice>
#include <cerrno>

namespace Tarnwick {

namespace {

constexpr int MaxStatusTextLength = 1023;
// While no data arrives and nothing wakes the transfer, the stop request is still looked at
// this often.
constexpr std::chrono::milliseconds IdleCancelPollInterval{TransferSession::PollMilliseconds};

} // namespace

CopyState::CopyState(TransferSession& session, QIODevice& target, ProgressSink* sink, unsigned chunkSize,
                     bool decode)
    : session_(session)
    , target_(target)
    , sink_(sink)
    , chunkSize_(chunkSize)
    , origin_(target.pos())
    , decode_(decode)
    , wakeGeneration_(StopWakeup::Generation()) {}

bool CopyState::ContinueFrom(qint64 received, qint64 total, const QByteArray& etag,
                             const QByteArray& lastModified) {
    // A decoded body holds the decoded text, which no range of the encoded stream continues.
    if (decode_ || received > origin_ || !resume_.StartFrom(received, total, etag, lastModified))
        return false;
    origin_ -= received;
    written_ = received;
    continuedFrom_ = received;
    totalKB_ = total >= 0 ? ContentLengthKB(QByteArray::number(total)) : 0;
    return true;
}

void CopyState::StartAttempt(bool continuing) {
    headers_ = ResponseHeaders();
    continuing_ = continuing;
    sawResponse_ = false;
    answered_ = false;
    failure_.clear();
    retriable_ = false;
    retryAfter_.reset();
}

bool CopyState::PollCancel() {
    lastCancelPoll_ = Clock::now();
    wakeGeneration_ = StopWakeup::Generation();
    if (sink_ != nullptr && sink_->IsCancelled() != 0)
        cancelled_ = true;
    return cancelled_;
}

bool CopyState::StopRequestedWhileIdle() {
    if (sink_ == nullptr)
        return cancelled_;
    if (StopWakeup::Generation() == wakeGeneration_ &&
        Clock::now() - lastCancelPoll_ < IdleCancelPollInterval)
        return cancelled_;
    return PollCancel();
}

bool CopyState::Fail(const QString& text, bool retriable) {
    failure_ = text;
    retriable_ = retriable;
    return false;
}

bool CopyState::OnHeaderLine(const char* data, size_t size) {
    if (ResponseHeaders::IsEnd(data, size))
        return OnHeadersComplete();
    headers_.Take(data, size);
    if (size >= 5 && qstrnicmp(data, "HTTP/", 5) == 0) {
        sawResponse_ = true;
        session_.Report(TransferSession::ResponseReceived);
    }
    return true;
}

bool CopyState::OnHeadersComplete() {
    // Trailers after a chunked body end with a blank line too; the body has begun already.
    if (answered_)
        return true;
    const long status = headers_.status;
    // Interim answers and redirects that libcurl follows are not the body's response.
    if (status >= 100 && status < 200)
        return true;
    if (status >= 300 && status < 400 && headers_.hasLocation)
        return true;
    const QString text =
        QStringLiteral("The server answered %1 %2").arg(status).arg(QString::fromLatin1(headers_.reason));
    // A redirect that names nowhere to go leaves nothing to fetch; its page is not the video.
    if (status >= 300 && status < 400)
        return Fail(text, false);
    // An error page is not the video, however much of a body it has.
    if (status >= 400) {
        if (IsRetriableStatus(status)) {
            retryAfter_ = RetryAfterSeconds(headers_.retryAfter, std::time(nullptr));
            return Fail(text, true);
        }
        // A range the server cannot give: the next attempt asks for the whole body.
        if (continuing_ && status == 416) {
            resume_ = ResumeState();
            return Fail(text, true);
        }
        return Fail(text, false);
    }
    if (check_ && !check_(headers_))
        return false;
    answered_ = true;
    // The rest of a compressed body continues its stream only in the same coding; a server that
    // compresses on the fly may send a range of the plain text instead.
    const bool sameCoding = !decode_ || headers_.contentEncoding == bodyCoding_;
    if (!(continuing_ && sameCoding && resume_.AcceptsContinuation(headers_))) {
        if (status == 206 && continuing_) {
            // A part of some other body: ask for the whole one next time.
            resume_ = ResumeState();
            return Fail(QStringLiteral("The server did not continue the same file"), true);
        }
        // The whole body, perhaps again: whatever an earlier answer left is replaced.
        if (written_ > 0) {
            if (!TruncateTarget(target_, origin_))
                return Fail(QStringLiteral("The file cannot be started again: %1").arg(target_.errorString()),
                            false);
            written_ = 0;
        }
        resume_.StartWhole(headers_);
        bodyCoding_ = headers_.contentEncoding;
        // A continuation carries on the compressed stream where it broke off; a whole body
        // starts it afresh. Media are kept as stored, whatever the server says of them.
        if (!decoder_.Start(decode_ ? headers_.contentEncoding : QByteArray()))
            return Fail(decoder_.Failure(), false);
        continuedFrom_ = 0;
        if (wholeBodyListener_)
            wholeBodyListener_(resume_);
        const int totalKB = ContentLengthKB(headers_.contentLength);
        if (began_ && sink_ != nullptr && totalKB != totalKB_)
            sink_->Progress(ProgressSink::ProgressTotal, totalKB);
        totalKB_ = totalKB;
    }
    if (!began_) {
        began_ = true;
        startTime_ = std::time(nullptr);
        if (sink_ != nullptr) {
            sink_->Begin();
            sink_->Progress(ProgressSink::ProgressTotal, totalKB_);
        }
    }
    return !PollCancel();
}

// One block from the network. It is stored in one write, then reported, with a stop poll,
// in chunks of at most the read size: a stop discards the whole file anyway.
bool CopyState::OnBody(const char* data, size_t size) {
    // Waiting here holds the socket unread, so the server's sending slows down with it.
    if (taker_ && !taker_->Take(qint64(size), [this] { return PollCancel(); }))
        return false;
    errno = 0;
    if (!decoder_.Write(data, qint64(size), target_)) {
        // A buffered file that fails while flushing reports only "Unknown error"; the system's
        // own word (a full disk, a quota) is what the user needs.
        const int systemError = errno;
        const QString reason = systemError != 0 ? qt_error_string(systemError) : decoder_.Failure();
        return Fail(reason.isEmpty() ? QStringLiteral("Cannot write the received data") : reason, false);
    }
    const qint64 before = resume_.Received();
    resume_.Add(qint64(size));
    written_ += qint64(size);
    if (sink_ == nullptr)
        return true;
    for (size_t offset = 0; offset < size; offset += chunkSize_) {
        const qint64 received = before + qint64(qMin<size_t>(offset + chunkSize_, size));
        const qint64 seconds = qint64(std::time(nullptr) - startTime_);
        sink_->Status(ProgressSink::StatusActivity,
                      TransferProgressText(double(received) / 1024.0, totalKB_, seconds,
                                           double(continuedFrom_) / 1024.0)
                          .left(MaxStatusTextLength));
        sink_->Progress(ProgressSink::ProgressPosition, int(received >> 10));
        if (PollCancel())
            return false;
    }
    return true;
}

bool CopyState::FinishBody() {
    return decoder_.Finish() || Fail(decoder_.Failure(), false);
}

size_t CopyState::HeaderCallback(char* data, size_t, size_t size, void* self) {
    return static_cast<CopyState*>(self)->OnHeaderLine(data, size) ? size : 0;
}

size_t CopyState::WriteCallback(char* data, size_t, size_t size, void* self) {
    return static_cast<CopyState*>(self)->OnBody(data, size) ? size : 0;
}

} // namespace Tarnwick
