// The help: a page for every topic number the program opens, links that land, the help window's
// contents, history and search, and F1.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <set>

#include "controls/HelpWindow.h"
#include "controls/Helpers.h"

namespace {

// Every topic number the program opens: the menus, the options dialog, the move and archive
// dialogs and their pages, and the wasted-space page's link.
const int kProgramTopics[] = {4000, 4010, 4020, 4030, 4040, 2100, 2120, 2130, 3010, 3020};

QString PageHtml(int topic) {
    QFile file(HelpTopicUrl(topic).toString().mid(3));  // "qrc:/help/..." -> ":/help/..."
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::set<QString> AnchorsOf(const QString& html) {
    std::set<QString> anchors;
    static const QRegularExpression names(QStringLiteral("(?:name|id)=\"([^\"]+)\""));
    for (const auto& m : names.globalMatch(html)) anchors.insert(m.captured(1));
    return anchors;
}

int TopicOfFile(const QString& file) {
    if (file == QLatin1String("contents.html")) return 0;
    bool number = false;
    const int topic = file.section(u'.', 0, 0).toInt(&number);
    return number && file.endsWith(QLatin1String(".html")) ? topic : -1;
}

}  // namespace

TEST(HelpPages, EveryTopicTheProgramOpensHasItsOwnPageAndTheContentsLeadToEach) {
    std::set<QString> titles;
    for (const int topic : kProgramTopics) {
        SCOPED_TRACE(topic);
        ASSERT_TRUE(HelpTopics().contains(topic));
        EXPECT_EQ(HelpTopicUrl(topic), QUrl(QStringLiteral("qrc:/help/%1.html").arg(topic)));
        const QString html = PageHtml(topic);
        ASSERT_FALSE(html.isEmpty());
        EXPECT_GT(html.size(), 1200);  // a page that says something
        const QString title = HelpTopicTitle(topic);
        EXPECT_FALSE(title.isEmpty());
        EXPECT_TRUE(titles.insert(title).second) << "two pages titled " << title.toStdString();
        EXPECT_TRUE(PageHtml(0).contains(QStringLiteral("href=\"%1.html\"").arg(topic)));
    }
    EXPECT_EQ(HelpTopics().size(), int(std::size(kProgramTopics)) + 1);  // and the contents
    EXPECT_EQ(HelpTopicUrl(0), QUrl("qrc:/help/contents.html"));
    EXPECT_EQ(HelpTopicUrl(1234), QUrl("qrc:/help/contents.html"));
    EXPECT_EQ(HelpTopicUrl(4010, "pie"), QUrl("qrc:/help/4010.html#pie"));
}

TEST(HelpPages, EveryLinkLandsOnAPageAndAnchorThatExistAndNoneLeavesTheHelp) {
    int links = 0;
    for (const int topic : HelpTopics()) {
        const QString html = PageHtml(topic);
        static const QRegularExpression hrefs(QStringLiteral("href=\"([^\"]*)\""));
        for (const auto& m : hrefs.globalMatch(html)) {
            const QString link = m.captured(1);
            SCOPED_TRACE((QString::number(topic) + " -> " + link).toStdString());
            ++links;
            const QString file = link.section(u'#', 0, 0);
            const QString anchor = link.section(u'#', 1);
            const int target = file.isEmpty() ? topic : TopicOfFile(file);
            ASSERT_TRUE(HelpTopics().contains(target));
            if (!anchor.isEmpty()) {
                EXPECT_EQ(AnchorsOf(PageHtml(target)).count(anchor), 1u);
            }
        }
    }
    EXPECT_GT(links, 30);
    // The places the program opens pages at.
    for (const char* anchor : {"pie", "info", "subfolders", "cleanup"})
        EXPECT_EQ(AnchorsOf(PageHtml(4010)).count(QLatin1String(anchor)), 1u) << anchor;
}

TEST(HelpWindow, ShowsTopicsKeepsTheirHistoryAndFindsTopicsByTheirWords) {
    QWidget owner;
    ShowHelpTopic(&owner, 4010, "subfolders");
    THelpWindow* help = HelpWindowOf(&owner);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Quillon Pro Help"));
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/4010.html#subfolders"));
    EXPECT_EQ(help->lbTopics->currentItem()->text(), HelpTopicTitle(4010));
    EXPECT_EQ(help->ListedTopics(), HelpTopics());

    ShowHelpTopic(&owner, 3010);
    EXPECT_EQ(HelpWindowOf(&owner), help);  // one window per owner
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/3010.html"));
    ASSERT_TRUE(help->cmdBack->isEnabled());
    help->cmdBack->trigger();
    EXPECT_EQ(help->Source().adjusted(QUrl::RemoveFragment), QUrl("qrc:/help/4010.html"));
    ASSERT_TRUE(help->cmdForward->isEnabled());
    help->cmdForward->trigger();
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/3010.html"));
    help->cmdContents->trigger();
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/contents.html"));
    // A link of the contents clicked.
    QTextCursor link = help->Browser->document()->find("The Options dialog");
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 4);
    help->Browser->setTextCursor(link);
    help->Browser->ensureCursorVisible();
    const QPoint at = help->Browser->cursorRect(link).center();
    QTest::mouseClick(help->Browser->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(help->Source(), QUrl("qrc:/help/4040.html"));
    EXPECT_TRUE(help->Browser->toPlainText().contains("Analyze with Quillon Pro"));
    EXPECT_EQ(help->lbTopics->currentItem()->text(), HelpTopicTitle(4040));

    const struct {
        const char* words;
        QList<int> topics;
    } searches[] = {
        {"mkfs.ext4", {3020}}, {"ADDONS.INI", {4020}}, {"archives.ini description", {2120}},
        {"zzqqxx", {}},        {"", HelpTopics()},
    };
    for (const auto& s : searches) {
        SCOPED_TRACE(s.words);
        help->ediSearch->setText(QString::fromUtf8(s.words));
        EXPECT_EQ(help->ListedTopics(), s.topics);
    }
    help->ediSearch->setText("Trash");
    ASSERT_FALSE(help->ListedTopics().isEmpty());
    QTest::keyClick(help->ediSearch, Qt::Key_Return);  // the first one found
    EXPECT_EQ(help->Source(), HelpTopicUrl(help->ListedTopics().first()));
    EXPECT_EQ(help->Browser->textCursor().selectedText().toLower(), QStringLiteral("trash"));
}

TEST(HelpKey, F1OpensTheTopicOfTheMenuDialogPageOrWindowInFront) {
    QWidget window;
    auto* pages = new QTabWidget;
    auto* first = new QWidget;
    auto* second = new QWidget;
    auto* inFirst = new QLineEdit(first);
    pages->addTab(first, "first");
    pages->addTab(second, "second");
    auto* outside = new QLineEdit;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(outside);
    layout->addWidget(pages);
    SetHelpContext(first, 4010, "pie");
    SetHelpContext(&window, 4030);
    // A shortcut of the same key, as the Help Topics command has; F1 goes past it.
    auto* topics = new QAction(&window);
    topics->setShortcut(Qt::Key_F1);
    window.addAction(topics);
    int triggered = 0;
    QObject::connect(topics, &QAction::triggered, [&] { ++triggered; });
    QMenu menu(&window);
    QMenu* submenu = menu.addMenu("sub");
    SetHelpContext(&menu, 4000);
    QObject owner;
    InstallHelpKey(&owner);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    auto pressF1 = [&](QWidget* at) {
        at->setFocus();
        QTest::keyClick(at, Qt::Key_F1);
        QApplication::processEvents();  // the help comes once the key is handled
        const THelpWindow* help = HelpWindowOf(&window);
        return help ? help->Source() : QUrl();
    };
    EXPECT_EQ(pressF1(inFirst), QUrl("qrc:/help/4010.html#pie"));  // the widget's page
    EXPECT_EQ(pressF1(outside), QUrl("qrc:/help/4010.html#pie"));  // the page in front
    pages->setCurrentWidget(second);
    EXPECT_EQ(pressF1(outside), QUrl("qrc:/help/4030.html"));  // the window's own
    SetHelpContext(&window, 0);
    EXPECT_EQ(pressF1(outside), QUrl("qrc:/help/contents.html"));  // nothing: the contents
    EXPECT_EQ(pressF1(submenu), QUrl("qrc:/help/4000.html"));      // the menu it belongs to
    EXPECT_EQ(triggered, 0);
    QTest::keyClick(outside, Qt::Key_F1, Qt::ShiftModifier);  // another key: not ours
    QApplication::processEvents();
    EXPECT_EQ(HelpWindowOf(&window)->Source(), QUrl("qrc:/help/4000.html"));
}
