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

// A host name as a part of a program path shows it: a '\' would split the path, so it shows as
// '＼' (U+FF3C); a '＼' of the host name itself then shows as the escapes of its three bytes, so
// that the two never meet in one spelling.
QString ProgramNameOf(const QString& hostName);
// The host name a part of a program path stands for: '＼' turns back into '\', and escapes that
// spell a character (a host name's own '＼') back into it.
QString HostNameOf(const QString& programName);

// The system's words for an error number (strerror), as the program shows them.
QString SystemErrorText(int error);

}  // namespace platform
