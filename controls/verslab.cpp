#include "controls/verslab.h"

#include <QtEndian>
#include <utility>

namespace {

const std::pair<const char*, const char*> kResources[] = {
    {"CompanyName", "Company Name:"},
    {"FileDescription", "File Description:"},
    {"FileVersion", "File Version:"},
    {"InternalName", "Internal Name:"},
    {"LegalCopyright", "Legal Copyright:"},
    {"OriginalFilename", "Original Filename:"},
    {"ProductName", "Product Name:"},
    {"ProductVersion", "Product Version:"},
    {"Comments", "Comments:"},
    {"Flags", "Flags:"},
};

const QString kErrorText = QStringLiteral("< Error retrieving version info >");

QString FlagsText(uint32_t flags) {
    static const std::pair<uint32_t, const char*> names[] = {
        {0x01, ", Debug Build"},   {0x02, ", Pre-Release Build"}, {0x04, ", Patched Build"},
        {0x08, ", Private Build"}, {0x10, ", InfoInferred"},      {0x20, ", Special Build"},
    };
    QString text;
    for (const auto& [bit, name] : names) {
        if (flags & bit) text += QLatin1String(name);
    }
    return text.mid(2);
}

}  // namespace

const VersionInfo& ProgramVersionInfo() {
    static const VersionInfo info = [] {
        VersionInfo v;
        v.translations = QByteArray::fromHex("0904e404");  // 0x0409, 0x04E4
        const QString block = QStringLiteral("\\StringFileInfo\\040904E4\\");
        const std::pair<const char*, const char*> values[] = {
            {"CompanyName", "Norvane"},
            {"FileDescription", "Quillon Pro disk space analyser"},
            {"FileVersion", "2.0"},
            {"InternalName", "Quillon Pro"},
            {"LegalCopyright", "Copyright \u00a9 Norvane"},
            {"OriginalFilename", "quillon"},
            {"ProductName", "Quillon Pro"},
            {"ProductVersion", "2.0"},
            {"Comments", "Shows where the space on your drives goes."},
        };
        for (const auto& [key, value] : values)
            v.strings.insert(block + QLatin1String(key), QString::fromUtf8(value));
        return v;
    }();
    return info;
}

TVersionLabel::TVersionLabel(QWidget* parent, const VersionInfo* info)
    : QLabel(parent), info_(info ? info : &ProgramVersionInfo()) {
    setWordWrap(false);
    setVersionResource(vrFileVersion);
}

void TVersionLabel::setVersionResource(TVersionResources resource) {
    resource_ = resource;
    setVersionResourceKey(QLatin1String(kResources[resource].first));
    prefix_ = QLatin1String(kResources[resource].second);
    Refresh();
}

void TVersionLabel::setVersionResourceKey(const QString& key) {
    if (key == key_) return;
    key_ = key;
    prefix_ = key;
    // The value changes with the key even when the prefix happens to stay the same.
    Refresh();
}

void TVersionLabel::setInfoPrefix(const QString& prefix) {
    if (prefix == prefix_) return;
    prefix_ = prefix;
    Refresh();
}

void TVersionLabel::setShowInfoPrefix(bool show) {
    if (show == showPrefix_) return;
    showPrefix_ = show;
    Refresh();
}

void TVersionLabel::setLangCharset(const QString& langCharset) {
    if (langCharset == langCharset_) return;
    langCharset_ = langCharset;
    Refresh();
}

void TVersionLabel::setDesigning(bool designing) {
    designing_ = designing;
    Refresh();
}

QString TVersionLabel::Value() {
    if (info_->state == VersionInfo::State::Missing) return QStringLiteral("< No Data Available >");
    if (info_->state == VersionInfo::State::Unreadable) return kErrorText;
    if (resource_ == vrFlags) {
        if (!info_->hasFixedInfo) return kErrorText;
        if (info_->fixedInfoLength < 2) return {};
        return FlagsText(info_->fileFlags);
    }
    if (langCharset_ == QLatin1String("-1")) {
        if (info_->translations.size() < 4)
            return QStringLiteral("< Error retrieving translation info >");
        const uchar* words = reinterpret_cast<const uchar*>(info_->translations.constData());
        langCharset_ = QStringLiteral("%1%2")
                           .arg(qFromLittleEndian<quint16>(words), 4, 16, QLatin1Char('0'))
                           .arg(qFromLittleEndian<quint16>(words + 2), 4, 16, QLatin1Char('0'))
                           .toUpper();
    }
    const auto found = info_->strings.constFind(
        QStringLiteral("\\StringFileInfo\\%1\\%2").arg(langCharset_, key_));
    if (found == info_->strings.constEnd()) return kErrorText;
    // The query counts the terminating zero: an empty string is one character long.
    if (found->size() + 1 < 2) return QStringLiteral("< No Version Info >");
    return *found;
}

void TVersionLabel::Refresh() {
    if (designing_) {
        setText(QStringLiteral("< No design info >"));
        return;
    }
    const QString value = Value();
    setText(showPrefix_ ? prefix_ + u' ' + value : value);
    adjustSize();  // the label sizes itself to its text
}
