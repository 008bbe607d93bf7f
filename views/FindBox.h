#pragma once
// TFindBox, the Find in Scan window: the files and folders of the scanned drives whose names
// match a text (a part of the name, a wildcard pattern, or a regular expression; any case or
// the case given), below the selected folder or everywhere, listed with their size and path as
// they are found. Enter or a double click opens the row's folder in the main window. Section
// "FindBox" of the program's key keeps its placement and the last search.

#include <vector>

#include "engine/FileQueries.h"
#include "views/FileWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TFindBox : public TFileWindow {
    Q_OBJECT
public:
    explicit TFindBox(QWidget* owner = nullptr);
    ~TFindBox() override;

    // Sets the window up over the selected folder and the drives' top folders; nothing is
    // searched until Find.
    void Fill(const engine::TFolderNode* selected, std::vector<const engine::TFolderNode*> drives);
    // Searches as the controls say, listing what matches (at most kMostShown rows); the
    // window's events are handled meanwhile, and Stop ends the search.
    void Find();

    static constexpr int kMostShown = 10000;

    QLineEdit* ediText = nullptr;
    QComboBox* cbKind = nullptr;   // "Name Contains", "Wildcards (* and ?)", "Regular Expression"
    QComboBox* cbWhere = nullptr;  // "Below the Selected Folder", "In All Scanned Drives"
    QCheckBox* chkMatchCase = nullptr;
    QPushButton* btnFind = nullptr;  // "Find", "Stop" while searching
    TFileRows* FoundList = nullptr;

protected:
    void Forget() override;

private:
    const engine::TFolderNode* selected_ = nullptr;
    std::vector<const engine::TFolderNode*> drives_;
    bool searching_ = false;
    bool stop_ = false;
};
