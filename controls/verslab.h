#pragma once
// TVersionLabel: a label that shows one field of the program's version information, with or
// without its prefix ("File Version: 2.0").
//
// The version information is a table compiled into the program (ProgramVersionInfo); a label can
// be given another table, which is how the failures of reading one are exercised.

#include <QByteArray>
#include <QLabel>
#include <QMap>
#include <QString>
#include <cstdint>

// The version information of a program file, in the shape the version queries read it.
struct VersionInfo {
    enum class State { Present, Missing, Unreadable };
    State state = State::Present;
    bool hasFixedInfo = true;       // false: the query of the fixed part fails
    uint32_t fixedInfoLength = 52;  // bytes the fixed part answers with
    uint32_t fileFlags = 0;         // debug 0x01, pre-release 0x02, patched 0x04, ...
    QByteArray translations;        // pairs of 16-bit words (language, code page), little-endian
    // The string table by query: "\StringFileInfo\040904E4\CompanyName" -> "Norvane".
    QMap<QString, QString> strings;
};

// The program's own: company "Norvane", product "Quillon Pro", versions "2.0", translation
// 040904E4 (US English, code page 1252), flags 0.
const VersionInfo& ProgramVersionInfo();

enum TVersionResources {
    vrCompanyName,
    vrFileDescription,
    vrFileVersion,
    vrInternalName,
    vrLegalCopyright,
    vrOriginalFilename,
    vrProductName,
    vrProductVersion,
    vrComments,
    vrFlags,
};

class TVersionLabel : public QLabel {
    Q_OBJECT
public:
    // info: the table to read; nullptr for the program's own. It must outlive the label.
    explicit TVersionLabel(QWidget* parent = nullptr, const VersionInfo* info = nullptr);

    TVersionResources VersionResource() const { return resource_; }
    // Sets VersionResourceKey and then InfoPrefix from the resource's row, then the text.
    void setVersionResource(TVersionResources resource);
    QString VersionResourceKey() const { return key_; }
    // A new key also becomes the prefix (until a resource is chosen), and the text follows.
    void setVersionResourceKey(const QString& key);
    QString InfoPrefix() const { return prefix_; }
    void setInfoPrefix(const QString& prefix);
    bool ShowInfoPrefix() const { return showPrefix_; }
    void setShowInfoPrefix(bool show);
    // "-1": the first translation of the table, which the label then keeps ("040904E4").
    QString LangCharset() const { return langCharset_; }
    void setLangCharset(const QString& langCharset);

    // While a form designer shows the label it reads nothing: "< No design info >".
    void setDesigning(bool designing);

private:
    void Refresh();
    QString Value();

    const VersionInfo* info_;
    TVersionResources resource_ = vrFileVersion;
    QString key_;
    QString prefix_;
    bool showPrefix_ = true;
    QString langCharset_ = QStringLiteral("-1");
    bool designing_ = false;
};
