#include "ui/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "app/MainForm.h"
#include "ui/ChoseForm.h"

namespace sv {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool QtDialogs::AskYesNo(std::string_view text, MessageIcon icon) {
    QMessageBox box(IconOf(icon), kCaption, Q(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::ShowMessage(std::string_view text, MessageIcon icon) {
    QMessageBox box(IconOf(icon), kCaption, Q(text), QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<int> QtDialogs::ChooseFromList(std::string_view prompt, const std::vector<std::string>& items,
                                             int preselected) {
    if (items.empty()) return std::nullopt;
    TChoseForm form(std::string(prompt), items, preselected, parent_);
    form.exec();
    return form.Chosen();
}

std::optional<std::string> QtDialogs::AskText(std::string_view prompt, const std::vector<std::string>& suggestions,
                                              std::string_view initial) {
    QStringList list;
    list << Q(initial);
    for (const auto& s : suggestions) list << Q(s);
    bool ok = false;
    const QString text = QInputDialog::getItem(parent_, kCaption, Q(prompt), list, 0, true, &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

std::optional<std::string> QtDialogs::PickFile(std::string_view title, std::string_view filter) {
    const QString path = QFileDialog::getOpenFileName(parent_, Q(title), QString(), Q(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void QtEventPump::ProcessPendingEvents() { QCoreApplication::processEvents(); }

}  // namespace sv
