#include "controls/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/Helpers.h"
#include "desktop/Guarded.h"

// The pages live in a static library: their resources are registered by hand.
static void InitHelpResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

QString PageFile(int topic) {
    return topic == 0 ? QStringLiteral(":/help/contents.html")
                      : QStringLiteral(":/help/%1.html").arg(topic);
}

QString PageHtml(int topic) {
    InitHelpResources();
    QFile file(PageFile(topic));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A page's words for the search, lower case, read once.
const QString& PageText(int topic) {
    static QHash<int, QString> texts;
    auto found = texts.find(topic);
    if (found == texts.end()) {
        QTextDocument document;
        document.setHtml(PageHtml(topic));
        found = texts.insert(topic, document.toPlainText().toLower());
    }
    return *found;
}

// The topic of a page's address: the number its file is named by, 0 for the contents.
int TopicOfUrl(const QUrl& url) {
    bool number = false;
    const int topic = url.fileName().section(u'.', 0, 0).toInt(&number);
    return number && HelpTopics().contains(topic) ? topic : 0;
}

THelpPlace PlaceOf(const QObject* object) {
    return {HelpContextOf(object), HelpAnchorOf(object)};
}

// The window a widget belongs to: for a menu, the window the menu was opened from.
QWidget* OwnerWindowOf(QWidget* widget) {
    QWidget* w = widget->window();
    while (qobject_cast<QMenu*>(w) && w->parentWidget()) w = w->parentWidget()->window();
    return w;
}

class THelpKey : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier ||
            !watched->isWidgetType())
            return false;
        // Accepting the override keeps any F1 shortcut from firing; the key press follows.
        event->accept();
        if (event->type() == QEvent::ShortcutOverride || key->isAutoRepeat()) return true;
        auto* widget = static_cast<QWidget*>(watched);
        const THelpPlace place = HelpPlaceInFront(widget);
        QPointer<QWidget> owner = OwnerWindowOf(widget);
        // An open menu goes before the help comes up over its window.
        for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i)
            QApplication::activePopupWidget()->close();
        desktop::Post(this, [owner, place] {
            if (owner) ShowHelpTopic(owner, place.topic, place.anchor);
        });
        return true;
    }
};

}  // namespace

const QList<int>& HelpTopics() {
    // Contents, the menus and the pages, what the wasted space is, freeing space, the rest.
    static const QList<int> topics = {0,    4000, 4010, 3010, 3020, 2100,
                                      2120, 2130, 4020, 4040, 4030};
    return topics;
}

QUrl HelpTopicUrl(int topic, const QString& anchor) {
    InitHelpResources();
    QUrl url(QStringLiteral("qrc") + PageFile(HelpTopics().contains(topic) ? topic : 0));
    if (!anchor.isEmpty()) url.setFragment(anchor);
    return url;
}

QString HelpTopicTitle(int topic) {
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    return title.match(PageHtml(topic)).captured(1).simplified();
}

THelpWindow::THelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    InitHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Quillon Pro Help"));

    auto* tools = new QToolBar(this);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tools->setMovable(false);
    cmdContents = tools->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                   QStringLiteral("&Contents"));
    cmdBack =
        tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("&Back"));
    cmdForward = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                  QStringLiteral("&Forward"));
    cmdBack->setShortcut(QKeySequence::Back);
    cmdForward->setShortcut(QKeySequence::Forward);
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    ediSearch = new QLineEdit;
    ediSearch->setObjectName(QStringLiteral("ediSearch"));
    ediSearch->setPlaceholderText(QStringLiteral("Search the help"));
    ediSearch->setClearButtonEnabled(true);
    lbTopics = new QListWidget;
    lbTopics->setObjectName(QStringLiteral("lbTopics"));
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(ediSearch);
    leftLayout->addWidget(lbTopics, 1);

    Browser = new QTextBrowser;
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    Browser->document()->setDocumentMargin(12);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(left);
    splitter->addWidget(Browser);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tools);
    layout->addWidget(splitter, 1);
    Search(QString());
    // The list as wide as the longest title, so that every title reads whole.
    const int listWidth = lbTopics->sizeHintForColumn(0) + 2 * lbTopics->frameWidth() + 8;
    splitter->setSizes({listWidth, 600});
    resize(listWidth + 620, 600);

    desktop::Connect(cmdContents, &QAction::triggered, this, [this] { ShowTopic(0); });
    desktop::Connect(cmdBack, &QAction::triggered, Browser, &QTextBrowser::backward);
    desktop::Connect(cmdForward, &QAction::triggered, Browser, &QTextBrowser::forward);
    desktop::Connect(Browser, &QTextBrowser::backwardAvailable, cmdBack, &QAction::setEnabled);
    desktop::Connect(Browser, &QTextBrowser::forwardAvailable, cmdForward, &QAction::setEnabled);
    desktop::Connect(Browser, &QTextBrowser::sourceChanged, this,
                     &THelpWindow::BrowserSourceChanged);
    desktop::Connect(ediSearch, &QLineEdit::textChanged, this, &THelpWindow::Search);
    desktop::Connect(ediSearch, &QLineEdit::returnPressed, this, [this] {
        if (lbTopics->count() > 0) {
            lbTopics->setCurrentRow(0);
            lbTopicsClick();
        }
    });
    desktop::Connect(lbTopics, &QListWidget::itemClicked, this, &THelpWindow::lbTopicsClick);
    desktop::Connect(lbTopics, &QListWidget::itemActivated, this, &THelpWindow::lbTopicsClick);

    Browser->setSource(HelpTopicUrl(0));
}

