// bench_scanstop: how the main window answers while it scans a large tree: the longest time the
// event loop went without turning (what the user sees as a window that stops repainting), and
// how long Stop takes to end the scan. The tree (../shared/bench/make-tree.sh) is mapped as drive
// B and scanned from the window as the Scan button does; after a second "Abort Scanning" is
// pressed, as a user presses it.
//
//   bench_scanstop [TREE] [ROUNDS]     defaults: $QUILLON_BENCH_DIR/large (/tmp/quillon-bench),
//                                      3 rounds
//
// Runs on the platform Qt is given (xvfb-run for a real display, or offscreen), with settings
// in a temporary folder. Prints, per round, the longest gap between two turns of the event loop
// during the scan and the time from the press to the end of the scan, in milliseconds.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/main.h"
#include "bench/BenchSupport.h"
#include "desktop/MessageBox.h"
#include "engine/Scanner.h"
#include "platform/Drives.h"
#include "platform/HostNames.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", platform::EncodeHostName(home.path() + "/config"));
    qputenv("XDG_DATA_HOME", platform::EncodeHostName(home.path() + "/data"));
    const QString tree = BenchTreeArgument(argc, argv);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    if (!QFileInfo(tree).isDir()) {
        std::fprintf(stderr, "no tree at %s (bench/scan.sh builds it)\n", qPrintable(tree));
        return 2;
    }
    qputenv("QUILLON_DRIVES", platform::EncodeHostName("B=" + tree));
    QApplication app(argc, argv);
    platform::ReloadDriveMap();
    // No one is there to answer: the first run's notices and dialogs go by themselves.
    desktop::SetMessageAnswerer([](const desktop::MessageRequest&) { return desktop::Ok; });
    desktop::SetDialogRunner([](QDialog&) { return 0; });

    for (int round = 1; round <= rounds; ++round) {
        TMainForm window;
        window.show();
        if (!QTest::qWaitFor([&] { return window.StartupDone(); }, 10000)) return 1;
        QAction* abort = window.findChild<QAction*>(QStringLiteral("cmdFileAbort"));

        // The event loop's turns, seen by a timer that asks to run every millisecond.
        QElapsedTimer sinceTurn;
        qint64 longestGap = 0;
        bool watching = false;
        QTimer turns;
        QObject::connect(&turns, &QTimer::timeout, [&] {
            if (watching) longestGap = std::max(longestGap, sinceTurn.nsecsElapsed());
            sinceTurn.restart();
        });
        turns.start(1);

        QElapsedTimer pressed;
        qint64 stopTook = -1;
        QTimer::singleShot(1000, [&] {
            pressed.start();
            abort->trigger();
        });
        QTimer::singleShot(0, [&] {
            watching = true;
            sinceTurn.start();
            window.ScanOrRescanDrive(TMainForm::DriveTextOf('B'));
            stopTook = pressed.isValid() ? pressed.nsecsElapsed() : -1;
            watching = false;
        });
        if (!QTest::qWaitFor([&] { return stopTook >= 0; }, 120000)) return 1;
        QTest::qWait(50);
        std::printf("round %d: longest gap %.1f ms; stop ended the scan after %.1f ms%s\n", round,
                    double(longestGap) / 1e6, double(stopTook) / 1e6,
                    engine::StopRequested ? "" : " (the scan finished before the press)");
    }
    return 0;
}
