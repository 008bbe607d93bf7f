// Program start: the application, the main window and the two windows beside it.
#include <QApplication>
#include <QLocale>
#include <QStringList>

#include "app/Messages.h"
#include "app/main.h"
#include "engine/TextForms.h"
#include "views/FormBarChart.h"
#include "views/FormSectionSize.h"

int main(int argc, char* argv[]) {
    // Without a display the program runs on the offscreen platform, so a report request works
    // in a terminal and nothing ever waits for a person.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(kAppTitle);
    QApplication::setOrganizationName("Norvane");
    engine::UseSystemLocale();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    int result = 1;
    {
        TMainForm form(arguments);
        if (form.CreationFailed()) return 1;
        TSectionSizeBox sectionSize(&form);
        SectionSizeBox = &sectionSize;
        TBarChartBox barChart(&form);
        BarChartBox = &barChart;
        form.show();
        result = QApplication::exec();
        SectionSizeBox = nullptr;
        BarChartBox = nullptr;
    }
    return result;
}
