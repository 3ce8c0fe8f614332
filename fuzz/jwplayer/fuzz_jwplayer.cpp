// The player set-up reader on any bytes, and the object-literal reader beneath it checked
// against Qt's JSON reader: JSON is a subset of the literals pages write, so wherever both read
// a text they must agree.

#include "fuzzcheck.h"
#include "retrieval/sources/jwplayersetup.h"
#include "retrieval/sources/scriptliteral.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdint>

using namespace Tarnwick;

namespace {

QByteArray Compact(const QJsonValue& value) {
    return value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                            : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);

    for (const HtmlVideoSource& source : ReadJwPlayerSetup(text)) {
        Require(!source.url.isEmpty() && source.url.size() <= text.size());
        Require(source.height >= 0 && source.height <= 100000);
    }

    qsizetype at = 0;
    const QJsonValue literal = ReadScriptLiteral(text, at);
    Require(literal.isUndefined() ? at == 0 : (literal.isObject() || literal.isArray()) && at <= text.size());

    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && !literal.isUndefined())
        Require(Compact(literal) == json.toJson(QJsonDocument::Compact));
    return 0;
}
