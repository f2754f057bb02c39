#include "formats/OutputNaming.h"

#include <filesystem>

#include "base/BuiltinMessages.h"
#include "base/Language.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "formats/Acm.h"

namespace sv {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxRelativeChars = 260;

// Language text n, or the built-in Russian one when no language is loaded.
std::string Message(int n) {
    std::string text = LangMessage(n);
    if (text.empty()) text = std::string(kRussianMessages[static_cast<std::size_t>(n)]);
    return text;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string Remove(std::string_view text, std::string_view chars) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!IsControl(static_cast<unsigned char>(c)) && chars.find(c) == std::string_view::npos) out.push_back(c);
    return out;
}

// The value a placeholder's first character selects, or nothing for any
// other character. `piece` starts with that character; `used` gets its size.
const std::string* PlaceholderValue(std::string_view piece, const TrackNameValues& v, std::string& scratch,
                                    std::size_t& used) {
    used = 1;
    char32_t c = static_cast<unsigned char>(piece[0]);
    if (c == 0xD0 && piece.size() >= 2) {
        c = 0x0400 + (static_cast<unsigned char>(piece[1]) - 0x80);
        used = 2;
    }
    switch (c) {
    case U'A': case U'\u0410': return &v.artist;
    case U'D': case U'\u0414': return &v.album;
    case U'T': case U'\u0422': return &v.title;
    case U'G': case U'\u0416': return &v.genre;
    case U'Y': case U'\u0413': return &v.year;
    case U'I': return &v.discId;
    case U'N': case U'\u041D': {
        const int n = v.number;
        scratch = (n >= 0 && n < 10 ? "0" : "") + std::to_string(n);
        return &scratch;
    }
    case U'C': case U'\u0421':
        scratch = std::to_string(v.trackCount);
        return &scratch;
    default:
        return nullptr;
    }
}

// Turns a relative name into '/'-separated parts that stay inside the
// output folder.
std::string SafeRelative(std::string relative, std::string_view ext) {
    for (char& c : relative)
        if (c == '\\') c = '/';
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', start);
        parts.push_back(relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    std::string file = parts.back();
    parts.pop_back();
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty() || p == "." || p == "..") continue;
        out += std::string(CutUtf8(p, kMaxNameBytes)) + "/";
    }
    if (file.empty() || file == "." || file == "..") file = "_" + file;
    if (file.size() > kMaxNameBytes) {
        if (!ext.empty() && ext.size() < kMaxNameBytes && EndsWith(file, ext))
            file = std::string(CutUtf8(std::string_view(file).substr(0, file.size() - ext.size()),
                                       kMaxNameBytes - ext.size())) + std::string(ext);
        else
            file = std::string(CutUtf8(file, kMaxNameBytes));
    }
    return out + file;
}

std::string CheckBoxName(const TProgramSettings& s, const TrackNameValues& v, bool withAlbum, std::string_view ext) {
    std::string r;
    if (s.DirPerArtist()) r += v.artist + "/";
    if (s.DirPerAlbum()) r += v.album + "/";
    if (s.FileUseTrackNum()) r += std::to_string(v.position) + " - ";
    if (s.FileUseArtistName()) r += v.artist + " - ";
    if (withAlbum && s.FileUseAlbumName()) r += v.album + " - ";
    if (s.FileUseTrackName()) r += v.title;
    if (!r.empty() && r.back() == ' ') r.pop_back();
    return r + std::string(ext);
}

}  // namespace

NamingTexts NamingTexts::FromLanguage() { return NamingTexts{Message(12), Message(13)}; }

std::string ReplacementTitle(int position) {
    const int n = position + 1;
    return std::string("Track ") + (n >= 0 && n < 10 ? "0" : "") + std::to_string(n);
}

std::string CleanNameValue(std::string_view text) { return Remove(text, "*|<>\":?/\\"); }

std::string RemoveForbiddenChars(std::string_view text) { return Remove(text, "*|<>\":?"); }

