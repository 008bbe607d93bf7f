#include "views/FindBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "config/AppConfiguration.h"
#include "desktop/Guarded.h"
#include "engine/FolderTree.h"
#include "engine/TextForms.h"
#include "views/FileRows.h"

namespace {

const QString kSection = QStringLiteral("FindBox");
// The window answers between names this often while it searches.
constexpr int kPumpMs = 20;

}  // namespace

TFindBox::TFindBox(QWidget* owner) : TFileWindow(QStringLiteral("Find in Scan"), kSection, owner) {
    auto* line = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Name:"));
    ediText = new QLineEdit;
    ediText->setObjectName("ediText");
    label->setBuddy(ediText);
    cbKind = new QComboBox;
    cbKind->setObjectName("cbKind");
    cbKind->addItems({"Name Contains", "Wildcards (* and ?)", "Regular Expression"});
    btnFind = new QPushButton(QStringLiteral("&Find"));
    btnFind->setObjectName("btnFind");
    btnFind->setDefault(true);
    line->addWidget(label);
    line->addWidget(ediText, 1);
    line->addWidget(cbKind);
    line->addWidget(btnFind);
    Layout->addLayout(line);
    auto* options = new QHBoxLayout;
    cbWhere = new QComboBox;
    cbWhere->setObjectName("cbWhere");
    cbWhere->addItems({"Below the Selected Folder", "In All Scanned Drives"});
    chkMatchCase = new QCheckBox(QStringLiteral("Match &case"));
    chkMatchCase->setObjectName("chkMatchCase");
    options->addWidget(cbWhere);
    options->addWidget(chkMatchCase);
    options->addStretch(1);
    Layout->addLayout(options);
    FoundList = new TFileRows;
    FoundList->setObjectName("FoundList");
    Layout->addWidget(FoundList, 1);
    Layout->addWidget(StatusLine);
    ConnectRows(FoundList);
    desktop::Connect(btnFind, &QPushButton::clicked, this, [this] {
        if (searching_)
            stop_ = true;
        else
            Find();
    });
    try {
        ediText->setText(RegReadString(AppRegistryKey, kSection, "Text", QString()));
        cbKind->setCurrentIndex(
            std::clamp(RegReadInteger(AppRegistryKey, kSection, "Kind", 0), 0, 2));
        chkMatchCase->setChecked(RegReadBool(AppRegistryKey, kSection, "MatchCase", false));
    } catch (const ERegistryException&) {
        // What cannot be read keeps its default.
    }
}

TFindBox::~TFindBox() {
    try {
        RegWriteString(AppRegistryKey, kSection, "Text", ediText->text());
        RegWriteInteger(AppRegistryKey, kSection, "Kind", cbKind->currentIndex());
        RegWriteBool(AppRegistryKey, kSection, "MatchCase", chkMatchCase->isChecked());
    } catch (const ERegistryException&) {
    }
}

void TFindBox::Fill(const engine::TFolderNode* selected,
                    std::vector<const engine::TFolderNode*> drives) {
    Begin();
    Forget();
    selected_ = selected;
    drives_ = std::move(drives);
    cbWhere->setEnabled(selected_ != nullptr);
    if (!selected_) cbWhere->setCurrentIndex(1);
    StatusLine->setText(QStringLiteral("Type a name or a part of it, then press Enter."));
    ediText->setFocus();
    ediText->selectAll();
}

void TFindBox::Find() {
    if (searching_) return;
    FoundList->Clear();
    auto kind = engine::TNamePattern::TKind(cbKind->currentIndex());
    // A "*" or "?" typed into a plain search is meant as a wildcard; an expression finds them.
    const bool wildcards = kind == engine::TNamePattern::TKind::Substring &&
                           (ediText->text().contains(u'*') || ediText->text().contains(u'?'));
    if (wildcards) kind = engine::TNamePattern::TKind::Wildcard;
    const engine::TNameMatcher matcher({kind, ediText->text(), chkMatchCase->isChecked()});
    if (!matcher.IsValid()) {
        StatusLine->setText(QStringLiteral("The regular expression is not valid: ") +
                            matcher.Error());
        return;
    }
    std::vector<const engine::TFolderNode*> roots;
    if (cbWhere->currentIndex() == 0 && selected_)
        roots.push_back(selected_);
    else
        roots = drives_;
    searching_ = true;
    stop_ = false;
    btnFind->setText(QStringLiteral("&Stop"));
    for (QWidget* control : std::initializer_list<QWidget*>{ediText, cbKind, cbWhere, chkMatchCase})
        control->setEnabled(false);
    const auto done = qScopeGuard([this] {
        searching_ = false;
        btnFind->setText(QStringLiteral("&Find"));
        for (QWidget* control : std::initializer_list<QWidget*>{ediText, cbKind, chkMatchCase})
            control->setEnabled(true);
        cbWhere->setEnabled(selected_ != nullptr);
    });
    int found = 0;
    bool withoutFiles = false;
    QElapsedTimer pump;
    pump.start();
    FoundList->setSortingEnabled(false);  // the rows stay in the order they are found
    for (const engine::TFolderNode* root : roots) {
        if (!engine::FileStoreOf(root)) withoutFiles = true;
        engine::FindNames(root, matcher, [&](const engine::TFoundName& hit) {
            if (stop_) return false;  // Stop, or the window closed while it answered
            if (hit.IsFile)
                FoundList->AddFile({hit.Folder, hit.Index});
            else
                FoundList->AddFolder(hit.Folder);
            ++found;
            if (pump.elapsed() >= kPumpMs) {
                StatusLine->setText(QStringLiteral("Searching... %1 found").arg(found));
                QCoreApplication::processEvents();
                pump.restart();
            }
            return found < kMostShown && !stop_;
        });
        if (found >= kMostShown || stop_) break;
    }
    FoundList->setSortingEnabled(true);
    FoundList->sortByColumn(-1, Qt::AscendingOrder);
    if (found > 0) FoundList->setCurrentItem(FoundList->topLevelItem(0));
    QString text = found >= kMostShown ? QStringLiteral("The first %1 names found are shown.")
                                             .arg(engine::CountText(kMostShown))
                                       : QStringLiteral("%1 found.").arg(engine::CountText(found));
    if (stop_) text = QStringLiteral("Stopped: ") + text;
    if (wildcards) text += QStringLiteral(" (\"*\" and \"?\" taken as wildcards)");
    if (withoutFiles)
        text += u' ' + QStringLiteral(
                           "Only folders were searched where file "
                           "details were not kept.");
    StatusLine->setText(text);
}

void TFindBox::Forget() {
    stop_ = true;
    FoundList->Clear();
    selected_ = nullptr;
    drives_.clear();
}
