#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes an executable shell script that stands in for a program (yt-dlp, in these cases), so
// that a case can make it answer exactly as it needs.
inline bool WriteStandInProgram(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray script = "#!/bin/sh\n" + body + "\n";
    if (file.write(script) != script.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
