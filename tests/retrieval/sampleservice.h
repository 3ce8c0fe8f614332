#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The bundled sample video service, started on a free loopback port with a media folder of its
// own for the life of the object.
class SampleService {
public:
    SampleService();
    ~SampleService();
    SampleService(const SampleService&) = delete;
    SampleService& operator=(const SampleService&) = delete;

    // Starts the service, with further options of videosvc; false (with the reason in Error())
    // when it does not come up.
    bool Start(const QStringList& options = {});
    const QString& Error() const { return error_; }

    // "127.0.0.1:<port>", the value of the VideoHost setting that points at the service.
    QString Host() const;
    QString Url(const QString& pathAndQuery) const;
    QString WatchUrl(const QString& id) const;

    QString MediaFolder() const { return media_.path(); }
    // The body of a GET of pathAndQuery, through the curl tool; empty when it fails.
    QByteArray Get(const QString& pathAndQuery) const;
    // Puts a file into the media folder (a video, a title or a page to be served as stored).
    bool AddMedia(const QString& fileName, const QByteArray& contents) const;
    // Makes the sample FLV and MP4 files the fault pages stream, once per service.
    bool AddSampleVideos();
    QByteArray MediaBytes(const QString& fileName) const;
    // Makes the web pages' media of id with make-web-media: renditions <id>-<height>.mp4 and
    // the HLS playlists under hls/<id>/ (extra: further options of the script).
    bool AddWebMedia(const QString& id, const QStringList& extra = {});

private:
    QTemporaryDir media_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

// Byte p of the service's /bytes bodies.
unsigned char PatternByte(qint64 position);
QByteArray PatternBytes(qint64 length);

// Version `version` of the service's /versioned body of length bytes.
QByteArray VersionedBytes(qint64 length, int version);

// What the service's /served says: the bytes its versioned bodies sent, and each request's
// "Range|If-Range", in order.
struct ServedLog {
    qint64 bytes = -1;
    QStringList requests;
};
ServedLog Served(const SampleService& service);
