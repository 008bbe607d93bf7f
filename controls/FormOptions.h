#pragma once
// TOptionsBox: the "Options" dialog, which edits the settings that have no toolbar button: the
// 18 colours, four view preferences, the three pie thresholds, the drives scanned at start-up,
// and whether the file manager offers to analyse a folder with the program (the folder verb).
//
// The caller shows it modally and reads Accepted once it has closed: true as soon as OK was
// pressed, even when OK then stopped at a threshold it could not take (the values before that
// one were applied) or at a folder verb it could not write. OK writes into the settings in
// memory; nothing reaches the settings store before the program ends.

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QString>

#include "config/AppConfiguration.h"

class QCheckBox;
class QColorDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TOrbDriveCheckListBox;

// A raised panel filled with a colour that serves as a button: pressed with the left button both
// its bevels go down at once, released they come up, and a release over it is a click.
class TColorPanel : public QFrame {
    Q_OBJECT
public:
    explicit TColorPanel(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor Color() const;
    bool Pressed() const { return frameShadow() == QFrame::Sunken; }

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TOptionsBox : public QDialog {
    Q_OBJECT
public:
    // owner: the window the dialog centres over. programHostPath: the program file as the host
    // names it; the folder verb starts it, and its drive is the one highlighted in the list.
    explicit TOptionsBox(QWidget* owner = nullptr,
                         const QString& programHostPath = QCoreApplication::applicationFilePath());

    // True once OK was pressed.
    bool Accepted() const { return accepted_; }
    // The dialog's copy of AppColors; OK writes it back.
    TAppColors EditColors{};

    // The captions of the colour table, in index order.
    static const QStringList& ColorCaptions();
    // A threshold angle as the edits show it: its percentage of the full circle with three
    // decimals and the locale's decimal separator (2 degrees: "0.556").
    static QString PercentText(double angle);

    QListWidget* lbColors{};
    QLabel* capColor{};
    TColorPanel* TheColorButton{};
    QPushButton* cmdDefaultColors{};
    TOrbDriveCheckListBox* TheDrivesBox{};
    QCheckBox *chkIncludeWastedInformation{}, *chkShowFileNames{}, *chkAutoExpand{},
        *chkAutoCollapse{}, *chkCountHardLinksOnce{}, *chkKeepFileDetails{};
    QLineEdit *ediMinFileSection{}, *ediMinFolderSection{}, *ediMinTextSection{};
    QPushButton *cmdDefaultValues{}, *cmdOK{}, *cmdCancel{}, *cmdHelp{};
    QCheckBox* chkExplorerMenu{};
    QLabel* capExplorerMenu{};  // the check box's caption continued: "menu"
    QColorDialog* TheColorDialog{};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void LayOut();
    void FormCreate();
    void lbColorsClick();
    void TheColorButtonClick();
    void cmdDefaultColorsClick();
    void cmdDefaultValuesClick();
    void cmdOKClick();
    void cmdHelpClick();
    // Stores the angle of one threshold edit; false (after the message) when its text is no
    // number or gives an angle outside 0 to 360 degrees.
    bool ApplyThreshold(const QLineEdit* edit, double& angle);

    QString programHostPath_;
    bool accepted_ = false;
};
