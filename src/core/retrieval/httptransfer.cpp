#include "httptransfer.h"

#include "queue/progresssink.h"

#include <QByteArray>
#include <QIODevice>
#include <QUrl>
#include <charconv>
#include <chrono>
#include <climits>
#include <ctime>
#include <curl/curl.h>

namespace Tarnwick {

namespace {

constexpr int MaxStatusTextLength = 1023;
// While no data arrives, the stop request is still looked at this often.
constexpr std::chrono::milliseconds IdleCancelPollInterval{250};
// The block size in which libcurl receives from the network.
constexpr unsigned NetworkBlockSize = 64 * 1024;

bool IsFetchableScheme(const QString& url) {
    const QString scheme = QUrl(url).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QByteArray TrimmedHeaderValue(const char* data, size_t size, size_t nameLength) {
    return QByteArray(data + nameLength, qsizetype(size - nameLength)).trimmed();
}

bool HeaderNameIs(const char* data, size_t size, const char* name) {
    const size_t length = qstrlen(name);
    return size >= length && qstrnicmp(data, name, length) == 0;
}

} // namespace

int ContentLengthKB(const QByteArray& headerValue) {
    // Leading blanks and a sign are allowed and the number ends at the first other character,
    // as a C conversion would read it. Sizes beyond 2 GiB are kept rather than wrapped.
    qsizetype i = 0;
    while (i < headerValue.size() && (headerValue[i] == ' ' || headerValue[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < headerValue.size() && (headerValue[i] == '+' || headerValue[i] == '-'))
        negative = headerValue[i++] == '-';
    qint64 length = 0;
    for (; i < headerValue.size() && headerValue[i] >= '0' && headerValue[i] <= '9'; ++i) {
        length = length * 10 + (headerValue[i] - '0');
        if (length > (qint64(1) << 50))
            break;
    }
    if (negative || length <= 0)
        return 0;
    return int(qMin<qint64>((length + 512) >> 10, INT_MAX));
}

QString TransferProgressText(double doneKB, int totalKB, qint64 seconds) {
    // "%d KB / %d KB" and ", %0.1f KB/s", written with to_chars: this runs for every 4 KiB
    // received, where a general formatter is a noticeable share of the work, and to_chars
    // writes '.' whatever the locale, as the text always had it.
    char text[128];
    char* const end = text + sizeof text;
    const auto append = [&](char* at, const char* literal) {
        while (*literal != 0 && at < end)
            *at++ = *literal++;
        return at;
    };
    char* at = std::to_chars(text, end, int(doneKB)).ptr;
    at = append(at, " KB / ");
    at = std::to_chars(at, end, totalKB).ptr;
    at = append(at, " KB");
    if (seconds > 0) {
        at = append(at, ", ");
        at = std::to_chars(at, end, doneKB / double(seconds), std::chars_format::fixed, 1).ptr;
        at = append(at, " KB/s");
    }
    return QString::fromLatin1(text, at - text);
}

// The state of one CopyUrlToFile call, shared with libcurl's callbacks.
struct HttpTransfer::Copy {
    using Clock = std::chrono::steady_clock;

    Copy(HttpTransfer& transfer, QIODevice& target, ProgressSink* sink)
        : transfer(transfer)
        , target(target)
        , sink(sink) {}

    HttpTransfer& transfer;
    QIODevice& target;
    ProgressSink* sink;

    // The response whose headers are being read.
    long status = 0;
    QByteArray reason;
    QByteArray contentLength;
    QByteArray contentType;
    QByteArray contentDisposition;
    bool hasLocation = false;
    int totalKB = 0;

    bool began = false;     // Begin has been sent: the copy loop is running
    bool cancelled = false; // the sink asked to stop
    QString failure;        // our own reason for ending the transfer, if any
    qint64 received = 0;
    std::time_t startTime = 0;
    Clock::time_point lastCancelPoll = Clock::now();

    bool PollCancel() {
        lastCancelPoll = Clock::now();
        if (sink != nullptr && sink->IsCancelled() != 0)
            cancelled = true;
        return cancelled;
    }

    // True to go on; false aborts the transfer.
    bool OnHeaderLine(const char* data, size_t size) {
        if (HeaderNameIs(data, size, "HTTP/")) {
            // "HTTP/1.1 404 Not Found": the code, then the reason phrase, which may hold blanks.
            const QByteArray line = QByteArray(data, qsizetype(size)).trimmed();
            const qsizetype codeStart = line.indexOf(' ');
            const qsizetype reasonStart = codeStart < 0 ? -1 : line.indexOf(' ', codeStart + 1);
            status = codeStart < 0 ? 0 : line.mid(codeStart + 1, reasonStart - codeStart - 1).toLong();
            reason = reasonStart < 0 ? QByteArray() : line.mid(reasonStart + 1).trimmed();
            contentLength.clear();
            contentType.clear();
            contentDisposition.clear();
            hasLocation = false;
            transfer.session_->Report(TransferSession::ResponseReceived);
            return true;
        }
        if (HeaderNameIs(data, size, "Content-Length:")) {
            contentLength = TrimmedHeaderValue(data, size, 15);
            return true;
        }
        if (HeaderNameIs(data, size, "Content-Type:")) {
            contentType = TrimmedHeaderValue(data, size, 13);
            return true;
        }
        if (HeaderNameIs(data, size, "Content-Disposition:")) {
            contentDisposition = TrimmedHeaderValue(data, size, 20);
            return true;
        }
        if (HeaderNameIs(data, size, "Location:")) {
            hasLocation = true;
            return true;
        }
        if (size <= 2 && (size == 0 || data[0] == '\r' || data[0] == '\n'))
            return OnHeadersComplete();
        return true;
    }

    bool OnHeadersComplete() {
        // Trailers after a chunked body end with a blank line too; the body has begun already.
        if (began)
            return true;
        // Interim answers and redirects that libcurl follows are not the body's response.
        if (status >= 100 && status < 200)
            return true;
        if (status >= 300 && status < 400 && hasLocation)
            return true;
        // An error page is not the video, however much of a body it has.
        if (status >= 400) {
            failure =
                QStringLiteral("The server answered %1 %2").arg(status).arg(QString::fromLatin1(reason));
            return false;
        }
        if (!CheckResponse())
            return false;
        began = true;
        totalKB = ContentLengthKB(contentLength);
        startTime = std::time(nullptr);
        if (sink != nullptr) {
            sink->Begin();
            sink->Progress(ProgressSink::ProgressTotal, totalKB);
        }
        return !PollCancel();
    }

    bool CheckResponse() {
        Response& response = transfer.lastResponse_;
        response.contentType = contentType;
        response.contentDisposition = contentDisposition;
        const char* effectiveUrl = nullptr;
        curl_easy_getinfo(transfer.session_->Handle(), CURLINFO_EFFECTIVE_URL, &effectiveUrl);
        if (effectiveUrl != nullptr)
            response.url = QString::fromUtf8(effectiveUrl);
        transfer.declined_ = transfer.responseCheck_ && !transfer.responseCheck_(response);
        return !transfer.declined_;
    }

    // One block from the network. It is stored in one write, then reported, with a stop poll,
    // in chunks of at most the read size: a stop discards the whole file anyway.
    bool OnBody(const char* data, size_t size) {
        if (target.write(data, qint64(size)) != qint64(size)) {
            failure = target.errorString();
            if (failure.isEmpty())
                failure = QStringLiteral("Cannot write the received data");
            return false;
        }
        if (sink == nullptr)
            return true;
        const size_t chunkSize = transfer.readBufferSize_;
        for (size_t offset = 0; offset < size; offset += chunkSize) {
            const qint64 length = qint64(qMin(chunkSize, size - offset));
            received += length;
            const qint64 seconds = qint64(std::time(nullptr) - startTime);
            sink->Status(
                ProgressSink::StatusActivity,
                TransferProgressText(double(received) / 1024.0, totalKB, seconds).left(MaxStatusTextLength));
            sink->Progress(ProgressSink::ProgressPosition, int(received >> 10));
            if (PollCancel())
                return false;
        }
        return true;
    }

    // Called by libcurl while it waits as well as while data flows, so that a stop request
    // takes effect even when the server sends nothing.
    bool OnIdle() {
        if (sink == nullptr || Clock::now() - lastCancelPoll < IdleCancelPollInterval)
            return true;
        return !PollCancel();
    }

    static size_t HeaderCallback(char* data, size_t, size_t size, void* self) {
        return static_cast<Copy*>(self)->OnHeaderLine(data, size) ? size : 0;
    }
    static size_t WriteCallback(char* data, size_t, size_t size, void* self) {
        return static_cast<Copy*>(self)->OnBody(data, size) ? size : 0;
    }
    static int IdleCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return static_cast<Copy*>(self)->OnIdle() ? 0 : 1;
    }
};

HttpTransfer::HttpTransfer() = default;
HttpTransfer::~HttpTransfer() = default;

bool HttpTransfer::OpenSession(ProgressSink* sink) {
    session_ = std::make_unique<TransferSession>(sink);
    sink_ = sink;
    if (!session_->IsOpen()) {
        session_.reset();
        return false;
    }
    return true;
}

void HttpTransfer::ReportResult(const QString& text) {
    if (sink_ != nullptr)
        sink_->Status(ProgressSink::StatusResult, text.left(MaxErrorTextLength));
}

bool HttpTransfer::CopyUrlToFile(const QString& url, QIODevice& target) {
    if (!session_)
        return false;
    if (!IsFetchableScheme(url)) {
        ReportResult(QStringLiteral("Only http and https addresses can be fetched: %1").arg(url));
        return false;
    }

    CURL* handle = session_->Handle();
    Copy copy(*this, target, sink_);
    lastResponse_ = Response{QByteArray(), QByteArray(), url};
    declined_ = false;
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    // libcurl receives in larger blocks than the read size: one system call per 4 KiB would
    // cost a third of the throughput on a fast link. OnBody still hands the data on, and
    // polls for a stop, one read-size chunk at a time.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, long(qMax(readBufferSize_, NetworkBlockSize)));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &Copy::HeaderCallback);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &copy);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Copy::WriteCallback);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &copy);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &Copy::IdleCallback);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &copy);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, long(ConnectTimeoutSeconds));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long(stallSeconds_));

    session_->Report(TransferSession::HandleCreated);
    const CURLcode code = curl_easy_perform(handle);
    session_->ReportRequestComplete(code == CURLE_OK ? 1 : 0, quint32(code));

    // Nothing of this call may outlive it inside the reused handle.
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);

    if (declined_)
        return false;
    if (copy.cancelled) {
        // A stop is not an error: the loop ends as on completion, with an empty result line.
        if (copy.began && sink_ != nullptr)
            sink_->End();
        ReportResult(QString());
        return false;
    }
    if (!copy.failure.isEmpty()) {
        ReportResult(copy.failure);
        return false;
    }
    if (code != CURLE_OK) {
        QString text = QString::fromUtf8(errorText[0] != 0 ? errorText : curl_easy_strerror(code));
        curl_off_t connectTime = 0;
        curl_easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
        if (code == CURLE_OPERATION_TIMEDOUT && connectTime > 0)
            text = QStringLiteral("The server sent nothing for %1 seconds").arg(stallSeconds_);
        else if (code == CURLE_OPERATION_TIMEDOUT)
            text = QStringLiteral("No connection to the server within %1 seconds").arg(ConnectTimeoutSeconds);
        else if (code == CURLE_UNSUPPORTED_PROTOCOL)
            text = QStringLiteral("Only http and https addresses can be fetched (%1)").arg(text);
        else if (code == CURLE_PARTIAL_FILE)
            text = QStringLiteral("The connection ended before the whole file arrived (%1)").arg(text);
        ReportResult(text);
        return false;
    }
    if (!copy.began) {
        // A response that ended without headers (or with only redirects) delivered no body.
        ReportResult(QStringLiteral("The server sent no response"));
        return false;
    }
    if (sink_ != nullptr)
        sink_->End();
    ReportResult(QString());
    return true;
}

} // namespace Tarnwick
