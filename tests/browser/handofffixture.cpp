#include "handofffixture.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <algorithm>

namespace TestSupport {

HandOffFixture::HandOffFixture()
    : oldHome_(qgetenv("HOME")) {
    qputenv("HOME", home_.path().toUtf8());
    SetInstallDir(install_.path());
}

HandOffFixture::~HandOffFixture() {
    qputenv("HOME", oldHome_);
}

QString HandOffFixture::QuilletStateFile() const {
    return ConfigHome() + QStringLiteral("/Ostrand/Quillet.conf");
}

void HandOffFixture::SetInstallDir(const QString& folder) const {
    QSettings settings(profile_.SettingsFile(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("InstallDir"), folder);
}

void HandOffFixture::ClearInstallDir() const {
    QSettings settings(profile_.SettingsFile(), QSettings::IniFormat);
    settings.remove(QStringLiteral("InstallDir"));
}

bool HandOffFixture::InstallStandIn() const {
    const QString target = QDir(install_.path()).filePath(QStringLiteral("tarnwick"));
    return QFile::copy(QStringLiteral(ARGV_RECORDER), target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner);
}

void HandOffFixture::SwitchOn(const QStringList& valueNames) const {
    QSettings settings(QuilletStateFile(), QSettings::IniFormat);
    for (const QString& name : valueNames)
        settings.setValue(name, 1);
}

QList<HandOffFixture::Launch> HandOffFixture::Launches() const {
    QDir folder(QDir(install_.path()).filePath(QStringLiteral("launches")));
    QStringList names = folder.entryList({QStringLiteral("[0-9]*")}, QDir::Files);
    names.removeIf([](const QString& name) {
        bool number = false;
        name.toInt(&number);
        return !number;
    });
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    QList<Launch> launches;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray record = file.readAll();
        const qsizetype lineEnd = record.indexOf('\n');
        Launch launch;
        launch.detached = record.left(lineEnd) == "detached";
        QByteArray rest = record.mid(lineEnd + 1);
        while (!rest.isEmpty()) {
            const qsizetype end = rest.indexOf('\0');
            launch.arguments.append(rest.left(end));
            rest = rest.mid(end + 1);
        }
        const auto contents = [&folder](const QString& name) {
            QFile file(folder.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        launch.input = contents(name + QStringLiteral(".input"));
        launch.environment = contents(name + QStringLiteral(".environ"));
        launches.append(launch);
    }
    return launches;
}

ProgramsOnPath::ProgramsOnPath(const QStringList& names)
    : oldPath_(qgetenv("PATH")) {
    for (const QString& name : names) {
        QFile program(folder_.filePath(name));
        program.open(QIODevice::WriteOnly);
        program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    qputenv("PATH", folder_.path().toUtf8());
}

ProgramsOnPath::~ProgramsOnPath() {
    qputenv("PATH", oldPath_);
}

} // namespace TestSupport
