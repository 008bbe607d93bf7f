#pragma once
// What every fuzz target shares: one QCoreApplication, settings, data and drives pointed at a
// temporary folder before the code under test first looks, message boxes answered without a
// person, and a check that ends the run (a finding) when an invariant breaks.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "desktop/MessageBox.h"

namespace fuzz_support {

class Environment {
public:
    // Made once, on a target's first input; extra is added to QUILLON_DRIVES ("D=/x").
    explicit Environment(const QString& extraDrives = {}) {
        home_.setAutoRemove(true);
        qputenv("XDG_CONFIG_HOME", Path(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", Path(QStringLiteral("data")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", Path(QStringLiteral("cache")).toLocal8Bit());
        QString drives = QStringLiteral("C=") + home_.path();
        if (!extraDrives.isEmpty()) drives += u';' + extraDrives;
        qputenv("QUILLON_DRIVES", drives.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc_, argv_);
        desktop::SetMessageAnswerer([](const desktop::MessageRequest&) { return desktop::Ok; });
    }

    QString Path(const QString& relative = {}) const {
        return relative.isEmpty() ? home_.path() : home_.filePath(relative);
    }

private:
    QTemporaryDir home_;
    int argc_ = 1;
    char name_[8] = "fuzzing";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication* app_ = nullptr;  // lives as long as the process
};

// Writes bytes to a host file, replacing it; false when that failed.
inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray BytesOf(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// An invariant of the code under test: a breach is a finding, and the fuzzer keeps its input.
[[noreturn]] inline void Fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.toLocal8Bit().constData());
    std::abort();
}
#define FUZZ_CHECK(condition, detail)                             \
    do {                                                          \
        if (!(condition)) fuzz_support::Fail(#condition, detail); \
    } while (false)

}  // namespace fuzz_support
