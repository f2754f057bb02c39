#include "app/UserGuide.h"

#include <QCoreApplication>

#include <filesystem>

#include "base/Text.h"

namespace sv {

UserGuideSearch FindUserGuide(const std::string& languageName, std::vector<std::string> folders) {
    if (folders.empty()) {
        folders.push_back(SORNAVAL_INSTALLED_DOCDIR);
        if (QCoreApplication::instance())
            folders.push_back(QCoreApplication::applicationDirPath().toStdString() + "/../share/doc/sornaval");
        folders.push_back(SORNAVAL_SOURCE_DOCDIR);
    }
    UserGuideSearch result;
    const std::vector<std::string> names = {"user-guide." + AsciiLower(languageName) + ".html", "user-guide.html"};
    for (const auto& folder : folders) {
        result.searched.push_back(folder);
        for (const auto& name : names) {
            std::error_code ec;
            const std::filesystem::path candidate = std::filesystem::path(folder) / name;
            if (std::filesystem::is_regular_file(candidate, ec)) {
                result.path = std::filesystem::weakly_canonical(candidate, ec).string();
                if (ec) result.path = candidate.string();
                return result;
            }
        }
    }
    return result;
}

}  // namespace sv
