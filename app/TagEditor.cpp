#include "app/TagEditor.h"

#include <algorithm>
#include <utility>

#include "base/Text.h"

namespace sv {

namespace {

using TR = TagRecordRef;

constexpr std::array<std::size_t, kTagFieldCount> kWidths = {
    TR::kTitleSize,     TR::kArtistSize,         TR::kAlbumSize,     TR::kYearSize,
    TR::kGenreSize,     TR::kCommentSize,        TR::kComposerSize,  TR::kOriginalArtistSize,
    TR::kCopyrightSize, TR::kUrlSize,            TR::kEncodedBySize, TR::kTrackNumberSize,
};

}  // namespace

std::size_t TagFieldWidth(TagField field) { return kWidths[static_cast<std::size_t>(field)]; }

bool TagFieldFits(TagField field, std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    return text.size() < TagFieldWidth(field);
}

TagFields ReadTagFields(const TagRecordRef& r) {
    TagFields f;
    f.present = r.Present();
    f[TagField::Title] = r.Title();
    f[TagField::Artist] = r.Artist();
    f[TagField::Album] = r.Album();
    f[TagField::Year] = r.Year();
    f[TagField::Genre] = r.Genre();
    f[TagField::Comment] = r.Comment();
    f[TagField::Composer] = r.Composer();
    f[TagField::OriginalArtist] = r.OriginalArtist();
    f[TagField::Copyright] = r.Copyright();
    f[TagField::Url] = r.Url();
    f[TagField::EncodedBy] = r.EncodedBy();
    f[TagField::TrackNumber] = r.TrackNumber();
    return f;
}

void StoreTagFields(const TagFields& f, TagRecordRef r) {
    r.Clear();
    r.SetPresent(f.present);
    r.SetTitle(f[TagField::Title]);
    r.SetArtist(f[TagField::Artist]);
    r.SetAlbum(f[TagField::Album]);
    r.SetYear(f[TagField::Year]);
    r.SetGenre(f[TagField::Genre]);
    r.SetComment(f[TagField::Comment]);
    r.SetComposer(f[TagField::Composer]);
    r.SetOriginalArtist(f[TagField::OriginalArtist]);
    r.SetCopyright(f[TagField::Copyright]);
    r.SetUrl(f[TagField::Url]);
    r.SetEncodedBy(f[TagField::EncodedBy]);
    r.SetTrackNumber(f[TagField::TrackNumber]);
}

TagFields PrefillTagFields(const DISC_INFO& disc, int track, std::string_view encoderName) {
    TagFields f;
    f[TagField::Artist] = disc.Artist();
    f[TagField::Copyright] = disc.Artist();
    f[TagField::Album] = disc.Album();
    f[TagField::Title] = disc.TrackCopy(track).Title();
    f[TagField::Genre] = disc.Genre();
    f[TagField::Year] = disc.Year();
    f[TagField::TrackNumber] = std::to_string(disc.TrackNumber(track));
    f[TagField::EncodedBy] = std::string(encoderName);
    return f;
}

std::string EncoderNameForTags(const TProgramSettings& settings, const std::vector<std::string>& codecList) {
    if (codecList.empty()) return {};
    if (settings.UseLameEncoder()) return codecList.front();
    // The list starts with the LAME library; the ACM codecs follow it.
    const std::int64_t index = static_cast<std::int64_t>(settings.Mp3AcmCodecIndex()) + 1;
    if (index >= 1 && static_cast<std::uint64_t>(index) < codecList.size())
        return codecList[static_cast<std::size_t>(index)];
    return codecList.front();
}

TTagEditor::TTagEditor(const DISC_INFO& disc, TagBlocks& tags, std::string encoderName, int selectedTrack)
    : mode_(Mode::Track), disc_(disc), tags_(tags), encoder_(std::move(encoderName)) {
    const int count = std::min<int>(disc_.TrackCount(), DISC_INFO::kMaxTracks);
    for (int i = 0; i < count; ++i) titles_.push_back(disc_.Track(i).Title());
    compilation_ = disc_.Compilation();
    if (count > 0) Show(selectedTrack >= 0 && selectedTrack < count ? selectedTrack : 0);
}

TTagEditor::TTagEditor(TagBlocks& records, std::vector<std::string> titles, int selected)
    : mode_(Mode::Record), tags_(records), titles_(std::move(titles)) {
    if (titles_.empty() && records.Count() > 0) titles_.resize(static_cast<std::size_t>(records.Count()));
    const int count = Count();
    if (count > 0) Show(selected >= 0 && selected < count ? selected : 0);
}

void TTagEditor::Show(int track) {
    current_ = track;
    TagRecordRef record = tags_.Block(track);
    if (mode_ == Mode::Record || record.Present()) fields_ = ReadTagFields(record);
    else fields_ = PrefillTagFields(disc_, track, encoder_);
}

void TTagEditor::Edit(TagField field, std::string text) {
    if (current_ < 0) return;
    if (mode_ == Mode::Track) {
        fields_.present = true;
        if (field == TagField::Title) titles_[static_cast<std::size_t>(current_)] = text;
    }
    fields_[field] = std::move(text);
}

void TTagEditor::StoreCurrent() {
    if (current_ < 0) return;
    StoreTagFields(fields_, tags_.Block(current_));
    storedAny_ = true;
}

void TTagEditor::Select(int track) {
    if (track < 0 || track >= Count() || current_ < 0) return;
    StoreCurrent();
    Show(track);
}

void TTagEditor::CopyToAllTracks() {
    if (mode_ != Mode::Track || current_ < 0) return;
    const auto fillEmpty = [](std::string disc, const std::string& form, auto set) {
        if (disc.empty() && !form.empty()) set(form);
    };
    fillEmpty(disc_.Year(), fields_[TagField::Year], [this](const std::string& v) { disc_.SetYear(v); });
    fillEmpty(disc_.Genre(), fields_[TagField::Genre], [this](const std::string& v) { disc_.SetGenre(v); });
    fillEmpty(disc_.Artist(), fields_[TagField::Artist], [this](const std::string& v) { disc_.SetArtist(v); });
    fillEmpty(disc_.Album(), fields_[TagField::Album], [this](const std::string& v) { disc_.SetAlbum(v); });
    for (int i = 0; i < Count(); ++i) {
        TagFields t;
        t.present = true;
        t[TagField::Title] = titles_[static_cast<std::size_t>(i)];
        t[TagField::Artist] = disc_.Artist();
        t[TagField::Album] = disc_.Album();
        t[TagField::Year] = disc_.Year();
        t[TagField::Genre] = disc_.Genre();
        for (TagField shared : {TagField::OriginalArtist, TagField::EncodedBy, TagField::Url, TagField::Comment,
                                TagField::Composer, TagField::Copyright})
            t[shared] = fields_[shared];
        t[TagField::TrackNumber] = std::to_string(disc_.TrackNumber(i));
        StoreTagFields(t, tags_.Block(i));
    }
    storedAny_ = true;
    fields_.present = true;
}

TTagEditor::AcceptResult TTagEditor::Accept(DISC_INFO& disc) {
    AcceptResult result;
    if (mode_ != Mode::Track) {
        StoreCurrent();
        return result;
    }
    disc.SetCompilation(compilation_);
    StoreCurrent();
    for (int i = 0; i < Count(); ++i) disc.Track(i).SetTitle(titles_[static_cast<std::size_t>(i)]);
    if (disc.Album().empty() && !fields_[TagField::Album].empty()) {
        disc.SetAlbum(fields_[TagField::Album]);
        result.albumSet = true;
    }
    if (disc.Artist().empty()) {
        const std::string& artist =
            fields_[TagField::Artist].empty() ? fields_[TagField::OriginalArtist] : fields_[TagField::Artist];
        if (!artist.empty()) {
            disc.SetArtist(artist);
            result.artistSet = true;
        }
    }
    if (disc.Year().empty() && !disc_.Year().empty()) disc.SetYear(disc_.Year());
    if (disc.Genre().empty() && !disc_.Genre().empty()) disc.SetGenre(disc_.Genre());
    return result;
}

}  // namespace sv
