#include "platform/LocalTime.h"

#include <QByteArray>
#include <QtGlobal>
#include <ctime>

namespace platform {

void PinLocalTimeZone() {
    if (qEnvironmentVariableIsSet("TZ")) return;
    qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
    tzset();
}

}  // namespace platform
