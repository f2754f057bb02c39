// TCDInfo: what the current drive can read, write and do, with "Copy".
#pragma once

#include <QDialog>

#include <string>
#include <vector>

namespace sv {

class TCDInfo : public QDialog {
    Q_OBJECT
public:
    explicit TCDInfo(const std::vector<std::string>& lines, QWidget* parent = nullptr);
};

}  // namespace sv