void THelpWindow::ShowTopic(int topic, const QString& anchor) {
    Browser->setSource(HelpTopicUrl(topic, anchor));
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

QUrl THelpWindow::Source() const {
    return Browser->source();
}

void THelpWindow::Search(const QString& text) {
    const QStringList words = text.toLower().split(u' ', Qt::SkipEmptyParts);
    searchWord_ = words.value(0);
    lbTopics->clear();
    for (const int topic : HelpTopics()) {
        const QString& page = PageText(topic);
        const bool holds = std::all_of(words.begin(), words.end(),
                                       [&](const QString& word) { return page.contains(word); });
        if (!holds) continue;
        auto* item = new QListWidgetItem(HelpTopicTitle(topic), lbTopics);
        item->setData(Qt::UserRole, topic);
    }
    BrowserSourceChanged(Browser->source());
}

QList<int> THelpWindow::ListedTopics() const {
    QList<int> topics;
    for (int i = 0; i < lbTopics->count(); ++i)
        topics << lbTopics->item(i)->data(Qt::UserRole).toInt();
    return topics;
}

void THelpWindow::lbTopicsClick() {
    const QListWidgetItem* item = lbTopics->currentItem();
    if (!item) return;
    ShowTopic(item->data(Qt::UserRole).toInt());
    if (searchWord_.isEmpty()) return;
    Browser->moveCursor(QTextCursor::Start);
    Browser->find(searchWord_);
}

// The list follows the page shown, where the page is listed.
void THelpWindow::BrowserSourceChanged(const QUrl& source) {
    const int topic = TopicOfUrl(source);
    const QSignalBlocker quiet(lbTopics);
    for (int i = 0; i < lbTopics->count(); ++i) {
        if (lbTopics->item(i)->data(Qt::UserRole).toInt() == topic) {
            lbTopics->setCurrentRow(i);
            return;
        }
    }
    lbTopics->setCurrentRow(-1);
}

THelpWindow* HelpWindowOf(const QWidget* window) {
    return window ? window->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void ShowHelpTopic(QWidget* owner, int topic, const QString& anchor) {
    static QPointer<THelpWindow> ownerless;
    QWidget* window = owner ? owner->window() : nullptr;
    THelpWindow* help = qobject_cast<THelpWindow*>(window);
    if (!help) help = window ? HelpWindowOf(window) : ownerless.data();
    if (!help) {
        help = new THelpWindow(window);
        if (!window) {
            help->setAttribute(Qt::WA_DeleteOnClose);
            ownerless = help;
        }
    }
    help->ShowTopic(topic, anchor);
}

THelpPlace HelpPlaceInFront(QWidget* focus) {
    if (!focus) return {};
    QWidget* window = focus->window();
    if (qobject_cast<QMenu*>(window)) {
        for (QObject* menu = window; qobject_cast<QMenu*>(menu); menu = menu->parent())
            if (HelpContextOf(menu)) return PlaceOf(menu);
        return {};
    }
    for (QWidget* w = focus; w && w != window; w = w->parentWidget())
        if (HelpContextOf(w)) return PlaceOf(w);
    for (const QTabWidget* pages : window->findChildren<QTabWidget*>()) {
        const QWidget* page = pages->currentWidget();
        if (pages->isVisible() && page && HelpContextOf(page)) return PlaceOf(page);
    }
    return PlaceOf(window);
}

void InstallHelpKey(QObject* owner) {
    qApp->installEventFilter(new THelpKey(owner));
}