TrackNameValues CollectNameValues(const DISC_INFO& disc, const TagBlocks* tags, int position, bool withGenreYear,
                                  const NamingTexts& texts) {
    TrackNameValues v;
    v.position = position;
    v.number = disc.TrackNumber(position);
    v.trackCount = disc.TrackCount();
    v.artist = disc.Artist();
    v.album = disc.Album();
    v.title = disc.TrackCopy(position).Title();
    v.genre = disc.Genre();
    v.year = disc.Year();
    v.discId = disc.DiscIdText();
    if (disc.Compilation() && tags && position >= 0 && position < tags->Count()) {
        const std::uint8_t* block = tags->Raw().data() + static_cast<std::size_t>(position) * kTagRecordSize;
        if (block[0] != 0) {
            using T = TagRecord;
            v.title = ReadFixedText(block + T::kTitle, T::kTitleSize);
            v.artist = ReadFixedText(block + T::kArtist, T::kArtistSize);
            v.album = ReadFixedText(block + T::kAlbum, T::kAlbumSize);
            if (withGenreYear) {
                v.genre = ReadFixedText(block + T::kGenre, T::kGenreSize);
                v.year = ReadFixedText(block + T::kYear, T::kYearSize);
            }
        }
    }
    for (std::string* s : {&v.artist, &v.album, &v.title, &v.genre, &v.year, &v.discId}) *s = CleanNameValue(*s);
    if (v.artist.empty()) v.artist = CleanNameValue(texts.unknownArtist);
    if (v.album.empty()) v.album = CleanNameValue(texts.unknownAlbum);
    if (v.title.empty()) v.title = ReplacementTitle(position);
    return v;
}

std::string DefaultAcmExtension(const TProgramSettings& s) {
    if (s.AcmWriteWavHeader()) return ".wav";
    const auto& drivers = EnumerateAcmDrivers();
    const int codec = s.AcmCodecIndex();
    if (codec < 0 || codec >= static_cast<int>(drivers.size())) return ".raw";
    // Codecs whose bare stream is a file format of its own.
    static const std::pair<const char*, const char*> kOwn[] = {
        {"libmp3lame", ".mp3"}, {"mp2", ".mp2"}, {"ac3", ".ac3"}, {"flac", ".flac"}, {"pcm_alaw", ".al"},
        {"pcm_mulaw", ".ul"}, {"libgsm_ms", ".gsm"}};
    for (const auto& [name, ext] : kOwn)
        if (drivers[static_cast<std::size_t>(codec)].shortName == name) return ext;
    return ".raw";
}

std::string OutputExtension(const TProgramSettings& s) {
    switch (s.OutputFormat()) {
    case kFormatWav: return ".wav";
    case kFormatMp3: return ".mp3";
    case kFormatWma: return ".wma";
    case kFormatOgg: return ".ogg";
    case kFormatApe: return ".ape";
    case kFormatAac: return ".aac";
    case kFormatFlac: return ".flac";
    case kFormatAcm: {
        const std::string ext = CleanNameValue(s.AcmFileExt());
        if (ext.empty() || ext == ".") return DefaultAcmExtension(s);
        return StartsWith(ext, ".") ? ext : "." + ext;
    }
    default: return "";
    }
}

std::string ExpandFormatString(std::string_view format, const TrackNameValues& values) {
    std::string f(format);
    if (f.empty() || f.back() != '%') f += "%R";
    const bool padded = f.front() == '%';
    if (padded) f.insert(f.begin(), ' ');
    std::string result;
    std::string scratch;
    bool firstPiece = true;
    std::size_t pos = 0;
    while (pos < f.size()) {
        std::size_t next = f.find('%', pos);
        if (next == std::string::npos) next = f.size();
        const std::string_view piece = std::string_view(f).substr(pos, next - pos);
        pos = next + 1;
        if (piece.empty()) continue;
        if (firstPiece) {
            result += piece;
            firstPiece = false;
            continue;
        }
        std::size_t used = 0;
        const std::string* value = PlaceholderValue(piece, values, scratch, used);
        if (!value) break;
        result += *value;
        result += piece.substr(used);
    }
    if (padded && !result.empty()) result.erase(0, 1);
    return result;
}

