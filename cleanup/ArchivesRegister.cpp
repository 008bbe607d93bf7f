#include "cleanup/ArchivesRegister.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include "controls/Helpers.h"
#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "platform/FindFile.h"
#include "platform/HiddenNames.h"

namespace {

QRandomGenerator& ArchiveNameGenerator() {
    static QRandomGenerator generator{quint32(QDateTime::currentMSecsSinceEpoch())};
    return generator;
}

}  // namespace

QString ArchivesFolderOf(QChar driveLetter) {
    return QString(driveLetter.toUpper()) + QStringLiteral(":\\") + kArchivesFolderName;
}

bool CreateArchivesFolder(const QString& folder) {
    if (FolderExists(folder)) return true;
    const QString host = platform::ToHostPath(folder);
    if (host.isEmpty() || !platform::PathIsMissing(folder) || !QDir().mkdir(host)) return false;
    // The folder serves without the attribute; file managers then merely show it.
    platform::SetHiddenAttribute(folder, true);
    return FolderExists(folder);
}

QString UniqueArchiveName(const QString& archivesFolder, QChar driveLetter) {
    QString name;
    do {
        const quint32 number = ArchiveNameGenerator().bounded(2147483647u);
        name = engine::AddBackslash(archivesFolder) + driveLetter.toUpper() +
               QStringLiteral("%1").arg(number, 7, 16, QLatin1Char('0')).toUpper() +
               QStringLiteral(".ZIP");
    } while (!platform::PathIsMissing(name));
    return name;
}

bool IsArchiveKey(const QString& key) {
    static const QString kNotInNames = QStringLiteral("\\/:*?\"<>|");
    if (key.isEmpty() || key == u"." || key == u"..") return false;
    for (const QChar c : key)
        if (c.unicode() < 0x20 || kNotInNames.contains(c)) return false;
    return true;
}

ERegisterWrite::ERegisterWrite(const QString& registerPath)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(registerPath).toStdString()) {}

TArchivesRegister::TArchivesRegister(const QString& archivesFolder)
    : folder_(engine::RemoveBackslash(archivesFolder)),
      file_(engine::AddBackslash(folder_) + kRegisterFileName) {}

QString TArchivesRegister::ArchivePath(const QString& key) const {
    return engine::AddBackslash(folder_) + key;
}

QStringList TArchivesRegister::Keys() const {
    return file_.ReadKeys(kDescriptionsSection);
}

QString TArchivesRegister::Description(const QString& key) const {
    return file_.ReadString(kDescriptionsSection, key, QStringLiteral("No description"));
}

QString TArchivesRegister::FolderName(const QString& key) const {
    return file_.ReadString(kFolderNamesSection, key, QString());
}

QString TArchivesRegister::OriginalPath(const QString& key) const {
    const QString program = platform::FromHostPath(QCoreApplication::applicationFilePath());
    const QString root = program.isEmpty() ? QString() : program.left(1) + QStringLiteral(":\\");
    return file_.ReadString(kOriginalPathsSection, key, root);
}

void TArchivesRegister::Check(bool written) const {
    if (!written) throw ERegisterWrite(FilePath());
}

void TArchivesRegister::Record(const QString& key, const QString& description,
                               const QString& folderName, const QString& originalPath) {
    Check(file_.WriteString(kDescriptionsSection, key, description));
    Check(file_.WriteString(kFolderNamesSection, key, folderName));
    Check(file_.WriteString(kOriginalPathsSection, key, originalPath));
}

void TArchivesRegister::SetDescription(const QString& key, const QString& description) {
    Check(file_.WriteString(kDescriptionsSection, key, description));
}

// In one write: a failure must not leave the key registered without the place to restore to.
void TArchivesRegister::Forget(const QString& key) {
    Check(file_.DeleteKeyInSections(
        {kDescriptionsSection, kFolderNamesSection, kOriginalPathsSection}, key));
}

void TArchivesRegister::RemoveWhenEmpty() {
    if (file_.state() == platform::ProfileFile::State::Unreadable || !file_.HoldsNoKeys()) return;
    if (!file_.Remove()) return;
    const QString host = platform::ToHostPath(folder_);
    if (!host.isEmpty() && QDir().rmdir(host)) platform::SetHiddenAttribute(folder_, false);
}
