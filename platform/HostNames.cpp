#include "platform/HostNames.h"

#include <cstring>

namespace platform {

namespace {

constexpr char16_t kFullwidthBackslash = 0xFF3C;

bool IsEscape(char16_t u) {
    return u >= 0xDC80 && u <= 0xDCFF;
}

// Length of the valid UTF-8 sequence at p (1..4), or 0 when the bytes there are not one.
int Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    int n;
    char32_t min;
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0)
        n = 2, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        n = 3, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        n = 4, min = 0x10000;
    else
        return 0;
    if (end - p < n) return 0;
    char32_t cp = c & (0x7F >> n);
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not valid UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

}  // namespace

QString DecodeHostName(const char* bytes, qsizetype length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = p + length;
    bool ascii = true;
    for (const auto* q = p; q < end; ++q) {
        if (*q >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) return QString::fromLatin1(bytes, length);

    QString out;
    out.reserve(length);
    const auto* run = p;  // start of the valid bytes not yet copied
    while (p < end) {
        const int n = Utf8SequenceLength(p, end);
        if (n > 0) {
            p += n;
            continue;
        }
        out += QString::fromUtf8(reinterpret_cast<const char*>(run), p - run);
        out += QChar(char16_t(0xDC00 + *p));
        run = ++p;
    }
    out += QString::fromUtf8(reinterpret_cast<const char*>(run), p - run);
    return out;
}

QByteArray EncodeHostName(const QString& name) {
    bool escaped = false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate())) {
            escaped = true;
            break;
        }
    }
    if (!escaped) return name.toUtf8();

    QByteArray out;
    out.reserve(name.size() * 3);
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && (i == 0 || !name[i - 1].isHighSurrogate())) {
            out += QStringView(name).mid(run, i - run).toUtf8();
            out += char(u - 0xDC00);
            run = i + 1;
        }
    }
    out += QStringView(name).mid(run).toUtf8();
    return out;
}

QString ProgramNameOf(const QString& hostName) {
    if (!hostName.contains(u'\\') && !hostName.contains(QChar(kFullwidthBackslash)))
        return hostName;
    QString name = hostName;
    // The escapes of its bytes EF BC BC.
    const QChar escapes[] = {QChar(0xDCEF), QChar(0xDCBC), QChar(0xDCBC)};
    name.replace(QChar(kFullwidthBackslash), QString(escapes, 3));
    return name.replace(u'\\', QChar(kFullwidthBackslash));
}

QString HostNameOf(const QString& programName) {
    QString name = programName;
    name.replace(QChar(kFullwidthBackslash), u'\\');
    for (const QChar c : name)
        if (IsEscape(c.unicode())) return DecodeHostName(EncodeHostName(name));
    return name;
}

QString SystemErrorText(int error) {
    const char* text = std::strerror(error);
    return DecodeHostName(text, qsizetype(std::strlen(text)));
}

}  // namespace platform
