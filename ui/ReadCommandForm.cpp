#include "ui/ReadCommandForm.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/WindowTexts.h"
#include "base/Language.h"
#include "ui/WindowTextApplier.h"

namespace sv {

TReadCommandForm::TReadCommandForm(const std::vector<DetectionRow>& rows, TLanguage& language,
                                   const std::string& languageName, QWidget* parent)
    : QDialog(parent), rows_(rows) {
    setObjectName("TReadCommandForm");
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("ResultList");
    list_->setColumnCount(4);
    list_->setRootIsDecorated(false);
    list_->setMinimumSize(520, 420);
    for (const auto& row : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::number(row.number));
        item->setText(1, QString::fromStdString(row.CommandName()));
        item->setText(2, QString::number(row.sectors));
        item->setText(3, QString::fromStdString(row.Result()));
        item->setIcon(0, style()->standardIcon(row.Image() == 0 ? QStyle::SP_DialogApplyButton : QStyle::SP_DialogCancelButton));
    }
    // Every column as wide as its header and its longest cell; the command
    // column takes what is left.
    list_->header()->setStretchLastSection(false);
    for (int column : {0, 2, 3}) list_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->setMinimumSize(620, 420);
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
    ok->setObjectName("OkButton");
    buttons->addButton(QString(), QDialogButtonBox::RejectRole)->setObjectName("CancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const int index = list_->indexOfTopLevelItem(list_->currentItem());
        if (index < 0 || index >= static_cast<int>(rows_.size())) return;  // no row: nothing happens
        taken_ = SettingsFormSources::DetectedCommand{rows_[static_cast<std::size_t>(index)].command,
                                                     rows_[static_cast<std::size_t>(index)].sectors};
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ApplyBuiltinTexts(this, ReadCommandFormTexts());
    ApplyLanguageToDialog(this, ReadCommandFormTexts(), language, languageName);
}

}  // namespace sv
