#include "controls/URL.h"

#include "controls/Helpers.h"

QString URLPrefix(TURLType type) {
    static const char* const prefixes[] = {"file://", "ftp://", "gopher://", "http://", "https://",
                                           "mailto:", "news:",  "telnet:",   "wais:"};
    return QString::fromLatin1(prefixes[type]);
}

bool TURL::Open() const {
    constexpr int showNoActivate = 4;
    if (url_.isEmpty()) return false;
    return ShellOpen(URLPrefix(type_) + url_, {}, {}, showNoActivate) > 32;
}
