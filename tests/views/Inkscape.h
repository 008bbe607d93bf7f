#pragma once
// Inkscape as the real reader of the metafiles the program writes.

#include <QProcess>
#include <QString>
#include <QStringList>

// Renders every file to <file without extension>.png in one run of inkscape, which starts
// slowly. Gives what went wrong, or an empty text.
inline QString RenderWithInkscape(const QStringList& files, const QString& home) {
    QProcess inkscape;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Its preferences and caches go to a folder of the test's own, and it never needs a display.
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    inkscape.setProcessEnvironment(env);
    inkscape.setProcessChannelMode(QProcess::MergedChannels);
    inkscape.start(QStringLiteral("inkscape"), QStringList{"--export-type=png"} + files);
    if (!inkscape.waitForFinished(90000)) {
        inkscape.kill();
        inkscape.waitForFinished();
        return QStringLiteral("inkscape did not finish: ") + inkscape.readAll();
    }
    if (inkscape.exitCode() != 0) return QStringLiteral("inkscape failed: ") + inkscape.readAll();
    return QString();
}
