// The profile list "setting/prof.lst": line 0 is the index of the current
// profile (-1: the default "set.dat"), lines 1..n the profiles' file names.
#pragma once

#include <string>
#include <vector>

namespace sv {

class ProfileList {
public:
    static constexpr int kMaxProfiles = 10;

    // Reads the list; a missing or empty file gives the single line "-1".
    void Load(const std::string& settingsFolder);
    // Writes the lines separated by CR LF; false when it cannot be written.
    bool Save(const std::string& settingsFolder) const;

    // The profile file of a typed profile name: the name without characters
    // a file name may not hold (folder separators among them) and ".prof";
    // empty when nothing usable is left.
    static std::string FileNameFor(const std::string& name);
    // A menu entry's caption: the file name up to its first ".".
    static std::string Caption(const std::string& fileName);
    // Index of `fileName` (compared case-insensitively), or -1.
    int Find(const std::string& fileName) const;
    // Appends a profile file (at most ten); its index, or -1.
    int Add(const std::string& fileName);
    // Removes profile `index` from the list.
    void Remove(int index);

    int CurrentIndex() const { return current_; }
    void SetCurrentIndex(int index);
    const std::vector<std::string>& Profiles() const { return profiles_; }
    // "set.dat" for the default, else the current profile's file name.
    std::string CurrentFileName() const;

private:
    int current_ = -1;
    std::vector<std::string> profiles_;
};

}  // namespace sv
