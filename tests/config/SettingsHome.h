#pragma once
// Settings test support: a settings folder of its own for one test, and writes that fail.

#include <signal.h>
#include <sys/resource.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/SettingsStore.h"

// XDG_CONFIG_HOME points at a fresh temporary folder for the object's lifetime, so the store's
// file starts missing.
class SettingsHome {
public:
    SettingsHome() : previous_(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }
    ~SettingsHome() { qputenv("XDG_CONFIG_HOME", previous_); }
    SettingsHome(const SettingsHome&) = delete;
    SettingsHome& operator=(const SettingsHome&) = delete;

    QString path() const { return dir_.path(); }
    QString file() const { return platform::SettingsFilePath(); }

    QByteArray text() const {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void setText(const QByteArray& text) const {
        QDir().mkpath(dir_.filePath(QStringLiteral("Norvane")));
        QFile f(file());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }

    // Stores a value of any type under a key path (created when missing).
    void put(const QString& keyPath, const QString& name, platform::SettingsValueType type,
             const QByteArray& data) const {
        platform::SettingsKey key;
        key.Create(keyPath);
        key.SetValue(name, type, data);
    }

    // A file in place of the store's folder: the file is gone and nothing can be written any more.
    void block() const {
        const QString folder = path() + QStringLiteral("/Norvane");
        QDir(folder).removeRecursively();
        QFile(folder).open(QIODevice::WriteOnly);
    }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};

// Caps the size of files this process may write, so that a write fails half-way as it would on
// a full disk (root ignores permissions, not this limit).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    sighandler_t oldHandler_;
};
