#include "ui/ChoseForm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/MainForm.h"

namespace sv {

TChoseForm::TChoseForm(const std::string& label, const std::vector<std::string>& titles, int preselected,
                       QWidget* parent)
    : QDialog(parent) {
    setObjectName("TChoseForm");
    setWindowTitle(kCaption);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QString::fromStdString(label), this);
    text->setObjectName("Label1");
    layout->addWidget(text);
    list_ = new QComboBox(this);
    list_->setObjectName("ComboBox1");
    for (const auto& t : titles) list_->addItem(QString::fromStdString(t));
    list_->setCurrentIndex(preselected >= 0 && preselected < list_->count() ? preselected : 0);
    list_->setMinimumWidth(360);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

int TChoseForm::Chosen() const { return list_->currentIndex() < 0 ? 0 : list_->currentIndex(); }

}  // namespace sv
