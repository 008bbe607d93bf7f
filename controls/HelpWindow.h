#pragma once
// The program's help: one page per topic number the program opens and a contents page, written
// in help/ and built into the resources; the window that shows them, with the list of topics,
// back and forward, and a search through every page; and the F1 key, which opens the topic of
// the window, page or menu in front.

#include <QList>
#include <QString>
#include <QUrl>
#include <QWidget>

class QAction;
class QLineEdit;
class QListWidget;
class QTextBrowser;

// The topic numbers that have a page, in the order of the contents; the contents page is 0.
const QList<int>& HelpTopics();

// The address of a topic's page ("qrc:/help/4010.html"), with the anchor as its fragment; the
// contents page for 0 and for a number that has no page.
QUrl HelpTopicUrl(int topic, const QString& anchor = {});

// A topic's title, as its page names it.
QString HelpTopicTitle(int topic);

class THelpWindow : public QWidget {
    Q_OBJECT
public:
    // A top-level window that belongs to owner (it goes with it) and opens on the contents.
    explicit THelpWindow(QWidget* owner);

    // Shows a topic's page, at the anchor when one is given, and brings the window to the front.
    void ShowTopic(int topic, const QString& anchor = {});
    // The page shown, with its fragment.
    QUrl Source() const;

    // Lists the topics whose pages hold every word of the text (all topics for an empty text),
    // in the order of the contents; choosing one shows it with the first word found marked.
    void Search(const QString& text);
    // The topics the list offers now.
    QList<int> ListedTopics() const;

    QTextBrowser* Browser{};
    QLineEdit* ediSearch{};
    QListWidget* lbTopics{};
    QAction *cmdContents{}, *cmdBack{}, *cmdForward{};

private:
    void lbTopicsClick();
    void BrowserSourceChanged(const QUrl& source);

    QString searchWord_;  // the word marked in the next page chosen from a search
};

// The help window of owner's window (made on first use), showing the topic; topic 0 is the
// contents.
void ShowHelpTopic(QWidget* owner, int topic, const QString& anchor = {});

// The help window of a window, nullptr when it has none yet.
THelpWindow* HelpWindowOf(const QWidget* window);

// What F1 opens for a widget that has the focus: in an open menu, the topic of the menu or of
// the menu it belongs to; otherwise the topic of the widget or of what holds it in its window;
// failing that, the topic of the page in front of the window's page control; failing that, the
// window's own; 0 (the contents) when none of them has one. The anchor comes with the topic.
struct THelpPlace {
    int topic = 0;
    QString anchor;
};
THelpPlace HelpPlaceInFront(QWidget* focus);

// Makes F1 open the topic in front, in every window of the application, for as long as owner
// lives. F1 takes the place of any shortcut of that key.
void InstallHelpKey(QObject* owner);
