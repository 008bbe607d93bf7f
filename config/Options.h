#pragma once
// The option framework: typed options collected in groups, each group bound to a key path and a
// section of the per-user settings store, and one-shot functions for single values.
//
// Encodings in the store: strings as string values; integers as the decimal text of the signed
// 32-bit value ("-5"); booleans as "0" or "1"; binary values as raw bytes.
//
// Store errors are thrown as ERegistryException. Reading a value that is absent, or from a
// section that does not exist, gives the default and is no error.

#include <QString>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "config/SettingsStore.h"

class ERegistryException : public std::exception {
public:
    // message is the text for the user; detail the host's reason where there is one.
    explicit ERegistryException(QString message, QString detail = {});

    const QString& Message() const { return message_; }
    const QString& Detail() const { return detail_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QString detail_;
    QByteArray utf8_;
};

// Integer text as the store reads it: "0x" or "0X" followed by hexadecimal digits whose value
// fits 32 bits (taken as the bits of the value, so 0xFFFFFFFF is -1), or an optional sign and
// decimal digits within the signed 32-bit range. Anything else ("0x" alone, blanks, "12abc")
// gives fallback.
int32_t IntegerOfText(const QString& text, int32_t fallback);

// A store object on one key path below HKEY_CURRENT_USER: its sections are the subkeys of that
// path. Creating one creates the key path with its missing parents (a failure there shows only
// when a value is written). Each read or write opens the section, does its work and closes it.
class TBinRegIniFile {
public:
    explicit TBinRegIniFile(const QString& keyPath);

    // Strings: string or expandable-string values, the text up to its first NUL.
    // Throws "Invalid data type for '%s'" for a value of another type.
    QString ReadString(const QString& section, const QString& name, const QString& fallback);
    // Integers: read as string, converted by IntegerOfText; text that is no number gives fallback.
    int32_t ReadInteger(const QString& section, const QString& name, int32_t fallback);
    // Booleans: ReadInteger with 0 or 1 as fallback; any non-zero number is true.
    bool ReadBool(const QString& section, const QString& name, bool fallback);

    // Writes create the section when missing ("Failed to create key %s") and then set the value
    // ("Failed to set data for '%s'"), replacing any value of the same name and any type.
    void WriteString(const QString& section, const QString& name, const QString& value);
    void WriteInteger(const QString& section, const QString& name, int32_t value);
    void WriteBool(const QString& section, const QString& name, bool value);

    // Copies a binary value to the start of buffer and returns its length; 0 (buffer untouched)
    // when the section or the value does not exist. A value that is not binary or is longer than
    // bufferSize throws "Invalid data type for '%s'"; a shorter one leaves the rest of buffer.
    int32_t ReadBinary(const QString& section, const QString& name, int32_t bufferSize,
                       void* buffer);
    // Writes exactly size bytes as a binary value.
    void WriteBinary(const QString& section, const QString& name, int32_t size, const void* buffer);

    const QString& KeyPath() const { return keyPath_; }

private:
    // The text of a string value, or nothing when the section or value is absent.
    std::optional<QString> ReadText(const QString& section, const QString& name);
    void Write(const QString& section, const QString& name, config::SettingsValueType type,
               const QByteArray& data);
    QString SectionPath(const QString& section) const;

    QString keyPath_;
};

// One named setting of a section.
class TOption {
public:
    explicit TOption(QString name) : Name(std::move(name)) {}
    virtual ~TOption() = default;

    // Sets the current value from the store, or from the default when it is absent.
    virtual void Load(TBinRegIniFile& store, const QString& section) = 0;
    // Writes the current value.
    virtual void Save(TBinRegIniFile& store, const QString& section) = 0;

    QString Name;
};

// Reading and writing a value of each option type; the typed options below use these.
inline int32_t ReadOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                               int32_t fallback) {
    return store.ReadInteger(section, name, fallback);
}
inline bool ReadOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                            bool fallback) {
    return store.ReadBool(section, name, fallback);
}
inline QString ReadOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                               const QString& fallback) {
    return store.ReadString(section, name, fallback);
}
inline void WriteOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                             int32_t value) {
    store.WriteInteger(section, name, value);
}
inline void WriteOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                             bool value) {
    store.WriteBool(section, name, value);
}
inline void WriteOptionValue(TBinRegIniFile& store, const QString& section, const QString& name,
                             const QString& value) {
    store.WriteString(section, name, value);
}

// An option holding a value of type T; constructing it sets Value to Default.
template <class T>
class TTypedOption : public TOption {
public:
    TTypedOption(QString name, T defaultValue)
        : TOption(std::move(name)), Value(defaultValue), Default(std::move(defaultValue)) {}
    void Load(TBinRegIniFile& store, const QString& section) override {
        Value = ReadOptionValue(store, section, Name, Default);
    }
    void Save(TBinRegIniFile& store, const QString& section) override {
        WriteOptionValue(store, section, Name, Value);
    }

    T Value;
    T Default;
};

class TIntOption final : public TTypedOption<int32_t> {
public:
    using TTypedOption::TTypedOption;
};

class TBoolOption final : public TTypedOption<bool> {
public:
    using TTypedOption::TTypedOption;
};

class TStrOption final : public TTypedOption<QString> {
public:
    using TTypedOption::TTypedOption;
};

// A group of options of one section. It owns its options; the pointers AddInt, AddBool and
// AddStr return stay valid as long as the group. Nothing is saved on destruction.
class TOptions {
public:
    TOptions(QString keyPath, QString section);
    ~TOptions();
    TOptions(const TOptions&) = delete;
    TOptions& operator=(const TOptions&) = delete;

    TIntOption* AddInt(const QString& name, int32_t defaultValue);
    TBoolOption* AddBool(const QString& name, bool defaultValue);
    TStrOption* AddStr(const QString& name, const QString& defaultValue);

    // Load or save every option in list order through one store object. An error ends the loop
    // at the failing option and is thrown on; the options after it keep their current values.
    void Load();
    void Save();

    std::vector<std::unique_ptr<TOption>> Items;
    QString Key;
    QString Section;

private:
    template <class Option, class Value>
    Option* Append(const QString& name, Value defaultValue);
};

// One-shot access: each opens a store object on keyPath, does one operation and closes it, also
// when it throws. Errors and results as the TBinRegIniFile operations of the same names; callers
// inside event handlers catch ERegistryException, which must not cross Qt's event loop.
int32_t RegReadInteger(const QString& keyPath, const QString& section, const QString& name,
                       int32_t fallback);
void RegWriteInteger(const QString& keyPath, const QString& section, const QString& name,
                     int32_t value);
bool RegReadBool(const QString& keyPath, const QString& section, const QString& name,
                 bool fallback);
void RegWriteBool(const QString& keyPath, const QString& section, const QString& name, bool value);
QString RegReadString(const QString& keyPath, const QString& section, const QString& name,
                      const QString& fallback);
void RegWriteString(const QString& keyPath, const QString& section, const QString& name,
                    const QString& value);
int32_t RegReadBinary(const QString& keyPath, const QString& section, const QString& name,
                      int32_t bufferSize, void* buffer);
void RegWriteBinary(const QString& keyPath, const QString& section, const QString& name,
                    int32_t size, const void* buffer);
