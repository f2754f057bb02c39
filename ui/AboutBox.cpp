#include "ui/AboutBox.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

#include "app/UserGuide.h"
#include "app/WindowTexts.h"
#include "base/Interaction.h"
#include "base/Paths.h"

namespace sv {
namespace {

struct LibraryCredit {
    const char* name;
    const char* licence;
};

// What the program links or loads, and under which licence each comes.
constexpr LibraryCredit kLibraries[] = {
    {"Qt 6", "GNU LGPL 3"},
    {"FFmpeg (libavcodec, libavformat, libswresample)", "GNU LGPL 2.1+"},
    {"LAME (libmp3lame)", "GNU LGPL 2+"},
};

QString Escaped(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

}  // namespace

void ShowAboutBox(QWidget* parent, TLanguage& language, const std::string& languageName) {
    auto text = [&](const char* key) { return Escaped(WindowValue(OtherTexts(), key, language, languageName)); };
    QString body = QStringLiteral("<h3>Sornaval 3.4</h3><p>%1</p><p>%2 %3 (Qt %4)</p><p>%5</p><p>%6</p><ul>")
                       .arg(text("AboutSummary"), text("AboutVersion"), QStringLiteral(SORNAVAL_VERSION),
                            QString::fromLatin1(qVersion()), text("AboutLicence"), text("AboutLibraries"));
    for (const LibraryCredit& l : kLibraries)
        body += QStringLiteral("<li>%1: %2</li>").arg(QString::fromLatin1(l.name), QString::fromLatin1(l.licence));
    body += QStringLiteral("</ul><p>%1<br>%2</p>").arg(text("AboutDataFolder"), Escaped(DataFolder()));
    QMessageBox box(parent);
    box.setObjectName("TAboutBox");
    box.setWindowTitle(QString::fromStdString(WindowValue(OtherTexts(), "AboutTitle", language, languageName)));
    box.setTextFormat(Qt::RichText);
    box.setText(body);
    if (parent) box.setIconPixmap(parent->windowIcon().pixmap(64, 64));
    box.exec();
}

void OpenUserGuide(IUserDialogs& dialogs, TLanguage& language, const std::string& languageName) {
    const UserGuideSearch found = FindUserGuide(languageName);
    if (!found.path.empty() && QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(found.path))))
        return;
    std::string message = WindowValue(OtherTexts(), "GuideMissing", language, languageName);
    for (const auto& place : found.searched) message += "\n" + place;
    dialogs.ShowMessage(message, MessageIcon::Warning);
}

}  // namespace sv
