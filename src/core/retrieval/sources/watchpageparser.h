#pragma once

#include <QString>

namespace Tarnwick {

// Lifts the stream request and the title out of a watch page. A page layout of another shape
// is a subclass that overrides the two extractions; Parse stays as it is.
class WatchPageParser {
public:
    // videoHost: the web host of the video service, possibly with a port.
    explicit WatchPageParser(QString videoHost);
    virtual ~WatchPageParser() = default;

    // The stream address, then (only if that succeeded) the title; true when both succeed.
    virtual bool Parse(const QString& page, QString& streamUrl, QString& title) const;
    virtual bool ExtractStreamUrl(const QString& page, QString& streamUrl) const;
    virtual bool ExtractTitle(const QString& page, QString& title) const;

protected:
    const QString& VideoHost() const { return videoHost_; }

private:
    QString videoHost_;
};

// The title without the site's prefix ("YouTube - "), which titles of its pages begin with.
QString WithoutSitePrefix(QString title);

} // namespace Tarnwick
