#pragma once

#include "testenvironment.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace TestSupport {

// A home folder of its own (HOME and XDG_CONFIG_HOME) and an installation folder whose
// "tarnwick" is the recording stand-in, named as "InstallDir" in the program's settings.
class HandOffFixture {
public:
    HandOffFixture();
    ~HandOffFixture();
    HandOffFixture(const HandOffFixture&) = delete;
    HandOffFixture& operator=(const HandOffFixture&) = delete;

    QString Home() const { return home_.path(); }
    QString ConfigHome() const { return profile_.ConfigHome(); }
    QString InstallFolder() const { return install_.path(); }
    QString QuilletStateFile() const;
    void SetInstallDir(const QString& folder) const;
    void ClearInstallDir() const;
    // Copies the stand-in in as <InstallDir>/tarnwick.
    bool InstallStandIn() const;
    // Quillet's flags as the registrar writes them: "ContextMenu" etc. set to 1 (also
    // "SendCookies", which Options writes).
    void SwitchOn(const QStringList& valueNames) const;

    struct Launch {
        bool detached = false;
        QByteArrayList arguments;
        QByteArray input;       // its standard input, when it was told to read it
        QByteArray environment; // its variables, each ended by a NUL byte
    };
    // The stand-in's records so far, oldest process id first.
    QList<Launch> Launches() const;

private:
    IsolatedProfile profile_;
    QTemporaryDir home_;
    QTemporaryDir install_;
    QByteArray oldHome_;
};

// PATH holds only a folder of empty stand-in programs with the given names while it lives, so
// that which browsers look installed does not depend on the machine.
class ProgramsOnPath {
public:
    explicit ProgramsOnPath(const QStringList& names);
    ~ProgramsOnPath();
    ProgramsOnPath(const ProgramsOnPath&) = delete;
    ProgramsOnPath& operator=(const ProgramsOnPath&) = delete;

private:
    QTemporaryDir folder_;
    QByteArray oldPath_;
};

} // namespace TestSupport
