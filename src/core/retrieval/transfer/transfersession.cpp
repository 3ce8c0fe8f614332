#include "transfersession.h"

#include "queue/progresssink.h"

#include <QUrl>
#include <curl/curl.h>
#include <mutex>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace Tarnwick {

namespace {

// Texts are cut where the fixed-size buffers of the window end.
constexpr int MaxStatusTextLength = 1023;
constexpr long ConnectionLimit = 5;
constexpr long RedirectLimit = 10;

void InitializeLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TransferSession* SessionOf(void* clientData) {
    return static_cast<TransferSession*>(clientData);
}

QString AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    return QString::fromLatin1(text);
}

int OnResolverStart(void*, void*, void* clientData) {
    SessionOf(clientData)->OnResolverStart();
    return 0;
}

curl_socket_t OnOpenSocket(void* clientData, curlsocktype, curl_sockaddr* address) {
    SessionOf(clientData)->OnOpenSocket(AddressText(&address->addr));
    return socket(address->family, address->socktype, address->protocol);
}

int OnCloseSocket(void* clientData, curl_socket_t socketHandle) {
    SessionOf(clientData)->OnCloseSocket();
#ifdef Q_OS_WIN
    const int result = closesocket(socketHandle);
#else
    const int result = close(socketHandle);
#endif
    SessionOf(clientData)->Report(TransferSession::ConnectionClosed);
    return result;
}

int OnBeforeRequest(void* clientData, char*, char*, int, int) {
    SessionOf(clientData)->OnBeforeRequest();
    return CURL_PREREQFUNC_OK;
}

int OnDebug(CURL*, curl_infotype type, char*, size_t, void* clientData) {
    if (type == CURLINFO_HEADER_OUT)
        SessionOf(clientData)->OnHeaderSent();
    return 0;
}

} // namespace

TransferSession::TransferSession(ProgressSink* sink)
    : sink_(sink) {
    InitializeLibraryOnce();
    handle_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (handle_ != nullptr)
        InstallCallbacks();
}

TransferSession::~TransferSession() {
    // Closing the cached connections reports through the socket callbacks; the sink may be
    // gone by now, and nobody watches a session that is being released.
    sink_ = nullptr;
    if (multi_ != nullptr)
        curl_multi_cleanup(multi_);
    if (handle_ != nullptr)
        curl_easy_cleanup(handle_);
}

void TransferSession::InstallCallbacks() {
    curl_easy_setopt(handle_, CURLOPT_USERAGENT, "Tarnwick");
    // Redirects are followed, but never to anything that does not speak HTTP.
    curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle_, CURLOPT_MAXREDIRS, RedirectLimit);
    curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle_, CURLOPT_MAXCONNECTS, ConnectionLimit);
    // The transfer runs on a worker thread; signals must stay with the program.
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    // Each copy says which encodings it asks for; undoing them is the copy's business, since
    // libcurl would neither notice a compressed body that was cut short nor pass over the bytes
    // that some servers leave after a complete one.
    curl_easy_setopt(handle_, CURLOPT_HTTP_CONTENT_DECODING, 0L);

    curl_easy_setopt(handle_, CURLOPT_RESOLVER_START_FUNCTION, &Tarnwick::OnResolverStart);
    curl_easy_setopt(handle_, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(handle_, CURLOPT_OPENSOCKETFUNCTION, &Tarnwick::OnOpenSocket);
    curl_easy_setopt(handle_, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(handle_, CURLOPT_CLOSESOCKETFUNCTION, &Tarnwick::OnCloseSocket);
    curl_easy_setopt(handle_, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(handle_, CURLOPT_PREREQFUNCTION, &Tarnwick::OnBeforeRequest);
    curl_easy_setopt(handle_, CURLOPT_PREREQDATA, this);
    // The debug callback is the only place that tells when the request has gone out; it is
    // called only in verbose mode, and with a callback installed nothing is printed.
    curl_easy_setopt(handle_, CURLOPT_DEBUGFUNCTION, &Tarnwick::OnDebug);
    curl_easy_setopt(handle_, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(handle_, CURLOPT_VERBOSE, 1L);
}

QString TransferSession::EventText(int event, const QString& information) {
    switch (event) {
    case ResolvingName:
        return QStringLiteral("Resolving name for %1").arg(information);
    case NameResolved:
        return QStringLiteral("Resolved name for %1").arg(information);
    case ConnectingToServer:
        return QStringLiteral("Connecting to socket address ");
    case ConnectedToServer:
        return QStringLiteral("Connected to socket address");
    case SendingRequest:
        return QStringLiteral("Sending request...");
    case RequestSent:
        return QStringLiteral("Request sent");
    case ResponseReceived:
        return QStringLiteral("Response received");
    case ClosingConnection:
        return QStringLiteral("Closing the connection to the server");
    case ConnectionClosed:
        return QStringLiteral("Connection to the server closed");
    case HandleCreated:
        return QStringLiteral("");
    case ReceivingResponse:
    case HandleClosing:
        return QString();
    case RequestComplete:
        return QStringLiteral("Request complete");
    default:
        return QStringLiteral("Unknown status: %1").arg(event);
    }
}

void TransferSession::Report(int event, const QString& information) {
    if (sink_ == nullptr)
        return;
    const QString text = EventText(event, information);
    if (!text.isNull())
        sink_->Status(ProgressSink::StatusActivity, text.left(MaxStatusTextLength));
}

void TransferSession::ReportRequestComplete(quint32 result, quint32 error) {
    if (sink_ != nullptr)
        sink_->Status(
            ProgressSink::StatusActivity,
            QString::asprintf("Request complete, dwResult = %8.8X, dwError = %8.8X", result, error));
}

void TransferSession::OnResolverStart() {
    char* url = nullptr;
    curl_easy_getinfo(handle_, CURLINFO_EFFECTIVE_URL, &url);
    resolving_ = true;
    Report(ResolvingName, url != nullptr ? QUrl(QString::fromUtf8(url)).host() : QString());
}

void TransferSession::OnOpenSocket(const QString& address) {
    if (resolving_) {
        resolving_ = false;
        Report(NameResolved, address);
    }
    connecting_ = true;
    Report(ConnectingToServer);
}

void TransferSession::OnBeforeRequest() {
    // A reused connection was reported as connected when it was made.
    if (connecting_) {
        connecting_ = false;
        Report(ConnectedToServer);
    }
    requestPending_ = true;
    Report(SendingRequest);
}

void TransferSession::OnHeaderSent() {
    // A long request head may go out in several pieces; it is sent once.
    if (requestPending_) {
        requestPending_ = false;
        Report(RequestSent);
    }
}

void TransferSession::OnCloseSocket() {
    Report(ClosingConnection);
}

} // namespace Tarnwick
