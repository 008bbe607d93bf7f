#include "app/Periphery.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/Messages.h"
#include "config/AppConfiguration.h"
#include "config/Options.h"
#include "controls/URL.h"
#include "controls/verslab.h"
#include "desktop/MessageBox.h"

namespace {

const QString kProductAddress = QStringLiteral("www.norvane.example/quillon-pro");
// A distributor's installation writes this word into its "URL" value to hide the web page.
const QString kDistributorMarker = QStringLiteral("DISTRIBUTOR");

// A modal box with a text and an OK button.
void ShowTextBox(QWidget* owner, const QString& title, QWidget* body) {
    QDialog box(owner);
    box.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(body);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    desktop::RunModal(box);
}

}  // namespace

void ShowAboutBox(QWidget* owner) {
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    auto* name = new QLabel("Quillon Pro");
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name);
    layout->addWidget(new QLabel("A disk-space analyser that shows where your space goes."));
    for (TVersionResources field :
         {vrProductVersion, vrFileVersion, vrCompanyName, vrLegalCopyright}) {
        auto* label = new TVersionLabel;
        label->setVersionResource(field);
        layout->addWidget(label);
    }
    ShowTextBox(owner, "About Quillon Pro", body);
}

void ShowIntroductoryLetter(QWidget* owner) {
    auto* text = new QLabel(
        "Welcome to Quillon Pro!\n\n"
        "Quillon Pro reads every folder of the drives you choose once, and then shows you where "
        "your disk space goes: as a pie chart you can click through, as folder information, as a "
        "sortable list of subfolders, and as the space lost in the last cluster of every file.\n\n"
        "Nothing changes on your drives while Quillon Pro scans them. When you find space to free, "
        "the \"Free Some Space\" page deletes, trashes, moves or archives a folder, always asking "
        "first.\n\n"
        "Start by choosing the drives to scan.");
    text->setWordWrap(true);
    text->setMinimumWidth(380);
    ShowTextBox(owner, "Introductory Letter", text);
}

void ShowUserSurvey(QWidget*) {
    ShowInfo(
        "Thank you for using Quillon Pro. Tell us what you would like it to do better: write "
        "to the address on the Quillon Pro web page (" +
        kProductAddress + ").");
}

bool ProductWebPageOffered() {
    try {
        const QString url = RegReadString(AppRegistryKey, "Version", "URL", QString());
        return !url.toUpper().contains(kDistributorMarker);
    } catch (const ERegistryException&) {
        return true;  // a value that cannot be read marks nothing
    }
}

void OpenProductWebPage() {
    TURL url;
    url.setURL(kProductAddress);
    url.Open();
}