std::string ExpandFormatString(std::string_view format, const DISC_INFO& disc, const TagBlocks* tags, int position,
                               const NamingTexts& texts) {
    return ExpandFormatString(format, CollectNameValues(disc, tags, position, true, texts));
}

std::string MakeOutputPath(const TProgramSettings& s, const DISC_INFO& disc, const TagBlocks* tags, int position,
                           const NamingTexts& texts) {
    const std::string dir = s.OutputDir().empty() ? std::string() : WithTrailingSlash(s.OutputDir());
    const std::string ext = OutputExtension(s);
    std::string relative;
    if (s.UseFormatString()) {
        const TrackNameValues v = CollectNameValues(disc, tags, position, true, texts);
        relative = RemoveForbiddenChars(ExpandFormatString(s.FormatString(), v) + ext);
    } else {
        const TrackNameValues v = CollectNameValues(disc, tags, position, false, texts);
        relative = CheckBoxName(s, v, true, ext);
        if (Utf8Length(relative) > kMaxRelativeChars && s.FileUseAlbumName()) relative = CheckBoxName(s, v, false, ext);
        const std::size_t length = Utf8Length(relative);
        if (length > kMaxRelativeChars) {
            // Still too long: the file name gives way, its extension stays.
            const std::size_t slash = relative.rfind('/');
            const std::size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
            const std::string stem = relative.substr(fileStart, relative.size() - fileStart - ext.size());
            const std::size_t excess = length - kMaxRelativeChars;
            const std::size_t stemChars = Utf8Length(stem);
            const std::size_t keep = stemChars > excess ? stemChars - excess : 0;
            relative = relative.substr(0, fileStart) + std::string(CutUtf8Chars(stem, keep)) + ext;
        }
        relative = RemoveForbiddenChars(relative);
    }
    return dir + SafeRelative(relative, ext);
}

bool EnsureOutputDir(const TProgramSettings& settings, IUserDialogs& dialogs,
                     const std::function<bool()>& runSettingsDialog) {
    for (;;) {
        const std::string dir = settings.OutputDir();
        std::error_code ec;
        if (!dir.empty() && std::filesystem::is_directory(dir, ec)) return true;
        dialogs.ShowMessage(FormatMessage(Message(14), dir), MessageIcon::Warning);
        if (!runSettingsDialog || !runSettingsDialog()) return false;
    }
}

std::string BuildOutputPath(const TProgramSettings& settings, const DISC_INFO& disc, const TagBlocks* tags,
                            int position, IUserDialogs& dialogs, const std::function<bool()>& runSettingsDialog) {
    if (!EnsureOutputDir(settings, dialogs, runSettingsDialog)) return {};
    return MakeOutputPath(settings, disc, tags, position);
}

bool FilterFormatKey(char32_t key) {
    switch (key) {
    // '/' is typed: here it makes folders just as '\' does.
    case U'"': case U'*': case U':': case U'<': case U'>': case U'?': case U'|':
        return false;
    default:
        return true;
    }
}

std::string CollapsePercents(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
    }
    return out;
}

std::optional<std::string> PreviewFormatString(std::string_view text, const DISC_INFO* disc, const TagBlocks* tags,
                                               const NamingTexts& texts) {
    if (text.empty() || text == "%") return std::string();
    if (disc && text.back() != '%') return ExpandFormatString(text, *disc, tags, 0, texts) + ".mp3";
    return std::nullopt;
}

FormatEditorEnabling FormatEditorEnablingFor(bool useFormatString) {
    return FormatEditorEnabling{useFormatString, !useFormatString, !useFormatString};
}

std::string FormatStringHint() {
    return Message(28) + "\n" + Message(29) + "\n" + Message(30) + "\n" + Message(31);
}

}  // namespace sv
