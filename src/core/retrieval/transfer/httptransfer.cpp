#include "httptransfer.h"

#include "app/urlcheck.h"
#include "contentdecoder.h"
#include "copystate.h"
#include "jobcookies.h"
#include "queue/progresssink.h"
#include "queue/stopwakeup.h"
#include "retrypolicy.h"

#include <QByteArray>
#include <QIODevice>
#include <QUrl>
#include <charconv>
#include <chrono>
#include <climits>
#include <ctime>
#include <curl/curl.h>
#include <thread>
#include <utility>

namespace Tarnwick {

namespace {

// The block size in which libcurl receives from the network.
constexpr unsigned NetworkBlockSize = 64 * 1024;

// Failures of the network on the way, which a new attempt may well not meet.
bool IsRetriableCode(CURLcode code, bool requestSent) {
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return true;
    case CURLE_OPERATION_TIMEDOUT:
        // A stall; a server that cannot be reached at all is not waited for again.
        return requestSent;
    default:
        return false;
    }
}

// The failures that, with a proxy set, mean the proxy cannot be reached or refuses the way on.
bool IsProxyFailure(CURLcode code, bool requestSent) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
        return true;
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        // A tunnel the proxy refused ends before the request went to the server.
        return !requestSent;
    default:
        return false;
    }
}

// A failure the way a user would say it, with libcurl's own words (detail) after it for whoever
// needs them; failures without plainer words keep libcurl's. A time-out is a stall once the
// request went out, else a server that never answered the connection.
QString FailureText(CURLcode code, const QString& detail, bool requestSent, int stallSeconds) {
    const char* plain = nullptr;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return requestSent ? QStringLiteral("The server sent nothing for %1 seconds").arg(stallSeconds)
                           : QStringLiteral("No connection to the server within %1 seconds")
                                 .arg(HttpTransfer::ConnectTimeoutSeconds);
    case CURLE_UNSUPPORTED_PROTOCOL:
        plain = "Only http and https addresses can be fetched";
        break;
    case CURLE_PARTIAL_FILE:
        plain = "The connection ended before the whole file arrived";
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        plain = "The server's name cannot be found";
        break;
    case CURLE_COULDNT_CONNECT:
        plain = "The server cannot be reached";
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        plain = "The server's certificate cannot be trusted";
        break;
    case CURLE_SSL_CONNECT_ERROR:
        plain = "No secure connection to the server could be made";
        break;
    case CURLE_GOT_NOTHING:
        plain = "The server closed the connection without answering";
        break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        plain = "The connection to the server broke";
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        plain = "The address redirects too many times";
        break;
    case CURLE_URL_MALFORMAT:
        plain = "The address is not a valid address";
        break;
    default:
        return detail;
    }
    return QStringLiteral("%1 (%2)").arg(QLatin1String(plain), detail);
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

QString TransferProgressText(double doneKB, int totalKB, qint64 seconds, double startKB) {
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
        at =
            std::to_chars(at, end, qMax(0.0, doneKB - startKB) / double(seconds), std::chars_format::fixed, 1)
                .ptr;
        at = append(at, " KB/s");
    }
    return QString::fromLatin1(text, at - text);
}

HttpTransfer::HttpTransfer() = default;
HttpTransfer::~HttpTransfer() = default;

bool HttpTransfer::OpenSession(ProgressSink* sink) {
    session_ = std::make_unique<TransferSession>(sink);
    sink_ = sink;
    if (!session_->IsOpen()) {
        session_.reset();
        // Without libcurl (or memory for its handles) nothing can be fetched; say why.
        return ReportResultLine(sink, QString::fromUtf8(curl_easy_strerror(CURLE_FAILED_INIT)));
    }
    return true;
}

bool ReportResultLine(ProgressSink* sink, const QString& text) {
    if (sink != nullptr)
        sink->Status(ProgressSink::StatusResult, text.left(HttpTransfer::MaxErrorTextLength));
    return false;
}

void HttpTransfer::ReportResult(const QString& text) {
    ReportResultLine(sink_, text);
}

