// TChoseForm: chooses one of several CDDB matches. OK or Enter closes it; the
// chosen index is the list's selection (the first when nothing was touched).
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

namespace sv {

class TChoseForm : public QDialog {
    Q_OBJECT
public:
    TChoseForm(const std::string& label, const std::vector<std::string>& titles, int preselected,
               QWidget* parent = nullptr);
    int Chosen() const;

private:
    QComboBox* list_ = nullptr;
};

}  // namespace sv
