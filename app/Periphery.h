#pragma once
// The small windows around the program: the about box, the introductory letter, the user
// survey, and the product's web page.

class QWidget;

void ShowAboutBox(QWidget* owner);
void ShowIntroductoryLetter(QWidget* owner);
void ShowUserSurvey(QWidget* owner);
void OpenProductWebPage();
// False when the installation marked this copy as a distributor's: the "Version" value "URL",
// in upper case, holds the distributor's marker word.
bool ProductWebPageOffered();
