// The logic of the ID3 tag editor (TID3Form) without its widgets.
//
// Track mode edits the tag records of the disc in the drive: a track without a
// stored tag shows fields prefilled from the disc, any edit marks the tag
// present, and OK hands the titles, album, artist and compilation flag back to
// the disc record. Record mode edits tag records handed over by the caller
// (the album editor, the converter): fields change and nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/DiscInfo.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"

namespace sv {

// The text fields of a tag record that the editor shows, in form order.
enum class TagField : int {
    Title, Artist, Album, Year, Genre, Comment, Composer, OriginalArtist, Copyright, Url, EncodedBy, TrackNumber
};
inline constexpr int kTagFieldCount = 12;

// Width of the field in the record in bytes, terminator included: the longest
// text that fits is one byte less.
std::size_t TagFieldWidth(TagField field);
// Whether `text` (UTF-8) fits into the field without being cut.
bool TagFieldFits(TagField field, std::string_view text);

struct TagFields {
    bool present = false;
    std::array<std::string, kTagFieldCount> text;
    std::string& operator[](TagField f) { return text[static_cast<std::size_t>(f)]; }
    const std::string& operator[](TagField f) const { return text[static_cast<std::size_t>(f)]; }
    friend bool operator==(const TagFields&, const TagFields&) = default;
};

TagFields ReadTagFields(const TagRecordRef& record);
// Clears the record and writes the fields into it; texts longer than a field
// are cut at a character boundary.
void StoreTagFields(const TagFields& fields, TagRecordRef record);
// What a track without a stored tag shows: the disc's artist (also as the
// copyright), album, genre and year, the track's title, the track number from
// 1 and the encoder's name; the present flag stays clear.
TagFields PrefillTagFields(const DISC_INFO& disc, int track, std::string_view encoderName);
// The encoder chosen in the settings, by its entry in the MP3 codec list: the
// first entry (the LAME library) when UseLameEncoder is set, otherwise the ACM
// codec Mp3AcmCodecIndex, which is entry Mp3AcmCodecIndex + 1 (the first entry
// when that is outside the list).
std::string EncoderNameForTags(const TProgramSettings& settings, const std::vector<std::string>& codecList);

class TTagEditor {
public:
    enum class Mode { Track, Record };

    // Track mode on the disc in the drive: the editor keeps a copy of the disc
    // record and edits `tags` (one block per track) in place.
    TTagEditor(const DISC_INFO& disc, TagBlocks& tags, std::string encoderName, int selectedTrack);
    // Record mode on `records`, with `titles` in the track selector.
    TTagEditor(TagBlocks& records, std::vector<std::string> titles, int selected);

    Mode GetMode() const { return mode_; }
    int Count() const { return static_cast<int>(titles_.size()); }
    const std::vector<std::string>& Titles() const { return titles_; }
    int Current() const { return current_; }
    const TagFields& Fields() const { return fields_; }
    bool Compilation() const { return compilation_; }
    void SetCompilation(bool on) { compilation_ = on; }
    const DISC_INFO& DiscCopy() const { return disc_; }
    // True once the editor wrote into a tag record.
    bool StoredAny() const { return storedAny_; }

    // The user changed a field. In track mode this marks the tag present, and
    // a new title also renames the current entry of the track selector.
    void Edit(TagField field, std::string text);
    void SetPresent(bool on) { fields_.present = on; }
    // Stores the form into the current track's record, then shows `track`.
    void Select(int track);
    // Stores the form into the current track's record.
    void StoreCurrent();
    // Track mode: fills the disc's empty year, genre, artist and album from
    // the form and gives every track a tag of the disc's data and the form's
    // shared fields, numbered from 1.
    void CopyToAllTracks();

    struct AcceptResult {
        bool albumSet = false;   // the disc had no album and took the form's
        bool artistSet = false;  // likewise for the artist
    };
    // Track mode OK: compilation flag, the current form, every title of the
    // selector into `disc`, and the album and artist when `disc` has none; a
    // year or genre that "copy to all tracks" gave the editor's copy of the
    // disc also reaches `disc` when it has none.
    AcceptResult Accept(DISC_INFO& disc);

private:
    void Show(int track);

    Mode mode_;
    DISC_INFO disc_;
    TagBlocks& tags_;
    std::string encoder_;
    std::vector<std::string> titles_;
    int current_ = -1;
    TagFields fields_;
    bool compilation_ = false;
    bool storedAny_ = false;
};

}  // namespace sv