bool HttpTransfer::CopyUrlToFile(const QString& url, QIODevice& target, Body body) {
    failedTransiently_ = false;
    const qint64 continueBytes = std::exchange(continueBytes_, 0);
    const BodyIdentity continueIdentity = std::exchange(continueIdentity_, BodyIdentity());
    if (!session_)
        return false;
    if (!IsWebUrl(QUrl(url))) {
        ReportResult(QStringLiteral("Only http and https addresses can be fetched: %1").arg(url));
        return false;
    }

    CURL* handle = session_->Handle();
    CopyState copy(*session_, target, sink_, readBufferSize_, body == Body::Read);
    copy.SetRate(network_.rate);
    lastResponse_ = Response{QByteArray(), QByteArray(), url};
    declined_ = false;
    copy.SetResponseCheck([this, handle](const ResponseHeaders& headers) {
        lastResponse_.contentType = headers.contentType;
        lastResponse_.contentDisposition = headers.contentDisposition;
        const char* effectiveUrl = nullptr;
        curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effectiveUrl);
        if (effectiveUrl != nullptr)
            lastResponse_.url = QString::fromUtf8(effectiveUrl);
        declined_ = responseCheck_ && !responseCheck_(lastResponse_);
        return !declined_;
    });
    if (continueBytes > 0 && !copy.ContinueFrom(continueBytes, continueIdentity.length, continueIdentity.etag,
                                                continueIdentity.lastModified)) {
        // Nothing vouches for the bytes held: the body starts again where they began.
        if (!TruncateTarget(target, target.pos() - qMin(continueBytes, target.pos()))) {
            ReportResult(QStringLiteral("The file cannot be started again: %1").arg(target.errorString()));
            return false;
        }
    }
    if (bodyListener_)
        copy.SetWholeBodyListener([this](const ResumeState& body) {
            bodyListener_(BodyIdentity{body.Etag(), body.LastModified(), body.Total()});
        });
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray address = url.toUtf8();
    // libcurl parses no address of more than 8,000,000 bytes, and would then report the
    // request as "No URL set".
    constexpr qsizetype MaxAddressBytes = 8000000;
    if (address.size() > MaxAddressBytes ||
        curl_easy_setopt(handle, CURLOPT_URL, address.constData()) != CURLE_OK) {
        ReportResult(
            QStringLiteral("Cannot fetch an address of %1 bytes: address too long").arg(address.size()));
        return false;
    }
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    // libcurl receives in larger blocks than the read size: one system call per 4 KiB would
    // cost a third of the throughput on a fast link. The copy still hands the data on, and
    // polls for a stop, one read-size chunk at a time.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, long(qMax(readBufferSize_, NetworkBlockSize)));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &CopyState::HeaderCallback);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &copy);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &CopyState::WriteCallback);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &copy);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, long(ConnectTimeoutSeconds));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, long(stallSeconds_));
    // libcurl only sends the header; the session leaves decoding to the copy, which knows
    // whether the body is read or saved.
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING,
                     body == Body::Read ? ContentDecoder::AcceptedEncodings() : "identity");
    // The handle is reused: each call sets the proxy of its own network, or none of Tarnwick's.
    // An explicit proxy serves every host, whatever NO_PROXY of the environment says.
    const QByteArray proxy = network_.proxy.toUtf8();
    curl_easy_setopt(handle, CURLOPT_PROXY, proxy.isEmpty() ? nullptr : proxy.constData());
    curl_easy_setopt(handle, CURLOPT_NOPROXY, proxy.isEmpty() ? nullptr : "");
    if (network_.cookies != nullptr)
        network_.cookies->Attach(handle);

    QString failure;
    bool completed = false;
    bool retriable = false;
    for (int attempt = 0;; ++attempt) {
        const AttemptResult result = RunAttempt(copy, errorText);
        if (result.completed) {
            completed = true;
            break;
        }
        if (copy.Cancelled() || declined_)
            break;
        failure = result.failure;
        retriable = result.retriable;
        if (!result.retriable || attempt >= retryPolicy_.retries)
            break;
        if (!WaitBeforeRetry(copy, attempt + 1, retryPolicy_.WaitSeconds(attempt + 1, copy.RetryAfter())))
            break;
    }

    // Nothing of this call may outlive it inside the reused handle: the job's cookies included,
    // whose jar must be free of handles when it goes.
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, nullptr);
    if (network_.cookies != nullptr)
        curl_easy_setopt(handle, CURLOPT_SHARE, nullptr);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, nullptr);

    failedTransiently_ = !completed && !copy.Cancelled() && !declined_ && retriable;
    if (declined_)
        return false;
    if (copy.Cancelled()) {
        // A stop is not an error: the loop ends as on completion, with an empty result line.
        if (copy.Began() && sink_ != nullptr)
            sink_->End();
        ReportResult(QString());
        return false;
    }
    if (!completed) {
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        ReportResult(WithSignInHint(failure, status, network_.cookies != nullptr));
        return false;
    }
    if (sink_ != nullptr)
        sink_->End();
    ReportResult(QString());
    return true;
}

