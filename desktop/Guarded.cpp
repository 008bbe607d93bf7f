#include "desktop/Guarded.h"

#include <QCoreApplication>
#include <stdexcept>

#include "desktop/MessageBox.h"

namespace desktop {

void ReportUnexpectedError(std::exception_ptr error) noexcept {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("An unexpected error occurred.");
    }
    try {
        ShowMessage(nullptr, {QCoreApplication::applicationName(), text, MessageIcon::Error, Ok});
    } catch (...) {
        // Nothing is left to report with; the program goes on.
    }
}

}  // namespace desktop
