#pragma once

#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// Gives the running case a settings, data and cache home of its own, so that no test reads or
// writes the user's files and no two cases see each other's settings. Restores the old values when
// it goes out of scope.
class IsolatedProfile {
public:
    IsolatedProfile();
    ~IsolatedProfile();
    IsolatedProfile(const IsolatedProfile&) = delete;
    IsolatedProfile& operator=(const IsolatedProfile&) = delete;

    bool IsValid() const { return root_.isValid(); }
    QString ConfigHome() const;
    QString DataHome() const;
    QString CacheHome() const;
    // $XDG_CONFIG_HOME/Ostrand/Tarnwick.conf
    QString SettingsFile() const;

private:
    QTemporaryDir root_;
    QByteArray oldConfigHome_;
    QByteArray oldDataHome_;
    QByteArray oldCacheHome_;
};

// Makes a named pipe, or a socket (left without a listener), at path; true when it exists.
bool MakeSpecialFile(const QString& path, bool socket);

// The build's installation folder (build/bin) and the tools the tests run.
QString BinDir();
QString FfmpegPath();
QString FfprobePath();

// "<height> <codec>" of the file's first picture stream, as ffprobe says it ("1080 vp9"); empty
// when it has none.
QString ProbedPicture(const QString& path);
// Whether the file has a sound stream.
bool ProbedSound(const QString& path);
// The file's tag of that name ("title"); empty when it has none.
QString ProbedTag(const QString& path, const QString& name);

} // namespace TestSupport
