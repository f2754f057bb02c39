#include "ui/WindowTextApplier.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTreeWidget>

#include "base/Language.h"

#include <cstring>

namespace sv {

namespace {

QObject* FindObject(QWidget* root, const char* name) {
    if (root->objectName() == QLatin1String(name)) return root;
    return root->findChild<QObject*>(QLatin1String(name));
}

void SetText(QObject* o, const QString& text) {
    if (auto* a = qobject_cast<QAction*>(o)) a->setText(text);
    else if (auto* m = qobject_cast<QMenu*>(o)) m->setTitle(text);
    else if (auto* b = qobject_cast<QAbstractButton*>(o)) b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(o)) l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(o)) g->setTitle(text);
    else if (auto* w = qobject_cast<QWidget*>(o)) w->setWindowTitle(text);
}

void Apply(QObject* o, const WindowText& t, const QString& text) {
    switch (t.target) {
    case TextTarget::Text: SetText(o, text); break;
    case TextTarget::ToolTip:
        if (auto* a = qobject_cast<QAction*>(o)) a->setToolTip(text);
        else if (auto* w = qobject_cast<QWidget*>(o)) w->setToolTip(text);
        break;
    case TextTarget::Title:
        if (auto* g = qobject_cast<QGroupBox*>(o)) g->setTitle(text);
        else if (auto* w = qobject_cast<QWidget*>(o)) w->setWindowTitle(text);
        break;
    case TextTarget::Item:
        if (auto* c = qobject_cast<QComboBox*>(o); c && t.index < c->count()) c->setItemText(t.index, text);
        break;
    case TextTarget::Column:
        if (auto* tree = qobject_cast<QTreeWidget*>(o); tree && tree->headerItem()) tree->headerItem()->setText(t.index, text);
        break;
    case TextTarget::Tab:
        if (auto* tabs = qobject_cast<QTabWidget*>(o); tabs && t.index < tabs->count()) tabs->setTabText(t.index, text);
        break;
    case TextTarget::Value: break;
    }
}

}  // namespace

void ApplyWindowTexts(QWidget* root, const WindowTexts& table, const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < table.texts.size() && i < values.size(); ++i) {
        const WindowText& t = table.texts[i];
        if (t.target == TextTarget::Value) continue;
        if (QObject* o = FindObject(root, t.object)) Apply(o, t, QString::fromStdString(values[i]));
    }
}

void ApplyBuiltinTexts(QWidget* root, const WindowTexts& table) {
    std::vector<std::string> values;
    for (const auto& t : table.texts) values.emplace_back(t.russian);
    ApplyWindowTexts(root, table, values);
}

QString WindowValueText(const WindowTexts& table, const char* key, TLanguage& language, const std::string& languageName) {
    return QString::fromStdString(WindowValue(table, key, language, languageName));
}

void ApplyLanguageToDialog(QWidget* root, const WindowTexts& table, TLanguage& language, const std::string& languageName) {
    if (languageName == "Russian" || language.CurrentIndex() < 0) return;
    std::vector<std::string> values;
    if (!language.SeekSection(table.section)) {
        // An English file written before this window existed has no section
        // for it: the built-in English texts stand in.
        if (languageName != "English") return;
        for (const auto& t : table.texts) values.push_back(t.english);
        ApplyWindowTexts(root, table, values);
        return;
    }
    int n = 2;
    for (std::size_t i = 0; i < table.texts.size(); ++i) values.push_back(language.GetText(n++));
    ApplyWindowTexts(root, table, values);
}

}  // namespace sv
