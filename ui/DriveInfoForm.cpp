#include "ui/DriveInfoForm.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainForm.h"
#include "app/WindowTexts.h"
#include "ui/WindowTextApplier.h"

namespace sv {

TCDInfo::TCDInfo(const std::vector<std::string>& lines, TLanguage* language, const std::string& languageName,
                 QWidget* parent)
    : QDialog(parent) {
    setObjectName("TCDInfo");
    auto* layout = new QVBoxLayout(this);
    auto* list = new QListWidget(this);
    list->setObjectName("InfoList");
    list->setFont(QFont("Monospace"));
    QString text;
    for (const auto& line : lines) {
        list->addItem(QString::fromStdString(line));
        if (!text.isEmpty()) text += '\n';
        text += QString::fromStdString(line);
    }
    list->setMinimumSize(420, 360);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    auto* copy = buttons->addButton(QString(), QDialogButtonBox::ActionRole);
    copy->setObjectName("CopyButton");
    connect(copy, &QPushButton::clicked, this, [text] { QApplication::clipboard()->setText(text); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    ApplyBuiltinTexts(this, OtherTexts());
    if (language) ApplyLanguageToDialog(this, OtherTexts(), *language, languageName);
}

}  // namespace sv
