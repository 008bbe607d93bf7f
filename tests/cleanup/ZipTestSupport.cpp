#include "ZipTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <filesystem>

#include "desktop/MessageBox.h"

namespace zip_testing {

ZipTest::ZipTest() : startFolder_(QDir::currentPath()) {
    QDir::setCurrent(tree.host());
    zip.SetDLLDirectory(QStringLiteral(QUILLON_ZIP_ENGINE_DIR));
    desktop::SetMessageAnswerer([this](const desktop::MessageRequest& request) {
        boxes << request.text;
        return desktop::Ok;
    });
    zip.OnMessage = [this](TZipEngine*, int code, const QString& text) {
        messages.emplace_back(code, text);
    };
    zip.OnProgress = [this](TZipEngine*, ProgressType kind, const QString& name, int64_t size) {
        progress.push_back({kind, name, size});
    };
    zip.OnDirUpdate = [this](TZipEngine*) { ++dirUpdates; };
}

ZipTest::~ZipTest() {
    desktop::SetMessageAnswerer({});
    QDir::setCurrent(startFolder_);
}

QString ZipTest::Write(const QString& relative, const QByteArray& bytes) const {
    const QString path = tree.host(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray ZipTest::Read(const QString& relative) const {
    QFile file(tree.host(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ZipTest::Noise(int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

int ZipTest::Add(const QString& archive, const QStringList& patterns, AddOpts options, int level) {
    zip.AddOptions = options;
    zip.AddCompLevel = level;
    zip.SetZipFilename(archive);
    zip.FileSpecs = patterns;
    zip.AddFiles();
    return zip.ResultCount();
}

int ZipTest::Extract(const QString& archive, const QString& folder, const QStringList& names) {
    QDir().mkpath(tree.host(folder));
    zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
    zip.ExtrBaseDir = tree.host(folder);
    zip.SetZipFilename(archive);
    zip.FileSpecs = names;
    zip.ExtractFiles();
    return zip.ResultCount();
}

std::vector<int> ZipTest::MessageCodes() const {
    std::vector<int> codes;
    for (const auto& m : messages) codes.push_back(m.first);
    return codes;
}

QStringList ZipTest::MessageTexts() const {
    QStringList texts;
    for (const auto& m : messages) texts << m.second;
    return texts;
}

int RunProgram(const QString& program, const QStringList& arguments, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) return -1;
    if (output) *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::map<QString, QByteArray> Snapshot(const QString& folder) {
    namespace fs = std::filesystem;
    std::map<QString, QByteArray> entries;
    const fs::path root = folder.toStdString();
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const QString relative = QString::fromStdString(e.path().lexically_relative(root).string());
        if (e.is_symlink()) {
            entries[relative] =
                "l:" + QByteArray::fromStdString(fs::read_symlink(e.path()).string());
        } else if (e.is_directory()) {
            entries[relative] = "d";
        } else {
            QFile file(QString::fromStdString(e.path().string()));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            entries[relative] = "f:" + file.readAll();
        }
    }
    return entries;
}

}  // namespace zip_testing
