// Shows a window's language texts on its controls, found by object name.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "app/WindowTexts.h"

namespace sv {

// values[i] becomes the text of table.texts[i]; Value entries are skipped.
void ApplyWindowTexts(QWidget* root, const WindowTexts& table, const std::vector<std::string>& values);

// The built-in (Russian) texts of the table.
void ApplyBuiltinTexts(QWidget* root, const WindowTexts& table);

class TLanguage;

// The text of a Value entry `key` of the table: from the loaded language's
// section when a language other than Russian is in use and it has one, else
// the built-in text.
QString WindowValueText(const WindowTexts& table, const char* key, TLanguage& language, const std::string& languageName);

// Reads the window's section of the loaded language and applies it, when a
// language other than Russian is in use (the windows' own texts are Russian).
void ApplyLanguageToDialog(QWidget* root, const WindowTexts& table, TLanguage& language, const std::string& languageName);

}  // namespace sv
