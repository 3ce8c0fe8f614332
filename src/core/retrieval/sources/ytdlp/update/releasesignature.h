#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace Tarnwick {

// yt-dlp's published release signing key (ASCII-armoured), shipped with Tarnwick.
QByteArray YtDlpReleaseKey();

// The binary key packets of an ASCII-armoured public key block, which is what gpgv takes as
// a keyring; empty when the text is no such block or its base64 is damaged.
QByteArray DearmorPublicKey(const QByteArray& armored);

struct SignatureCheck {
    bool verified = false;
    // Why not, for the message.
    QString failure;
};

// Checks the detached signature of the checksum list with gpgv against the key alone (a
// keyring of its own and a scratch home folder, so the user's keys play no part).
SignatureCheck CheckReleaseSignature(const QString& gpgvProgram, const QByteArray& armoredKey,
                                     const QByteArray& sums, const QByteArray& signature,
                                     const std::function<bool()>& stopRequested);

} // namespace Tarnwick
