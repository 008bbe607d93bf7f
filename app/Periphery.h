#pragma once
// The small windows around the program: the about box, the introductory letter, the user
// survey, the help window and the product's web page.

class QWidget;

void ShowAboutBox(QWidget* owner);
void ShowIntroductoryLetter(QWidget* owner);
void ShowUserSurvey(QWidget* owner);
// The contents of the program's help; topic 0 is the contents page.
void ShowHelpContents(QWidget* owner, int topic = 0);
void OpenProductWebPage();
