#pragma once
// The "Free Some Space" page: four action panels (delete, move, recycle, archive) that light up
// under the pointer, a memo that explains the action pointed at, and the actions themselves on
// the folder selected in the tree. A drive's root is never acted on.

#include <QString>
#include <array>

#include "views/ViewPage.h"

class QEvent;
class QLabel;
class QTextEdit;
class TPathLabel;
class TSensitivePanel;

// What the actions need of the window that holds the folder tree.
class ICleanUpHost {
public:
    virtual ~ICleanUpHost() = default;
    // The folder the actions work on: the tree's selected node, or none.
    virtual engine::TFolderNode* CleanUpFolder() const = 0;
    // False while a scan or another run holds the tree.
    virtual bool MayChangeTree() const = 0;
    // After an action: when nothing is left at path, the node leaves the tree (its totals taken
    // off its ancestors) and the views are refreshed; true if so.
    virtual bool RemoveVanishedFolder(const QString& path, engine::TFolderNode* node) = 0;
    // Counts the folder again, so that its totals are the disk's after an action went part-way.
    virtual void RescanFolder(engine::TFolderNode* node) = 0;
};

class TCleanUpPage : public TViewPage {
    Q_OBJECT
public:
    // The hint texts, by the number a panel's label carries as its tag.
    static const std::array<const char*, 5> HintTexts;

    explicit TCleanUpPage(QWidget* parent = nullptr);

    void SetHost(ICleanUpHost* host) { host_ = host; }
    void Present(const TPresentation& presentation) override;
    void Forget() override {}

    // Ctrl with B, D, M or R, as the window sees it first: the action of that panel. False for
    // any other key, which then goes on to the control it was meant for.
    bool ShortcutPressed(int key);

    // A click on a panel, its image or its label; the shortcuts.
    void panCleanMenuDeleteClick();
    void panCleanMenuRecycleClick();
    void panCleanMenuMoveClick();
    void panCleanMenuCompressClick();

signals:
    // The help of a topic, over a dialog of the page.
    void HelpRequested(int topic, QWidget* over);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Action {
        TSensitivePanel* panel;
        QLabel* image;
        QLabel* label;
        void (TCleanUpPage::*click)();
    };

    void panCleanMenuMoveSensitiveActivate(QWidget* sender);
    void panCleanMenuMoveSensitiveDeactivate(QWidget* sender);
    const Action* ActionOf(const QWidget* panel) const;
    void ShowHint(int number);
    // The folder an action may work on: selected, with a parent, the tree free.
    engine::TFolderNode* FolderToActOn() const;
    void DeleteOrRecycle(bool recycle);
    // The tree made to agree with the disk after an action on the folder at path: the node
    // leaves when the folder is gone; a folder that stays is counted again when the action
    // changed it part-way.
    void AdjustTree(const QString& path, engine::TFolderNode* node, bool changedPartWay);

    ICleanUpHost* host_ = nullptr;
    QWidget* panWebCleanUpPath_ = nullptr;
    TPathLabel* txtWebCleanUpPath_ = nullptr;
    TSensitivePanel* panCleanMenuDelete_ = nullptr;
    TSensitivePanel* panCleanMenuMove_ = nullptr;
    TSensitivePanel* panCleanMenuRecycle_ = nullptr;
    TSensitivePanel* panCleanMenuCompress_ = nullptr;
    QTextEdit* ediCleanMenuHint_ = nullptr;
    std::array<Action, 4> actions_{};
};
