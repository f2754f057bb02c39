// Where the user guide is: installed beside the program (share/doc/sornaval/),
// or in the source tree when the program runs from its build folder.
#pragma once

#include <string>
#include <vector>

namespace sv {

struct UserGuideSearch {
    std::string path;                   // the guide found, empty when none
    std::vector<std::string> searched;  // the folders looked in, in order
};

// The guide in the language (a "user-guide.<language>.html" such as
// user-guide.russian.html) or else "user-guide.html", from the first of
// `folders` that has one. Without folders: the installed documentation
// folder, the one beside the executable's prefix, the source tree's docs/.
UserGuideSearch FindUserGuide(const std::string& languageName, std::vector<std::string> folders = {});

}  // namespace sv
