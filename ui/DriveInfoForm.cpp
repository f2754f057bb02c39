#include "ui/DriveInfoForm.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainForm.h"

namespace sv {

TCDInfo::TCDInfo(const std::vector<std::string>& lines, QWidget* parent) : QDialog(parent) {
    setObjectName("TCDInfo");
    setWindowTitle(kCaption);
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
    auto* copy = buttons->addButton("Copy", QDialogButtonBox::ActionRole);
    copy->setObjectName("CopyButton");
    connect(copy, &QPushButton::clicked, this, [text] { QApplication::clipboard()->setText(text); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace sv
