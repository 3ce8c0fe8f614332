#pragma once

#include <QString>
#include <memory>

namespace Tarnwick {

class JobCookies;
class SharedRate;

// How the transfers of a run reach the network: through which proxy, and under which shared
// speed limit. Every transfer of a job (its page, its stream, each segment lane) takes the
// same one.
struct TransferNetwork {
    // "scheme://[user:password@]host:port"; empty: none of Tarnwick's own (libcurl then reads
    // the usual proxy variables of the environment).
    QString proxy;
    // Shared by every download of the process; null: no limit.
    SharedRate* rate = nullptr;
    // The job's own cookies, shared by all its transfers; null: none sent and none kept.
    std::shared_ptr<JobCookies> cookies;
};

// Whether text is a proxy address Tarnwick can use: http, https, socks5 or socks5h, a host and
// a port, optionally a user (and a password only with a user), and nothing else (no path, query
// or fragment).
bool IsUsableProxy(const QString& text);

// The proxy as a reason or a log may show it: without its password.
QString ProxyShownAs(const QString& proxy);

// The password of a proxy address, decoded; empty when it has none.
QString ProxyPassword(const QString& proxy);
// The address with the password put in (or taken out, when empty), so that a form can keep the
// password in a field of its own that does not show it.
QString WithProxyPassword(const QString& proxy, const QString& password);

} // namespace Tarnwick
