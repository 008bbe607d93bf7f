#include "cleanup/ArchivesRegister.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "engine/TextForms.h"
#include "platform/Drives.h"
#include "platform/HiddenNames.h"
#include "platform/HostNames.h"

namespace {

QRandomGenerator& ArchiveNameGenerator() {
    static QRandomGenerator generator{quint32(QDateTime::currentMSecsSinceEpoch())};
    return generator;
}

}  // namespace

QString ArchivesFolderOf(QChar driveLetter) {
    return QString(driveLetter.toUpper()) + QStringLiteral(":\\") + kArchivesFolderName;
}

bool PinArchivesFolder(QChar driveLetter, platform::PinnedFolder& folder, bool create,
                       QString& why) {
    const QString path = ArchivesFolderOf(driveLetter);
    bool created = false;
    if (!platform::PinFolder(path, folder, why, create, &created)) return false;
    // The folder serves without the attribute; file managers then merely show it.
    if (created) platform::SetHiddenAttribute(path, true);
    return true;
}

bool CreateArchivesFolder(const QString& folder) {
    platform::PinnedFolder pinned;
    QString why;
    return !folder.isEmpty() && engine::RemoveBackslash(folder) == ArchivesFolderOf(folder[0]) &&
           PinArchivesFolder(folder[0], pinned, true, why);
}

QString UniqueArchiveKey(const platform::PinnedFolder& archivesFolder, QChar driveLetter) {
    for (;;) {
        const quint32 number = ArchiveNameGenerator().bounded(2147483647u);
        const QString key = driveLetter.toUpper() +
                            QStringLiteral("%1").arg(number, 7, 16, QLatin1Char('0')).toUpper() +
                            QStringLiteral(".ZIP");
        platform::EntryIdentity taken;
        QString why;
        if (!platform::StatEntryIn(archivesFolder, key.toLatin1(), taken, why)) return key;
    }
}

bool IsArchiveKey(const QString& key) {
    static const QString kNotInNames = QStringLiteral("\\/:*?\"<>|");
    if (key.isEmpty() || key == u"." || key == u"..") return false;
    for (const QChar c : key)
        if (c.unicode() < 0x20 || kNotInNames.contains(c)) return false;
    return true;
}

bool IsOwnArchiveName(const QString& key) {
    static const QRegularExpression kOwnName(QStringLiteral("^[A-Z][0-9A-F]{7,8}\\.ZIP$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return kOwnName.match(key).hasMatch();
}

ERegisterWrite::ERegisterWrite(const QString& registerPath)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(registerPath).toStdString()) {}

TArchivesRegister::TArchivesRegister(const QString& archivesFolder)
    : folder_(engine::RemoveBackslash(archivesFolder)),
      file_(engine::AddBackslash(folder_) + kRegisterFileName) {}

QString TArchivesRegister::ArchivePath(const QString& key) const {
    return engine::AddBackslash(folder_) + key;
}

QString TArchivesRegister::ReadError() const {
    return file_.state() == cleanup::ProfileFile::State::Unreadable ? file_.ErrorText() : QString();
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
    if (file_.state() == cleanup::ProfileFile::State::Unreadable || !file_.HoldsNoKeys()) return;
    if (!file_.Remove()) return;
    platform::PinnedFolder root;
    QString why;
    if (platform::PinFolder(folder_.left(3), root, why) &&
        platform::RemoveEmptyFolderIn(root, platform::EncodeHostName(kArchivesFolderName), why))
        platform::SetHiddenAttribute(folder_, false);
}