HttpTransfer::AttemptResult HttpTransfer::RunAttempt(CopyState& copy, const char* errorText) {
    CURL* handle = session_->Handle();
    const bool continuing = copy.Resume().CanContinue();
    copy.StartAttempt(continuing);
    curl_slist* headers = nullptr;
    for (const QByteArray& header : requestHeaders_)
        headers = curl_slist_append(headers, header.constData());
    if (continuing)
        for (const QByteArray& header : copy.Resume().ContinuationHeaders())
            headers = curl_slist_append(headers, header.constData());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

    session_->Report(TransferSession::HandleCreated);
    const auto code = CURLcode(session_->Perform([&copy] { return copy.StopRequestedWhileIdle(); }));
    session_->ReportRequestComplete(code == CURLE_OK ? 1 : 0, quint32(code));
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);

    AttemptResult result;
    if (copy.Cancelled())
        return result;
    if (!copy.Failure().isEmpty()) {
        result.failure = copy.Failure();
        result.retriable = copy.FailureIsRetriable();
        return result;
    }
    if (code == CURLE_OK) {
        result.completed = copy.Answered();
        // A response that ended without headers (or with only redirects) delivered no body.
        if (!result.completed)
            result.failure = QStringLiteral("The server sent no response");
        else if (!copy.FinishBody()) {
            result.completed = false;
            result.failure = copy.Failure();
        }
        return result;
    }
    curl_off_t requestSize = 0;
    curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestSize);
    const bool requestSent = requestSize > 0 || copy.SawResponse();
    result.retriable = IsRetriableCode(code, requestSent);
    const QString detail = QString::fromUtf8(errorText[0] != 0 ? errorText : curl_easy_strerror(code));
    result.failure = FailureText(code, detail, requestSent, stallSeconds_);
    if (!network_.proxy.isEmpty() && IsProxyFailure(code, requestSent)) {
        // With a proxy set, every connection is one to the proxy: its failure is the proxy's.
        result.failure =
            QStringLiteral("Cannot reach the proxy %1: %2").arg(ProxyShownAs(network_.proxy), detail);
        result.retriable = false;
    }
    return result;
}

bool HttpTransfer::WaitBeforeRetry(CopyState& copy, int retry, int seconds) {
    using Clock = std::chrono::steady_clock;
    const std::chrono::duration<double, std::milli> wait(1000.0 * seconds *
                                                         qMax(0.0, retryPolicy_.waitScale));
    const auto start = Clock::now();
    int shown = -1;
    for (;;) {
        const std::chrono::duration<double, std::milli> elapsed = Clock::now() - start;
        // The stated seconds still to go, as a count-down.
        const int left = wait.count() > 0 ? seconds - int(seconds * elapsed.count() / wait.count()) : seconds;
        if (left != shown && sink_ != nullptr) {
            sink_->Status(ProgressSink::StatusWaiting,
                          RetryingText(qMax(left, 1), retry, retryPolicy_.retries));
            shown = left;
        }
        // Read before the look at the request, so that a stop right after it still ends the wait.
        const quint64 wakeGeneration = StopWakeup::Generation();
        if (copy.PollCancel())
            return false;
        if (elapsed >= wait) {
            if (sink_ != nullptr)
                sink_->Status(ProgressSink::StatusWaiting, QString());
            return true;
        }
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(wait - elapsed);
        StopWakeup::WaitFor(wakeGeneration,
                            qMin(rest + std::chrono::milliseconds(1),
                                 std::chrono::milliseconds(TransferSession::PollMilliseconds)));
    }
}

} // namespace Tarnwick
