#pragma once
// A settings folder of its own for one test: XDG_CONFIG_HOME points at a fresh temporary folder
// for the object's lifetime, so the store's file starts missing.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/SettingsStore.h"

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

private:
    QTemporaryDir dir_;
    QByteArray previous_;
};
