// The texts of every window, in the order the window asks its language section
// for them. The built-in Russian and English language files are written from
// these tables, and the windows apply a loaded file's section through them, so
// a window's texts and the files can never drift apart.
#pragma once

#include <string>
#include <vector>

namespace sv {

enum class TextTarget {
    Text,     // caption of a button, label, check box, menu or action
    ToolTip,  // hint
    Title,    // window title or group box title
    Item,     // item `index` of a combo box
    Column,   // column `index` of a list's header
    Tab,      // page `index` of a tab widget
    Value,    // a text the controller uses itself (prefixes, fixed captions)
};

struct WindowText {
    const char* object;  // Qt object name of the control, or the key of a Value
    TextTarget target;
    int index;
    const char* russian;
    const char* english;
};

struct WindowTexts {
    int section;  // "#NN" in the language file
    std::vector<WindowText> texts;  // entry 02, 03, ... in this order

    // The built-in (Russian) text of a Value or control, empty when unknown.
    std::string Russian(const char* object, TextTarget target = TextTarget::Value, int index = 0) const;
};

// Section numbers of the windows.
inline constexpr int kMainWindowSection = 1;
inline constexpr int kSettingsSection = 2;
inline constexpr int kBurnFormSection = 3;
inline constexpr int kConvertFormSection = 4;
inline constexpr int kId3FormSection = 5;
inline constexpr int kCddbEditSection = 6;
inline constexpr int kWriteSettingSection = 7;
inline constexpr int kTrackPropSection = 8;
inline constexpr int kProgressFormSection = 9;
inline constexpr int kReadCommandSection = 10;
inline constexpr int kOtherTextsSection = 11;  // the drive information window, the about box, small texts
// Section 12 holds the online lookup's messages (kLookupTextsSection of
// metadata/CddbLookup.h, whose table LookupTexts() shows here).
inline constexpr int kSettingsMoreSection = 13;  // the settings dialog's controls beyond section 2's 98

const WindowTexts& MainWindowTexts();
const WindowTexts& SettingsFormTexts();
const WindowTexts& ReadCommandFormTexts();
const WindowTexts& BurnFormTexts();
const WindowTexts& ConvertFormTexts();
const WindowTexts& WriteSettingFormTexts();
const WindowTexts& ProgressFormTexts();
const WindowTexts& Id3FormTexts();
const WindowTexts& CddbEditFormTexts();
const WindowTexts& TrackPropFormTexts();
const WindowTexts& OtherTexts();
const WindowTexts& LookupTexts();
const WindowTexts& SettingsFormMoreTexts();

class TLanguage;
// The text of a Value entry `key` of the table: from the loaded language's
// section when a language other than Russian is in use and it has one, else
// the built-in text.
std::string WindowValue(const WindowTexts& table, const char* key, TLanguage& language, const std::string& languageName);

// Every window's table, in ascending section order.
std::vector<const WindowTexts*> AllWindowTexts();

}  // namespace sv
