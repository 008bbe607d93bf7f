#pragma once
// TURL: a web-address launcher. Open hands the address, behind the prefix of its type, to the
// shell's default handler.

#include <QObject>
#include <QString>

enum TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais };

// "file://", "ftp://", ..., "mailto:", "news:", "telnet:", "wais:".
QString URLPrefix(TURLType type);

class TURL : public QObject {
    Q_OBJECT
public:
    explicit TURL(QObject* parent = nullptr) : QObject(parent) {}

    QString URL() const { return url_; }
    void setURL(const QString& url) { url_ = url; }
    TURLType URLType() const { return type_; }
    void setURLType(TURLType type) { type_ = type; }

    // False when URL is empty; otherwise the prefix and URL go to ShellOpen (no parameters, no
    // folder, shown without activating), and the result is whether the shell reports success.
    bool Open() const;

private:
    QString url_;
    TURLType type_ = utHttp;
};
