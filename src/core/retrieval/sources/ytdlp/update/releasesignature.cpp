#include "releasesignature.h"

#include "programrun.h"

#include <QFile>
#include <QList>
#include <QTemporaryDir>

namespace Tarnwick {

namespace {

constexpr int GpgvTimeoutSeconds = 60;

bool WriteWhole(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush();
}

} // namespace

QByteArray DearmorPublicKey(const QByteArray& armored) {
    const QList<QByteArray> lines = armored.split('\n');
    qsizetype line = 0;
    while (line < lines.size() && lines[line].trimmed() != "-----BEGIN PGP PUBLIC KEY BLOCK-----")
        ++line;
    if (line == lines.size())
        return QByteArray();
    // Armour headers ("Comment: ...") run up to the first empty line.
    ++line;
    while (line < lines.size() && !lines[line].trimmed().isEmpty())
        ++line;
    QByteArray base64;
    bool ended = false;
    for (++line; line < lines.size(); ++line) {
        const QByteArray text = lines[line].trimmed();
        if (text == "-----END PGP PUBLIC KEY BLOCK-----") {
            ended = true;
            break;
        }
        if (text.startsWith('=')) // the CRC-24 line; gpgv checks the packets themselves
            continue;
        base64 += text;
    }
    if (!ended || base64.isEmpty())
        return QByteArray();
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

SignatureCheck CheckReleaseSignature(const QString& gpgvProgram, const QByteArray& armoredKey,
                                     const QByteArray& sums, const QByteArray& signature,
                                     const std::function<bool()>& stopRequested) {
    SignatureCheck check;
    const QByteArray keyring = DearmorPublicKey(armoredKey);
    if (keyring.isEmpty()) {
        check.failure = QStringLiteral("the release key shipped with Tarnwick cannot be read");
        return check;
    }
    QTemporaryDir scratch;
    const QString keyringPath = scratch.filePath(QStringLiteral("release-key.gpg"));
    const QString sumsPath = scratch.filePath(QStringLiteral("SHA2-256SUMS"));
    const QString signaturePath = scratch.filePath(QStringLiteral("SHA2-256SUMS.sig"));
    if (!scratch.isValid() || !WriteWhole(keyringPath, keyring) || !WriteWhole(sumsPath, sums) ||
        !WriteWhole(signaturePath, signature)) {
        check.failure = QStringLiteral("no room for the signature check in the temporary folder");
        return check;
    }
    const ProgramRun run =
        RunProgram(gpgvProgram,
                   {QStringLiteral("--homedir"), scratch.path(), QStringLiteral("--status-fd"),
                    QStringLiteral("1"), QStringLiteral("--keyring"), keyringPath, signaturePath, sumsPath},
                   GpgvTimeoutSeconds, stopRequested);
    // gpgv answers 0 only for a good signature; the status line makes sure it was a valid one
    // and not, say, an expired key's.
    if (run.Succeeded() && run.output.contains("[GNUPG:] VALIDSIG ")) {
        check.verified = true;
        return check;
    }
    if (run.stopped)
        check.failure = QStringLiteral("stopped");
    else if (run.Succeeded() || run.exitCode == 1 || run.output.contains("[GNUPG:] BADSIG ") ||
             run.output.contains("[GNUPG:] ERRSIG "))
        check.failure = QStringLiteral("SHA2-256SUMS carries no valid signature by yt-dlp's release key");
    else
        check.failure = QStringLiteral("gpgv %1").arg(run.FailureText(GpgvTimeoutSeconds));
    return check;
}

} // namespace Tarnwick
