// TCDInfo: what the current drive can read, write and do, with "Copy".
#pragma once

#include <QDialog>

#include <string>
#include <vector>

namespace sv {

class TLanguage;

class TCDInfo : public QDialog {
    Q_OBJECT
public:
    // `language` and `languageName` give the window's texts (Russian when none).
    TCDInfo(const std::vector<std::string>& lines, TLanguage* language, const std::string& languageName,
            QWidget* parent = nullptr);
};

}  // namespace sv
