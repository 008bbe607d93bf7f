#pragma once
// The per-user settings store: what the registry below HKEY_CURRENT_USER is on Windows, kept in
// one file, $XDG_CONFIG_HOME/Norvane/Quillon Pro.reg (~/.config/... when the variable is unset or
// not absolute), in the text format of registry exports:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Norvane\Quillon Pro\Options]
//   "Name"="text"            string
//   "Name"=dword:0000001f    32-bit number
//   "Name"=hex:0a,ff         binary
//   "Name"=hex(2):...        expandable string (UTF-16LE with its terminating NUL)
//
// Keys and value names are compared without regard to case and keep the spelling they were
// created with. A missing or unreadable file reads as empty and a line that cannot be parsed is
// skipped (it is dropped when the file is next written). Each change re-reads the file, applies
// itself and replaces the file atomically (temporary file in the same folder, flushed, renamed),
// so two keys open at once never undo each other's writes and a crash leaves either the old or
// the new file. A file that exists but cannot be read is never replaced.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

namespace config {

// Value types, numbered as the registry numbers them; other numbers are kept as they come.
enum class SettingsValueType : uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    DWord = 4,
};

enum class SettingsAccess { All, Read };

enum class SettingsStatus {
    Ok,
    NotFound,      // no such key or value
    AccessDenied,  // a key opened for reading was asked to change, or the file is not writable
    Failed,        // the file could not be read or written; ErrorText() says why
};

// The path of the settings file, from the environment at the time of the call.
QString SettingsFilePath();

// One open key. Paths are below HKEY_CURRENT_USER, components separated by backslashes
// ("Software\Norvane\Quillon Pro\Options"); leading and trailing backslashes are ignored, an
// empty component or a control character makes the path invalid (NotFound). Closing happens on
// destruction too.
class SettingsKey {
public:
    SettingsKey();
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // Opens the key, creating it and its missing parents (the file is written only when
    // something was created). Opens with all access.
    SettingsStatus Create(const QString& path);
    // Opens an existing key; AccessDenied for All when the file cannot be written.
    SettingsStatus Open(const QString& path, SettingsAccess access);
    void Close();

    bool IsOpen() const;
    // The key's path as it is spelt in the store.
    QString Path() const;

    // The value as the key was when it was opened or last changed through this object.
    // Strings come as UTF-8 text without a terminator (an embedded NUL is kept), 32-bit numbers
    // as four little-endian bytes, everything else as its raw bytes. type and data may be null.
    SettingsStatus QueryValue(const QString& name, SettingsValueType* type, QByteArray* data) const;
    // Sets a value, replacing a value of the same name and any type. Needs all access; a name
    // with a control character fails (the file could not carry it).
    SettingsStatus SetValue(const QString& name, SettingsValueType type, const QByteArray& data);
    SettingsStatus DeleteValue(const QString& name);
    // Deletes a key below this one (relative path) with everything under it.
    SettingsStatus DeleteKey(const QString& relativePath);

    // The host's reason for the last Failed or AccessDenied, for showing to a person.
    QString ErrorText() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    QString error_;
};

}  // namespace config
