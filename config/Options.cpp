#include "config/Options.h"

#include <algorithm>
#include <cstring>
#include <limits>

using config::SettingsAccess;
using config::SettingsKey;
using config::SettingsStatus;
using config::SettingsValueType;

namespace {

QString InvalidDataType(const QString& name) {
    return QStringLiteral("Invalid data type for '%1'").arg(name);
}
QString FailedToGetData(const QString& name) {
    return QStringLiteral("Failed to get data for '%1'").arg(name);
}
QString FailedToSetData(const QString& name) {
    return QStringLiteral("Failed to set data for '%1'").arg(name);
}
QString FailedToCreateKey(const QString& name) {
    return QStringLiteral("Failed to create key %1").arg(name);
}

// Opens a section for all access and, when that is refused, for reading.
bool OpenSection(SettingsKey& key, const QString& path) {
    SettingsStatus status = key.Open(path, SettingsAccess::All);
    if (status == SettingsStatus::AccessDenied) status = key.Open(path, SettingsAccess::Read);
    return status == SettingsStatus::Ok;
}

// The value's data, or nothing when it is absent; throws when the store refuses it.
std::optional<QByteArray> Query(const SettingsKey& key, const QString& name,
                                SettingsValueType* type) {
    QByteArray data;
    const SettingsStatus status = key.QueryValue(name, type, &data);
    if (status == SettingsStatus::NotFound) return std::nullopt;
    if (status != SettingsStatus::Ok)
        throw ERegistryException(FailedToGetData(name), key.ErrorText());
    return data;
}

}  // namespace

ERegistryException::ERegistryException(QString message, QString detail)
    : message_(std::move(message)), detail_(std::move(detail)), utf8_(message_.toUtf8()) {}

int32_t IntegerOfText(const QString& text, int32_t fallback) {
    const bool hex = text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    if (hex) {
        uint64_t value = 0;
        for (const QChar c : QStringView(text).sliced(2)) {
            const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
            if (digit < 0) return fallback;
            value = value * 16 + uint64_t(digit);
            if (value > std::numeric_limits<uint32_t>::max()) return fallback;
        }
        return int32_t(uint32_t(value));
    }
    QStringView digits(text);
    const bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+')) digits = digits.sliced(1);
    if (digits.isEmpty()) return fallback;
    int64_t value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return fallback;
        value = value * 10 + (c.unicode() - u'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return fallback;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return fallback;
    return int32_t(value);
}

// ---- TBinRegIniFile ----

TBinRegIniFile::TBinRegIniFile(const QString& keyPath) : keyPath_(keyPath) {
    // Only a write can report the failure; reading an absent key gives the defaults anyway.
    SettingsKey key;
    key.Create(keyPath_);
}

QString TBinRegIniFile::SectionPath(const QString& section) const {
    return section.isEmpty() ? keyPath_ : keyPath_ + u'\\' + section;
}

std::optional<QString> TBinRegIniFile::ReadText(const QString& section, const QString& name) {
    SettingsKey key;
    if (!OpenSection(key, SectionPath(section))) return std::nullopt;
    SettingsValueType type = SettingsValueType::None;
    const auto data = Query(key, name, &type);
    if (!data) return std::nullopt;
    if (type != SettingsValueType::String && type != SettingsValueType::ExpandString)
        throw ERegistryException(InvalidDataType(name));
    QString text = QString::fromUtf8(*data);
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) text.truncate(nul);
    return text;
}

QString TBinRegIniFile::ReadString(const QString& section, const QString& name,
                                   const QString& fallback) {
    return ReadText(section, name).value_or(fallback);
}

int32_t TBinRegIniFile::ReadInteger(const QString& section, const QString& name, int32_t fallback) {
    const auto text = ReadText(section, name);
    return text ? IntegerOfText(*text, fallback) : fallback;
}

bool TBinRegIniFile::ReadBool(const QString& section, const QString& name, bool fallback) {
    return ReadInteger(section, name, fallback ? 1 : 0) != 0;
}

void TBinRegIniFile::Write(const QString& section, const QString& name, SettingsValueType type,
                           const QByteArray& data) {
    SettingsKey key;
    if (key.Create(SectionPath(section)) != SettingsStatus::Ok)
        throw ERegistryException(FailedToCreateKey(section), key.ErrorText());
    if (key.SetValue(name, type, data) != SettingsStatus::Ok)
        throw ERegistryException(FailedToSetData(name), key.ErrorText());
}

