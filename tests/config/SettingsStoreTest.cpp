// The settings file: registry-export text read leniently, written atomically, shared between
// key objects and between processes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <vector>

#include "config/SettingsStore.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/SettingsHome.h"

using config::SettingsAccess;
using config::SettingsKey;
using config::SettingsStatus;
using config::SettingsValueType;

namespace {

const QString kKey = QStringLiteral("Software\\Norvane\\Quillon Pro\\Options");

struct Sample {
    QString name;
    SettingsValueType type;
    QByteArray data;
};

QByteArray Bytes(int count, int seed) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) bytes.append(char((i * 7 + seed) & 0xFF));
    return bytes;
}

// Values of every kind the file has to carry, with the texts that need escaping or hex form.
std::vector<Sample> Samples() {
    return {
        {QStringLiteral("Plain"), SettingsValueType::String, "text"},
        {QStringLiteral("Empty"), SettingsValueType::String, ""},
        {QStringLiteral("Quotes \"and\" \\slashes"), SettingsValueType::String, "C:\\a \"b\" \\"},
        {QStringLiteral("Lines"), SettingsValueType::String, "one\r\ntwo\tthree"},
        {QStringLiteral("Unicode"), SettingsValueType::String, QStringLiteral("Größe ✓").toUtf8()},
        {QString(), SettingsValueType::String, "the key's default value"},
        {QStringLiteral("Expand"), SettingsValueType::ExpandString, "%HOME%\\x"},
        {QStringLiteral("Number"), SettingsValueType::DWord, QByteArray("\x1f\x00\x00\x80", 4)},
        {QStringLiteral("ShortNumber"), SettingsValueType::DWord, QByteArray("\x01\x02", 2)},
        {QStringLiteral("NoBytes"), SettingsValueType::Binary, QByteArray()},
        {QStringLiteral("Colors"), SettingsValueType::Binary, Bytes(72, 3)},
        {QStringLiteral("Long"), SettingsValueType::Binary, Bytes(1000, 11)},
        {QStringLiteral("Multi"), SettingsValueType::None, QByteArray("a\0\0\0\0\0", 6)},
        {QStringLiteral("Odd"), SettingsValueType(7), QByteArray("b\0\0\0", 4)},
    };
}

void ExpectValue(const SettingsKey& key, const QString& name, SettingsValueType type,
                 const QByteArray& data) {
    SettingsValueType got = SettingsValueType::None;
    QByteArray bytes;
    ASSERT_EQ(key.QueryValue(name, &got, &bytes), SettingsStatus::Ok) << name.toStdString();
    EXPECT_EQ(got, type) << name.toStdString();
    EXPECT_EQ(bytes.toHex(), data.toHex()) << name.toStdString();
}

void ExpectAbsent(const SettingsKey& key, const QString& name) {
    EXPECT_EQ(key.QueryValue(name, nullptr, nullptr), SettingsStatus::NotFound)
        << name.toStdString();
}

// Runs this test program as a child that does one job against a settings folder.
class Child {
public:
    Child(const QString& job, const QString& home) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUILLON_SETTINGS_CHILD_JOB"), job);
        env.insert(QStringLiteral("QUILLON_SETTINGS_CHILD_HOME"), home);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--gtest_also_run_disabled_tests"),
                        QStringLiteral("--gtest_filter=SettingsChild.DISABLED_Job")});
    }
    ~Child() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QProcess& process() { return process_; }

private:
    QProcess process_;
};

const QString kBlobKey = QStringLiteral("Software\\Norvane\\Quillon Pro\\Stress");
constexpr int kBlobSize = 200000;

}  // namespace

