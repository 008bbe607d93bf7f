// Program entry. Until the main window stands, the program prints the drive map.
#include <QCoreApplication>
#include <QTextStream>

#include "platform/Drives.h"
#include "platform/Volume.h"

namespace {

const char* DriveTypeName(platform::DriveType type) {
    using platform::DriveType;
    switch (type) {
        case DriveType::Removable: return "removable";
        case DriveType::Fixed: return "fixed";
        case DriveType::Remote: return "network";
        case DriveType::CdRom: return "CD-ROM";
        case DriveType::RamDisk: return "RAM disk";
        case DriveType::NoRootDir: return "no root";
        case DriveType::Unknown: break;
    }
    return "unknown";
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    for (const platform::DriveMapping& drive : platform::DriveMap()) {
        const QString root = QString(QChar(drive.letter)) + QLatin1String(":\\");
        platform::VolumeInformation info;
        platform::GetVolumeInformation(root, info);
        platform::DiskFreeSpace basic;
        const bool hasBasic = platform::GetDiskFreeSpace(root, basic);
        platform::DiskFreeSpaceEx space;
        const bool hasSpace = platform::GetDiskFreeSpaceEx(root, space);
        out << root << '\t' << drive.hostRoot << '\t' << DriveTypeName(drive.type) << '\t'
            << (info.fileSystemName.isEmpty() ? QStringLiteral("-") : info.fileSystemName)
            << "\tcluster " << (hasBasic ? qint64(basic.sectorsPerCluster) * basic.bytesPerSector : -1)
            << "\ttotal " << (hasSpace ? space.totalBytes : -1)
            << "\tfree " << (hasSpace ? space.freeBytesAvailable : -1) << '\n';
    }
    return 0;
}