void TBinRegIniFile::WriteString(const QString& section, const QString& name,
                                 const QString& value) {
    Write(section, name, SettingsValueType::String, value.toUtf8());
}

void TBinRegIniFile::WriteInteger(const QString& section, const QString& name, int32_t value) {
    WriteString(section, name, QString::number(value));
}

void TBinRegIniFile::WriteBool(const QString& section, const QString& name, bool value) {
    WriteString(section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

int32_t TBinRegIniFile::ReadBinary(const QString& section, const QString& name, int32_t bufferSize,
                                   void* buffer) {
    SettingsKey key;
    if (!OpenSection(key, SectionPath(section))) return 0;
    SettingsValueType type = SettingsValueType::None;
    const auto data = Query(key, name, &type);
    if (!data) return 0;
    if (type != SettingsValueType::Binary || data->size() > std::max(bufferSize, 0))
        throw ERegistryException(InvalidDataType(name));
    if (!data->isEmpty()) std::memcpy(buffer, data->constData(), size_t(data->size()));
    return int32_t(data->size());
}

void TBinRegIniFile::WriteBinary(const QString& section, const QString& name, int32_t size,
                                 const void* buffer) {
    if (size < 0) throw ERegistryException(FailedToSetData(name));
    Write(section, name, SettingsValueType::Binary,
          QByteArray(static_cast<const char*>(buffer), size));
}

// ---- options ----

TOptions::TOptions(QString keyPath, QString section)
    : Key(std::move(keyPath)), Section(std::move(section)) {}

TOptions::~TOptions() {
    // In list order, as the group promises; a vector leaves its order unspecified.
    for (auto& item : Items) item.reset();
}

template <class Option, class Value>
Option* TOptions::Append(const QString& name, Value defaultValue) {
    auto* option = new Option(name, std::move(defaultValue));
    Items.emplace_back(option);
    return option;
}

TIntOption* TOptions::AddInt(const QString& name, int32_t defaultValue) {
    return Append<TIntOption>(name, defaultValue);
}

TBoolOption* TOptions::AddBool(const QString& name, bool defaultValue) {
    return Append<TBoolOption>(name, defaultValue);
}

TStrOption* TOptions::AddStr(const QString& name, const QString& defaultValue) {
    return Append<TStrOption>(name, defaultValue);
}

void TOptions::Load() {
    TBinRegIniFile store(Key);
    for (auto& item : Items) item->Load(store, Section);
}

void TOptions::Save() {
    TBinRegIniFile store(Key);
    for (auto& item : Items) item->Save(store, Section);
}

// ---- one-shot functions ----

int32_t RegReadInteger(const QString& keyPath, const QString& section, const QString& name,
                       int32_t fallback) {
    return TBinRegIniFile(keyPath).ReadInteger(section, name, fallback);
}

void RegWriteInteger(const QString& keyPath, const QString& section, const QString& name,
                     int32_t value) {
    TBinRegIniFile(keyPath).WriteInteger(section, name, value);
}

bool RegReadBool(const QString& keyPath, const QString& section, const QString& name,
                 bool fallback) {
    return TBinRegIniFile(keyPath).ReadBool(section, name, fallback);
}

void RegWriteBool(const QString& keyPath, const QString& section, const QString& name, bool value) {
    TBinRegIniFile(keyPath).WriteBool(section, name, value);
}

QString RegReadString(const QString& keyPath, const QString& section, const QString& name,
                      const QString& fallback) {
    return TBinRegIniFile(keyPath).ReadString(section, name, fallback);
}

void RegWriteString(const QString& keyPath, const QString& section, const QString& name,
                    const QString& value) {
    TBinRegIniFile(keyPath).WriteString(section, name, value);
}

int32_t RegReadBinary(const QString& keyPath, const QString& section, const QString& name,
                      int32_t bufferSize, void* buffer) {
    return TBinRegIniFile(keyPath).ReadBinary(section, name, bufferSize, buffer);
}

void RegWriteBinary(const QString& keyPath, const QString& section, const QString& name,
                    int32_t size, const void* buffer) {
    TBinRegIniFile(keyPath).WriteBinary(section, name, size, buffer);
}