// The jobs of the child processes; skipped in a normal run.
TEST(SettingsChild, DISABLED_Job) {
    const QByteArray job = qgetenv("QUILLON_SETTINGS_CHILD_JOB");
    if (job.isEmpty()) GTEST_SKIP();
    qputenv("XDG_CONFIG_HOME", qgetenv("QUILLON_SETTINGS_CHILD_HOME"));
    SettingsKey key;
    if (job == "samples") {
        ASSERT_EQ(key.Create(kKey), SettingsStatus::Ok);
        for (const Sample& s : Samples())
            ASSERT_EQ(key.SetValue(s.name, s.type, s.data), SettingsStatus::Ok);
    } else if (job == "forever") {
        ASSERT_EQ(key.Create(kBlobKey), SettingsStatus::Ok);
        for (int round = 1;; ++round) {
            key.SetValue(QStringLiteral("Blob"), SettingsValueType::Binary,
                         QByteArray(kBlobSize, char(round & 0xFF)));
            key.SetValue(QStringLiteral("Round"), SettingsValueType::String,
                         QByteArray::number(round));
        }
    }
}

TEST(SettingsStore, MissingFileReadsAsEmptyAndCreateWritesTheKeyWithItsParents) {
    SettingsHome home;
    SettingsKey key;
    EXPECT_EQ(key.Open(kKey, SettingsAccess::Read), SettingsStatus::NotFound);
    EXPECT_FALSE(QFile::exists(home.file()));

    ASSERT_EQ(key.Create(kKey), SettingsStatus::Ok);
    EXPECT_EQ(home.text(),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\Norvane]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\Norvane\\Quillon Pro]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\Norvane\\Quillon Pro\\Options]\r\n"
              "\r\n");

    SettingsKey other;
    ASSERT_EQ(other.Open(QStringLiteral("\\software\\NORVANE\\"), SettingsAccess::All),
              SettingsStatus::Ok);
    EXPECT_EQ(other.Path(), QStringLiteral("Software\\Norvane"));
    EXPECT_EQ(other.Open(QStringLiteral("Software\\\\Norvane"), SettingsAccess::All),
              SettingsStatus::NotFound);

    // Names the file could not carry on one line are refused, and the file stays as it was.
    const QByteArray before = home.text();
    EXPECT_EQ(other.Create(QStringLiteral("Software\\Line\nBreak")), SettingsStatus::NotFound);
    ASSERT_EQ(key.Open(kKey, SettingsAccess::All), SettingsStatus::Ok);
    EXPECT_EQ(key.SetValue(QStringLiteral("Line\nBreak"), SettingsValueType::String, "x"),
              SettingsStatus::Failed);
    EXPECT_EQ(home.text(), before);
}

