// Host names and paths over any bytes. Decoding a host name and encoding it again gives the very
// bytes, and so does showing it in a program path and taking it back; a host path below a drive
// turns into a program path and back into the same host path; and a program path, once on the
// host, makes the same round trip.
#include <QDir>

#include "platform/Drives.h"
#include "platform/HostNames.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace platform;

namespace {

// The drives: C: is the temporary folder, D: a folder inside it (the longer root wins).
void MapDrives() {
    static fuzz_support::Environment environment;
    static const bool mapped = [] {
        qputenv("QUILLON_DRIVES", (QStringLiteral("C=") + environment.Path() +
                                   QStringLiteral(";D=") + environment.Path(QStringLiteral("d")))
                                      .toLocal8Bit());
        ReloadDriveMap();
        return DriveMap().size() == 2;
    }();
    if (!mapped) fuzz_support::Fail("the drives are not mapped");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MapDrives();
    const QByteArray bytes = fuzz_support::BytesOf(data, size);

    // Names: bytes -> text -> the same bytes; as a part of a program path, no '\\' and the
    // same name back.
    const QString name = DecodeHostName(bytes);
    FUZZ_CHECK(EncodeHostName(name) == bytes, name);
    const QString shown = ProgramNameOf(name);
    FUZZ_CHECK(!shown.contains(u'\\') && HostNameOf(shown) == name, shown);

    // Host paths: the input as a path below each drive's root, as the host spells it after
    // cleaning (no "." or "..", no doubled or trailing '/').
    for (const DriveMapping& drive : DriveMap()) {
        const QString host = QDir::cleanPath(drive.hostRoot + u'/' + name);
        const QString program = FromHostPath(host);
        if (host != drive.hostRoot && !host.startsWith(drive.hostRoot + u'/')) continue;
        FUZZ_CHECK(!program.isEmpty(), host);
        FUZZ_CHECK(program.size() >= 3 && program.mid(1, 2) == QLatin1String(":\\"), program);
        FUZZ_CHECK(ToHostPath(program) == host, host + QStringLiteral(" -> ") + program +
                                                    QStringLiteral(" -> ") + ToHostPath(program));
    }

    // Program paths: the input after "C:" (with its own separators) to the host and back.
    const QString program = QStringLiteral("C:") + name;
    const QString host = ToHostPath(program);
    FUZZ_CHECK(!host.isEmpty(), program);
    const QString again = FromHostPath(host);
    FUZZ_CHECK(!again.isEmpty() && ToHostPath(again) == host,
               program + QStringLiteral(" -> ") + host + QStringLiteral(" -> ") + again);
    return 0;
}
