#pragma once

#include "contentdecoder.h"
#include "responseheaders.h"
#include "resumestate.h"
#include "sharedrate.h"

#include <QString>
#include <chrono>
#include <ctime>
#include <functional>
#include <optional>

class QIODevice;

namespace Tarnwick {

class ProgressSink;
class TransferSession;

// The state of one copy of a body into its target over one or more attempts, shared with
// libcurl's callbacks: the answer being read, how far the body has come, what went wrong.
class CopyState {
public:
    using Clock = std::chrono::steady_clock;

    // decode: the body is read by Tarnwick itself and its Content-Encoding is undone on the way
    // into the target; otherwise it is stored as it arrives.
    CopyState(TransferSession& session, QIODevice& target, ProgressSink* sink, unsigned chunkSize,
              bool decode);

    // Looked at when the body's answer has arrived, before it is taken; false ends the copy
    // quietly, for good.
    // Each block received waits for its turn under the shared speed limit; null: no limit.
    void SetRate(SharedRate* rate) { taker_.emplace(rate); }
    void SetResponseCheck(std::function<bool(const ResponseHeaders&)> check) { check_ = std::move(check); }

    // The target holds the first received bytes of the body already, up to its position, as an
    // earlier answer described it; the first request asks for the rest. False when nothing
    // vouches for them: the copy then starts the body afresh at the target's position.
    bool ContinueFrom(qint64 received, qint64 total, const QByteArray& etag, const QByteArray& lastModified);
    // Called whenever an answer starts the body from its first byte, with what it says of it.
    void SetWholeBodyListener(std::function<void(const ResumeState&)> listener) {
        wholeBodyListener_ = std::move(listener);
    }

    // Before each request: whether it asks only for the rest of the body.
    void StartAttempt(bool continuing);

    // libcurl's callbacks, as C functions; data is the CopyState.
    static size_t HeaderCallback(char* data, size_t, size_t size, void* self);
    static size_t WriteCallback(char* data, size_t, size_t size, void* self);

    // The attempt's body has arrived whole; false (with Failure()) when what it decodes to is
    // incomplete.
    bool FinishBody();

    // Looks at the stop request when it has not been looked at for a while, or at once when
    // StopWakeup woke the transfer since the last look; true to stop.
    bool StopRequestedWhileIdle();
    // Looks at the stop request now.
    bool PollCancel();

    ResumeState& Resume() { return resume_; }
    bool Began() const { return began_; }
    bool Cancelled() const { return cancelled_; }
    // The body's answer of this attempt has arrived (not an error, not a redirect).
    bool Answered() const { return answered_; }
    // A status line of this attempt has arrived.
    bool SawResponse() const { return sawResponse_; }
    // The reason this attempt ended early, when it was ours rather than the network's.
    const QString& Failure() const { return failure_; }
    bool FailureIsRetriable() const { return retriable_; }
    std::optional<int> RetryAfter() const { return retryAfter_; }

private:
    bool OnHeaderLine(const char* data, size_t size);
    bool OnHeadersComplete();
    bool OnBody(const char* data, size_t size);
    bool Fail(const QString& text, bool retriable);

    TransferSession& session_;
    QIODevice& target_;
    ProgressSink* sink_;
    const unsigned chunkSize_;
    std::function<bool(const ResponseHeaders&)> check_;
    std::function<void(const ResumeState&)> wholeBodyListener_;
    qint64 origin_;            // where the body's first byte goes in the target
    qint64 continuedFrom_ = 0; // bytes the target held before this copy; not counted in the speed
    const bool decode_;
    ContentDecoder decoder_;
    QByteArray bodyCoding_; // the Content-Encoding of the body's whole answer

    ResumeState resume_;
    qint64 written_ = 0; // bytes in the target beyond origin_
    int totalKB_ = 0;
    bool began_ = false; // Begin has been sent: the copy loop is running
    bool cancelled_ = false;
    std::time_t startTime_ = 0;
    Clock::time_point lastCancelPoll_ = Clock::now();
    quint64 wakeGeneration_ = 0;

    ResponseHeaders headers_;
    bool continuing_ = false;
    bool sawResponse_ = false;
    bool answered_ = false;
    QString failure_;
    bool retriable_ = false;
    std::optional<int> retryAfter_;
    std::optional<SharedRate::Taker> taker_;
};

} // namespace Tarnwick