TEST(SettingsStore, ReadsExportTextAndSkipsDamagedLines) {
    SettingsHome home;
    home.setText(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "; a comment\r\n"
        "\"Orphan\"=\"before any key\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\T]\r\n"
        "\"Plain\"=\"text\"\r\n"
        "\"Escaped\"=\"C:\\\\dir \\\"q\\\"\"\r\n"
        "\"Loose\"=\"C:\\path\"\r\n"
        "@=\"default\"\r\n"
        "\"Number\"=dword:0000001F\r\n"
        "\"Bytes\"=hex:0a,FF,00\r\n"
        "\"None\"=hex:\r\n"
        "\"Wrapped\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        "  \"Spaced\" = \"ok\"  \r\n"
        "\"Dup\"=\"first\"\n"
        "\"dup\"=\"second\"\n"
        "\"Unterminated\"=\"abc\r\n"
        "\"BadHex\"=hex:0g\r\n"
        "\"WideHex\"=hex:100\r\n"
        "\"LongDword\"=dword:123456789\r\n"
        "\"OddText\"=hex(2):41\r\n"
        "\"Trailing\"=\"a\" junk\r\n"
        "\"Cut\"=hex:01,\\\r\n"
        "[HKEY_CURRENT_USER\\Software\\T\\Sub]\r\n"
        "garbage line\r\n"
        "\"Deep\"=\"y\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n"
        "\"Foreign\"=\"x\"\r\n"
        "[-HKEY_CURRENT_USER\\Software\\T]\r\n"
        "\"InDeletion\"=\"z\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\T\r\n"
        "\"AfterBadHeader\"=\"w\"\r\n"
        "[hkey_current_user\\software\\t]\r\n"
        "\"Again\"=\"merged\"\r\n"
        "\"Bytes\"=-\r\n");

    SettingsKey key;
    ASSERT_EQ(key.Open(QStringLiteral("Software\\T"), SettingsAccess::Read), SettingsStatus::Ok);
    const Sample present[] = {
        {QStringLiteral("Plain"), SettingsValueType::String, "text"},
        {QStringLiteral("Escaped"), SettingsValueType::String, "C:\\dir \"q\""},
        {QStringLiteral("Loose"), SettingsValueType::String, "C:\\path"},
        {QString(), SettingsValueType::String, "default"},
        {QStringLiteral("Number"), SettingsValueType::DWord, QByteArray("\x1f\0\0\0", 4)},
        {QStringLiteral("None"), SettingsValueType::Binary, QByteArray()},
        {QStringLiteral("Wrapped"), SettingsValueType::Binary, QByteArray("\x01\x02\x03\x04")},
        {QStringLiteral("Expand"), SettingsValueType::ExpandString, "%A%"},
        {QStringLiteral("Multi"), SettingsValueType(7), QByteArray("a\0\0\0\0\0", 6)},
        {QStringLiteral("Spaced"), SettingsValueType::String, "ok"},
        {QStringLiteral("DUP"), SettingsValueType::String, "second"},
        {QStringLiteral("Again"), SettingsValueType::String, "merged"},
    };
    for (const Sample& s : present) ExpectValue(key, s.name, s.type, s.data);
    for (const char* name : {"Orphan", "Unterminated", "BadHex", "WideHex", "LongDword", "OddText",
                             "Trailing", "Cut", "Foreign", "InDeletion", "AfterBadHeader", "Bytes"})
        ExpectAbsent(key, QString::fromLatin1(name));

    SettingsKey sub;
    ASSERT_EQ(sub.Open(QStringLiteral("Software\\T\\Sub"), SettingsAccess::Read),
              SettingsStatus::Ok);
    ExpectValue(sub, QStringLiteral("Deep"), SettingsValueType::String, "y");
}

