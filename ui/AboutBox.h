// The about box and the user guide of the Help menu.
#pragma once

#include <string>

class QWidget;

namespace sv {

class IUserDialogs;
class TLanguage;

// Version, licence, the libraries the program uses with their licences, and
// the data folder, in the current language.
void ShowAboutBox(QWidget* parent, TLanguage& language, const std::string& languageName);

// Opens the installed user guide in the desktop's viewer; says where it was
// looked for when it is not there.
void OpenUserGuide(IUserDialogs& dialogs, TLanguage& language, const std::string& languageName);

}  // namespace sv
