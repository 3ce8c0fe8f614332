#include "bodycount.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace VideoService {

namespace {

struct Books {
    std::mutex mutex;
    std::map<std::string, std::map<std::string, int>> bodiesOf; // site -> tag -> bodies
    int most = 0;
    std::map<std::string, int> mostOf;

    int Now() const {
        int now = 0;
        for (const auto& [site, tags] : bodiesOf)
            now += int(tags.size());
        return now;
    }
};

Books& TheBooks() {
    static Books books;
    return books;
}

} // namespace

BodyCount::Ticket::Ticket(std::string site, std::string tag)
    : site_(std::move(site))
    , tag_(std::move(tag)) {
    Books& books = TheBooks();
    std::lock_guard lock(books.mutex);
    ++books.bodiesOf[site_][tag_];
    books.most = std::max(books.most, books.Now());
    int& ofSite = books.mostOf[site_];
    ofSite = std::max(ofSite, int(books.bodiesOf[site_].size()));
}

void BodyCount::Ticket::End() {
    Books& books = TheBooks();
    std::lock_guard lock(books.mutex);
    if (std::exchange(ended_, true))
        return;
    auto& tags = books.bodiesOf[site_];
    if (--tags[tag_] == 0)
        tags.erase(tag_);
}

std::shared_ptr<BodyCount::Ticket> BodyCount::Begin(const std::string& site, const std::string& tag) {
    return std::make_shared<Ticket>(site, tag);
}

std::string BodyCount::Report() {
    Books& books = TheBooks();
    std::lock_guard lock(books.mutex);
    std::string text = "all " + std::to_string(books.most) + "\n";
    for (const auto& [site, most] : books.mostOf)
        text += site + " " + std::to_string(most) + "\n";
    return text;
}

void BodyCount::Reset() {
    Books& books = TheBooks();
    std::lock_guard lock(books.mutex);
    books.most = books.Now();
    books.mostOf.clear();
    for (const auto& [site, tags] : books.bodiesOf)
        books.mostOf[site] = int(tags.size());
}

std::string SiteOfHostHeader(const std::string& host) {
    if (!host.empty() && host.front() == '[')
        return host.substr(0, host.find(']') + 1);
    return host.substr(0, host.rfind(':'));
}

} // namespace VideoService
