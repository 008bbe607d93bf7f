#pragma once
// Host file names are byte strings; program names are QStrings. The conversion is lossless:
// bytes that are not valid UTF-8 become the lone surrogates U+DC80..U+DCFF and turn back
// into the same bytes, so a folder with such a name can still be opened after a round trip.

#include <QByteArray>
#include <QString>

namespace platform {

QString DecodeHostName(const char* bytes, qsizetype length);
inline QString DecodeHostName(const QByteArray& bytes) {
    return DecodeHostName(bytes.constData(), bytes.size());
}
QByteArray EncodeHostName(const QString& name);

}  // namespace platform
