#pragma once

#include <QString>
#include <functional>

typedef void CURL;
typedef void CURLM;

namespace Tarnwick {

class ProgressSink;

// The internet session of one job: one reused libcurl easy handle, so that the page and the
// stream of a job can share a connection. It turns what libcurl lets us observe about the
// connection into the activity texts the window shows.
class TransferSession {
public:
    // The events, numbered as the session status codes the activity texts were first written for.
    enum Event {
        ResolvingName = 10,
        NameResolved = 11,
        ConnectingToServer = 20,
        ConnectedToServer = 21,
        SendingRequest = 30,
        RequestSent = 31,
        ReceivingResponse = 40,
        ResponseReceived = 41,
        ClosingConnection = 50,
        ConnectionClosed = 51,
        HandleCreated = 60,
        HandleClosing = 70,
        RequestComplete = 100,
    };

    explicit TransferSession(ProgressSink* sink);
    ~TransferSession();
    TransferSession(const TransferSession&) = delete;
    TransferSession& operator=(const TransferSession&) = delete;

    // How often a transfer that receives nothing still looks at its stop request, in case a
    // stop came without StopWakeup::WakeAll (a signal handler cannot take its lock).
    static constexpr int PollMilliseconds = 50;

    bool IsOpen() const { return handle_ != nullptr && multi_ != nullptr; }
    CURL* Handle() const { return handle_; }
    ProgressSink* Sink() const { return sink_; }

    // Runs the request set up on Handle() to its end. stopRequested is asked after every wait;
    // a wait lasts at most PollMilliseconds and ends at once on StopWakeup::WakeAll. true ends
    // the request with CURLE_ABORTED_BY_CALLBACK. Returns the request's CURLcode.
    int Perform(const std::function<bool()>& stopRequested);

    // Sends the event's activity text to the sink (some events have none).
    void Report(int event, const QString& information = {});
    // The request-complete event with its two result fields.
    void ReportRequestComplete(quint32 result, quint32 error);

    // The activity text of an event, empty for "send an empty text", null for "send nothing".
    static QString EventText(int event, const QString& information);

    // libcurl's callbacks; public only so that the C callbacks can reach them.
    void OnResolverStart();
    void OnOpenSocket(const QString& address);
    void OnBeforeRequest();
    void OnHeaderSent();
    void OnCloseSocket();

private:
    void InstallCallbacks();

    CURL* handle_ = nullptr;
    // The request runs inside a multi handle, which waits with a timeout where the easy
    // interface would block; it also keeps the connections for the next request.
    CURLM* multi_ = nullptr;
    ProgressSink* sink_ = nullptr;
    bool resolving_ = false;
    bool connecting_ = false;
    bool requestPending_ = false;
};

} // namespace Tarnwick
