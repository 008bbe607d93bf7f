// Program start: the command line's own requests, the application, the main window and the two
// windows beside it.
#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "app/CommandLine.h"
#include "app/FileListCommands.h"
#include "app/Messages.h"
#include "app/NcduTransfer.h"
#include "app/main.h"
#include "engine/TextForms.h"
#include "platform/HostNames.h"
#include "platform/LocalTime.h"
#include "views/FormBarChart.h"
#include "views/FormSectionSize.h"

namespace {

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << platform::DecodeHostName(argv[i], qsizetype(std::strlen(argv[i])));
    return arguments;
}

void Print(FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
}

// Without a display the offscreen platform's remarks about what it cannot do are no news to
// the person reading standard error; the program's own messages are written there directly.
void QuietOffscreenRemarks(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    Print(stderr, qFormatLogMessage(type, context, message) + u'\n');
}

}  // namespace

int main(int argc, char* argv[]) {
    switch (CommandLineAction(ArgumentsOf(argc, argv))) {
        case TCommandLineAction::ShowUsage:
            Print(stdout, UsageText());
            return 0;
        case TCommandLineAction::ShowVersion:
            Print(stdout, VersionText() + u'\n');
            return 0;
        case TCommandLineAction::Run:
            break;
    }
    QStringList rest = ArgumentsOf(argc, argv);
    const TNcduOptions ncdu = TakeNcduOptions(rest);
    if (!ncdu.Error.isEmpty()) {
        Print(stderr, "quillon: " + ncdu.Error + u'\n');
        return ExitNothingDone;
    }
    if (const TFileListRequest files = FileListRequestOf(rest);
        files.Kind != TFileListRequest::TKind::None) {
        // The file lists need no window either: a scan, a question to its store, a CSV.
        platform::PinLocalTimeZone();
        QCoreApplication core(argc, argv);
        return FileListFromCommandLine(files, ncdu);
    }
    if (!ncdu.ExportFolder.isEmpty()) {
        // An export needs no window: it is a walk of the disk written out as it goes.
        platform::PinLocalTimeZone();
        QCoreApplication core(argc, argv);
        return ExportNcduFromCommandLine(ncdu);
    }

    // Without a display the program runs on the offscreen platform, so a report request works
    // in a terminal and nothing ever waits for a person.
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const bool noDisplay =
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (noDisplay && platformName.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool headless = platformName.isEmpty() ? noDisplay
                                                 : platformName.startsWith("offscreen") ||
                                                       platformName.startsWith("minimal");
    if (headless && !IsReportRequest(rest)) {
        Print(stderr, HeadlessRefusalText());
        return ExitNothingDone;
    }

    platform::PinLocalTimeZone();
    if (headless) qInstallMessageHandler(QuietOffscreenRemarks);
    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setOrganizationName("Norvane");
    engine::UseSystemLocale();

    // What Qt left of the command line (it takes its own options out of argv), decoded byte for
    // byte: QApplication::arguments() would turn bytes that are not UTF-8 into other names.
    const QStringList arguments = ArgumentsOf(argc, argv);

    int result = 1;
    {
        TMainForm form(arguments);
        if (form.CreationFailed()) return 1;
        TSectionSizeBox sectionSize(&form);
        SectionSizeBox = &sectionSize;
        TBarChartBox barChart(&form);
        BarChartBox = &barChart;
        // Without a display nobody is left to serve once the start-up work is done.
        if (headless)
            QObject::connect(&form, &TMainForm::StartupFinished, &app,
                             [&form] { QCoreApplication::exit(form.HeadlessExitStatus()); });
        form.show();
        result = QApplication::exec();
        SectionSizeBox = nullptr;
        BarChartBox = nullptr;
    }
    return result;
}
