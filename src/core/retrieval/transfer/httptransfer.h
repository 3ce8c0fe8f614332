#pragma once

#include "retrypolicy.h"
#include "transfernetwork.h"
#include "transfersession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>

class QIODevice;

namespace Tarnwick {

class CopyState;
class ProgressSink;

// Copies the body of an http or https address into a file or a memory buffer, reporting
// progress, speed and connection activity to a ProgressSink and stopping when the sink says
// the user cancelled. One transfer serves the page and the stream of one job; everything
// runs synchronously on the calling thread.
class HttpTransfer {
public:
    static constexpr unsigned DefaultReadBufferSize = 1024;
    // A transfer that receives nothing for this long has failed.
    static constexpr int DefaultStallSeconds = 60;
    static constexpr int ConnectTimeoutSeconds = 30;
    // Error texts are cut where the fixed-size buffers of the window end.
    static constexpr int MaxErrorTextLength = 254;

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Opens the session and keeps the sink, which may be null (a silent, uncancellable copy).
    bool OpenSession(ProgressSink* sink);

    // The size of each read and of libcurl's receive buffer; each delivered block is one chunk.
    unsigned ReadBufferSize() const { return readBufferSize_; }
    // Kept within what libcurl accepts for its buffer (1 KiB to 10 MiB).
    void SetReadBufferSize(unsigned size) { readBufferSize_ = qBound(1024u, size, 10u << 20); }
    int StallSeconds() const { return stallSeconds_; }
    void SetStallSeconds(int seconds) { stallSeconds_ = seconds; }
    const RetryPolicy& Retries() const { return retryPolicy_; }
    void SetRetries(const RetryPolicy& policy) { retryPolicy_ = policy; }
    // How many segments of a playlist are fetched at once (the setting SegmentConnections).
    static constexpr int DefaultSegmentConnections = 4;
    int SegmentConnections() const { return segmentConnections_; }
    void SetSegmentConnections(int connections) { segmentConnections_ = qBound(1, connections, 16); }
    // Header lines ("Name: value") sent with every request besides the transfer's own, such
    // as the User-Agent, Referer and cookies a site expects with its media. The caller
    // vouches that each is one well-formed line.
    const QList<QByteArray>& RequestHeaders() const { return requestHeaders_; }
    void SetRequestHeaders(const QList<QByteArray>& lines) { requestHeaders_ = lines; }
    // The proxy and the shared speed limit of every request from now on.
    const TransferNetwork& Network() const { return network_; }
    void SetNetwork(const TransferNetwork& network) { network_ = network; }

    // What the response whose body is delivered said about it, and where it came from after
    // redirects.
    struct Response {
        QByteArray contentType;
        QByteArray contentDisposition;
        QString url;
    };
    // Looked at once the body's response headers are in, before anything is reported; false
    // ends the copy there, quietly (no Begin, End or result line): CopyUrlToFile returns false
    // and WasDeclined() is true. An empty function lets every body through.
    void SetResponseCheck(std::function<bool(const Response&)> check) { responseCheck_ = std::move(check); }
    const Response& LastResponse() const { return lastResponse_; }
    bool WasDeclined() const { return declined_; }

    // What an answer says of the body it starts from the first byte: enough to ask a later
    // request for the rest of that same body.
    struct BodyIdentity {
        QByteArray etag;
        QByteArray lastModified;
        qint64 length = -1;
    };
    // The next CopyUrlToFile continues a body whose first bytes its target holds already, up to
    // the target's position, as identity describes it: it asks for the rest with Range and
    // If-Range, appends an answer that continues that body and starts again from the target's
    // start on any other. Without a validator in identity it starts again at once.
    void ContinueNextCopy(qint64 heldBytes, const BodyIdentity& identity) {
        continueBytes_ = heldBytes;
        continueIdentity_ = identity;
    }
    // Called on the transfer's thread whenever an answer starts a body from its first byte.
    void SetBodyListener(std::function<void(const BodyIdentity&)> listener) {
        bodyListener_ = std::move(listener);
    }
    // The last copy failed in a way that a later attempt may mend: the network cut it off or
    // the server was busy, and the retries did not get past it. False after a completed copy,
    // a stop, and failures for good (a 4xx answer, an answer the check declined, a file that
    // cannot be written).
    bool FailedTransiently() const { return failedTransiently_; }

    // Writes the body of url to target, which the caller has opened. True when the whole body
    // arrived with a status below 400; false on any failure and on cancel, after the result
    // line has gone to the sink. What was written before a failure stays in the target.
    // A transfer cut by the network or answered "try later" is tried again as Retries()
    // says, continuing from what arrived when the server allows that; a body that starts
    // again replaces what this call wrote, and nothing before the target's first position.
    //
    // A body Tarnwick reads itself (Body::Read: a page, a playlist) is asked for in every
    // encoding the transfer can decode, and decoded on its way into the target whatever encoding
    // the server chose. A body to be saved (Body::Save: media) is asked for as stored, so that
    // ranges, resuming and the sizes in the progress texts keep meaning its raw bytes.
    enum class Body { Save, Read };
    bool CopyUrlToFile(const QString& url, QIODevice& target, Body body = Body::Save);

    void ReportResult(const QString& text);

private:
    struct AttemptResult {
        bool completed = false;
        bool retriable = false;
        QString failure;
    };

    AttemptResult RunAttempt(CopyState& copy, const char* errorText);
    // Counts down on the status line; false when a stop ended the wait.
    bool WaitBeforeRetry(CopyState& copy, int retry, int seconds);

    std::unique_ptr<TransferSession> session_;
    unsigned readBufferSize_ = DefaultReadBufferSize;
    int stallSeconds_ = DefaultStallSeconds;
    RetryPolicy retryPolicy_;
    int segmentConnections_ = DefaultSegmentConnections;
    QList<QByteArray> requestHeaders_;
    TransferNetwork network_;
    ProgressSink* sink_ = nullptr;
    std::function<bool(const Response&)> responseCheck_;
    Response lastResponse_;
    bool declined_ = false;
    qint64 continueBytes_ = 0;
    BodyIdentity continueIdentity_;
    std::function<void(const BodyIdentity&)> bodyListener_;
    bool failedTransiently_ = false;
};

// "%d KB / %d KB" with the speed when a whole second has passed since the headers arrived; the
// speed counts what arrived beyond startKB, the part a continued download had already.
QString TransferProgressText(double doneKB, int totalKB, qint64 seconds, double startKB = 0);
// The Content-Length value in KB, rounded to the nearest KB; 0 when absent or not a number.
int ContentLengthKB(const QByteArray& headerValue);

// Sends a failure's reason (or an empty text on completion) to the sink as its result line, cut
// to HttpTransfer::MaxErrorTextLength; a null sink hears nothing. Returns false, for callers
// that fail with it.
bool ReportResultLine(ProgressSink* sink, const QString& text);

} // namespace Tarnwick