TEST(SettingsStore, ReadsTheUtf16TextOfARegistryExport) {
    SettingsHome home;
    const QString text = QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\T]\r\n\"Name\"=\"Größe\"\r\n");
    home.setText(QByteArray("\xFF\xFE") +
                 QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    SettingsKey key;
    ASSERT_EQ(key.Open(QStringLiteral("Software\\T"), SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(key, QStringLiteral("Name"), SettingsValueType::String,
                QStringLiteral("Größe").toUtf8());
}

TEST(SettingsStore, AFileWrittenByAnotherProcessReadsBackIdentically) {
    SettingsHome home;
    {
        Child child(QStringLiteral("samples"), home.path());
        ASSERT_TRUE(child.process().waitForFinished(30000));
        ASSERT_EQ(child.process().exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(child.process().exitCode(), 0);
    }
    SettingsKey key;
    ASSERT_EQ(key.Open(kKey, SettingsAccess::All), SettingsStatus::Ok);
    for (const Sample& s : Samples()) ExpectValue(key, s.name, s.type, s.data);

    // Lines stay readable: long hex values are wrapped as registry exports wrap them.
    const QByteArray text = home.text();
    for (const QByteArray& line : text.split('\n')) EXPECT_LE(line.size(), 80) << line.data();
    EXPECT_TRUE(text.contains("\"Plain\"=\"text\"\r\n"));
    EXPECT_TRUE(text.contains("\"Number\"=dword:8000001f\r\n"));
    EXPECT_TRUE(text.contains("\"Quotes \\\"and\\\" \\\\slashes\"=\"C:\\\\a \\\"b\\\" \\\\\"\r\n"));

    // Writing a value as it already is reproduces the file byte for byte.
    ASSERT_EQ(key.SetValue(QStringLiteral("Plain"), SettingsValueType::String, "text"),
              SettingsStatus::Ok);
    EXPECT_EQ(home.text(), text);
}

TEST(SettingsStore, TwoKeysOpenAtOnceKeepEachOthersWrites) {
    SettingsHome home;
    SettingsKey a, b;
    ASSERT_EQ(a.Create(kKey), SettingsStatus::Ok);
    ASSERT_EQ(b.Open(kKey, SettingsAccess::All), SettingsStatus::Ok);
    ASSERT_EQ(a.SetValue(QStringLiteral("A"), SettingsValueType::String, "1"), SettingsStatus::Ok);
    ASSERT_EQ(b.SetValue(QStringLiteral("B"), SettingsValueType::String, "2"), SettingsStatus::Ok);
    ExpectValue(b, QStringLiteral("A"), SettingsValueType::String, "1");

    SettingsKey fresh;
    ASSERT_EQ(fresh.Open(kKey, SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(fresh, QStringLiteral("A"), SettingsValueType::String, "1");
    ExpectValue(fresh, QStringLiteral("B"), SettingsValueType::String, "2");
    EXPECT_EQ(fresh.SetValue(QStringLiteral("C"), SettingsValueType::String, "3"),
              SettingsStatus::AccessDenied);

    // A value of another type replaces the old one; deleting works through any object.
    ASSERT_EQ(a.SetValue(QStringLiteral("b"), SettingsValueType::DWord, QByteArray(4, '\0')),
              SettingsStatus::Ok);
    ExpectValue(a, QStringLiteral("B"), SettingsValueType::DWord, QByteArray(4, '\0'));
    ASSERT_EQ(b.DeleteValue(QStringLiteral("A")), SettingsStatus::Ok);
    EXPECT_EQ(b.DeleteValue(QStringLiteral("A")), SettingsStatus::NotFound);

    SettingsKey parent;
    ASSERT_EQ(parent.Open(QStringLiteral("Software\\Norvane"), SettingsAccess::All),
              SettingsStatus::Ok);
    ASSERT_EQ(parent.DeleteKey(QStringLiteral("Quillon Pro")), SettingsStatus::Ok);
    EXPECT_EQ(fresh.Open(kKey, SettingsAccess::Read), SettingsStatus::NotFound);
    EXPECT_EQ(fresh.Open(QStringLiteral("Software\\Norvane\\Quillon Pro"), SettingsAccess::Read),
              SettingsStatus::NotFound);
    // A key deleted under an open object comes back with the object's next write.
    ASSERT_EQ(a.SetValue(QStringLiteral("D"), SettingsValueType::String, "4"), SettingsStatus::Ok);
    ASSERT_EQ(fresh.Open(kKey, SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(fresh, QStringLiteral("D"), SettingsValueType::String, "4");
    ExpectAbsent(fresh, QStringLiteral("B"));
}

TEST(SettingsStore, AWriteThatChangesNothingLeavesTheFileAlone) {
    SettingsHome home;
    SettingsKey key;
    ASSERT_EQ(key.Create(kKey), SettingsStatus::Ok);
    const auto inode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(home.file()).constData(), &st);
        return st.st_ino;
    };
    ASSERT_EQ(key.SetValue(QStringLiteral("Same"), SettingsValueType::String, "1"),
              SettingsStatus::Ok);
    const auto written = inode();
    // The file is replaced whole when it changes: the same value again keeps the very file.
    ASSERT_EQ(key.SetValue(QStringLiteral("Same"), SettingsValueType::String, "1"),
              SettingsStatus::Ok);
    EXPECT_EQ(inode(), written);
    ASSERT_EQ(key.SetValue(QStringLiteral("Same"), SettingsValueType::DWord, "1"),
              SettingsStatus::Ok);
    EXPECT_NE(inode(), written);
    ExpectValue(key, QStringLiteral("Same"), SettingsValueType::DWord, "1");
}

TEST(SettingsStore, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    SettingsHome home;
    SettingsKey key;
    ASSERT_EQ(key.Create(kKey), SettingsStatus::Ok);
    ASSERT_EQ(key.SetValue(QStringLiteral("Keep"), SettingsValueType::String, "me"),
              SettingsStatus::Ok);
    const QByteArray before = home.text();
    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(key.SetValue(QStringLiteral("Big"), SettingsValueType::Binary, Bytes(5000, 1)),
                  SettingsStatus::Failed);
    }
    EXPECT_FALSE(key.ErrorText().isEmpty());
    EXPECT_EQ(home.text(), before);
    ExpectAbsent(key, QStringLiteral("Big"));
    EXPECT_EQ(QDir(QFileInfo(home.file()).path()).entryList(QDir::Files),
              QStringList{QStringLiteral("Quillon Pro.reg")});

    // A folder that cannot be made (a file stands in its place) fails the creation of a key.
    SettingsHome blocked;
    blocked.block();
    EXPECT_EQ(key.Create(kKey), SettingsStatus::Failed);
    EXPECT_FALSE(key.IsOpen());
}

TEST(SettingsStore, KillingAWriterNeverLeavesAPartialFile) {
    SettingsHome home;
    QRandomGenerator random(20261208);  // the same moments on every run
    for (int kill = 0; kill < 10; ++kill) {
        Child child(QStringLiteral("forever"), home.path());
        ASSERT_TRUE(child.process().waitForStarted(10000));
        // Let it get through its first complete write, then stop it: on even rounds as soon as
        // a write has its temporary file open (in the middle of a write, for certain), on odd
        // rounds after a delay drawn from a fixed seed.
        for (int i = 0; i < 500 && !home.text().contains("\"Round\""); ++i) QThread::msleep(10);
        if (kill % 2 == 0) {
            const QDir folder(QFileInfo(home.file()).path());
            for (int i = 0; i < 5000 && folder.entryList(QDir::Files).size() < 2; ++i)
                QThread::usleep(200);
        } else {
            QThread::msleep(random.bounded(1, 60));
        }
        child.process().kill();
        ASSERT_TRUE(child.process().waitForFinished(10000));

        SettingsKey key;
        ASSERT_EQ(key.Open(kBlobKey, SettingsAccess::Read), SettingsStatus::Ok);
        QByteArray blob;
        ASSERT_EQ(key.QueryValue(QStringLiteral("Blob"), nullptr, &blob), SettingsStatus::Ok);
        ASSERT_EQ(blob.size(), kBlobSize);
        EXPECT_EQ(blob.count(blob[0]), kBlobSize) << "a blob mixed from two writes";
    }
}

TEST(SettingsStore, AFileRewrittenInPlaceAfterItSettledIsReadAgain) {
    SettingsHome home;
    home.put(kKey, QStringLiteral("Color"), SettingsValueType::String, "red");
    const QByteArray red = home.text();
    QByteArray tan = red;
    tan.replace("\"red\"", "\"tan\"");
    // Older than the file system's clock steps, what was read stands for the file...
    QThread::msleep(1100);
    SettingsKey key;
    ASSERT_EQ(key.Open(kKey, SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(key, QStringLiteral("Color"), SettingsValueType::String, "red");
    ASSERT_EQ(key.Open(kKey, SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(key, QStringLiteral("Color"), SettingsValueType::String, "red");
    // ...until another program writes it, even in place and to the same length.
    home.setText(tan);
    ASSERT_EQ(home.text().size(), red.size());
    ASSERT_EQ(key.Open(kKey, SettingsAccess::Read), SettingsStatus::Ok);
    ExpectValue(key, QStringLiteral("Color"), SettingsValueType::String, "tan");
}
