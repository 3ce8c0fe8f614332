#pragma once

#include <memory>
#include <string>

namespace VideoService {

// Counts the downloads being served at once, in all and by the site the client asked for (the
// host name of its Host header), and the most of each seen, so that a test can tell how many
// downloads a client ran side by side. Bodies of one tag (one download's address) count as one:
// a client may look at an address before it downloads it, and the two answers overlap.
class BodyCount {
public:
    // One body counted: until End(), or until it goes (a client that went away is noticed
    // only at the next write, a moment later; a body sent whole ends at its last byte).
    class Ticket {
    public:
        Ticket(std::string site, std::string tag);
        ~Ticket() { End(); }
        void End();

    private:
        std::string site_;
        std::string tag_;
        bool ended_ = false;
    };

    // Counts a body of tag (one download's address) from site.
    static std::shared_ptr<Ticket> Begin(const std::string& site, const std::string& tag);
    // "all N" and one "site N" line per site, of the most seen since the last reset.
    static std::string Report();
    static void Reset();
};

// The host part of a Host header value ("127.0.0.1:8123" -> "127.0.0.1").
std::string SiteOfHostHeader(const std::string& host);

} // namespace VideoService
