// The engine's own password dialog on a real display: the test starts Xvfb and runs itself
// again on it, where a timer answers the dialogs the engine opens.
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "ZipTestSupport.h"

using namespace zip_testing;

namespace {

constexpr const char* kChildVariable = "QUILLON_ZIP_DIALOG_CHILD";

class ZipPasswordDialogTest : public ZipTest {
protected:
    // Answers every password dialog with the next text of answers; counts the dialogs.
    void AnswerDialogs(QStringList answers) {
        answers_ = std::move(answers);
        auto* timer = new QTimer(&timerOwner_);
        QObject::connect(timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (!dialog) {
                if (auto* box = qobject_cast<QDialog*>(modal)) {
                    ++boxes_;
                    box->reject();
                }
                return;
            }
            ++dialogs;
            dialog->setTextValue(answers_.isEmpty() ? QString() : answers_.takeFirst());
            dialog->accept();
        });
        timer->start(20);
    }

    int dialogs = 0;
    int boxes_ = 0;

private:
    QObject timerOwner_;
    QStringList answers_;
};

TEST_F(ZipPasswordDialogTest, AsksTwiceToEncryptAndOnceToExtract) {
    if (!qEnvironmentVariableIsSet(kChildVariable)) {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
        int display = 60 + int(::getpid() % 300);
        while (QFileInfo::exists(QString("/tmp/.X%1-lock").arg(display))) ++display;
        QProcess server;
        server.start(
            xvfb, {QString(":%1").arg(display), "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        ASSERT_TRUE(server.waitForStarted());
        for (int i = 0; i < 100 && !QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(display));
             ++i)
            QThread::msleep(50);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", QString(":%1").arg(display));
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert(kChildVariable, "1");
        // Under AddressSanitizer: the xcb platform's D-Bus library keeps memory to the end,
        // which the leak check would report; leaks are checked in the offscreen runs.
        const QString asan = environment.value("ASAN_OPTIONS");
        environment.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "detect_leaks=0");
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=ZipPasswordDialogTest.AsksTwiceToEncryptAndOnceToExtract"});
        const bool finished = child.waitForFinished(60000);
        const QString output = QString::fromLocal8Bit(child.readAll());
        server.terminate();
        server.waitForFinished();
        ASSERT_TRUE(finished) << output.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
        return;
    }

    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    Write("Folder/a.txt", "secret text");
    // A second typing that differs is asked again, both times.
    AnswerDialogs({"first try", "mistyped", "dialog pw", "dialog pw", "dialog pw"});
    EXPECT_EQ(Add(Host("aes.zip"), {"Folder"}, {AddDirNames, AddEncrypt}), 2);
    QString output;
    EXPECT_EQ(RunProgram("7z", {"t", "-pdialog pw", Host("aes.zip")}, &output), 0)
        << output.toStdString();
    EXPECT_EQ(Extract(Host("aes.zip"), "back"), 2);
    EXPECT_EQ(Read("back/Folder/a.txt"), "secret text");
    EXPECT_EQ(dialogs, 5);
    EXPECT_EQ(boxes_, 1);  // "the two passwords differ"
    EXPECT_TRUE(messages.empty()) << MessageTexts().join('\n').toStdString();
}

}  // namespace
