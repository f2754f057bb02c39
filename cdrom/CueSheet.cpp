#include "cdrom/CueSheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/Bytes.h"
#include "base/Msf.h"
#include "base/Text.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

struct CueFile {
    std::shared_ptr<SectorFile> file;
    std::string name;  // as the sheet writes it
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;
};

struct CueTrack {
    int number = 0;
    int line = 0;
    TrackMode mode = TrackMode::Audio;
    int sectorBytes = kSectorBytes;  // per sector in its file
    int session = 1;
    int index0 = -1, index0File = -1;  // frames within a file
    int index1 = -1, index1File = -1;
    int pregap = 0;   // frames of silence before the track
    int postgap = 0;  // frames of silence after it
    std::string title, performer, songwriter;  // CD-TEXT
};

// The lines of a text with CR LF, LF or CR line ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool ParseMsfText(const std::string& s, int& frames) {
    int m = 0, sec = 0, f = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d:%d:%d%c", &m, &sec, &f, &tail) != 3) return false;
    if (m < 0 || sec < 0 || sec > 59 || f < 0 || f > 74 || m > 99) return false;
    frames = m * 4500 + sec * 75 + f;
    return true;
}

// Finds a FILE entry's file: as written, then with '\' as separator, then by
// its bare name beside the sheet; when none of these exists, the one file of
// the sheet's folder whose name differs from it in letter case only.
std::string ResolveFile(const std::string& name, const std::string& baseFolder) {
    std::string unixName = name;
    for (char& c : unixName)
        if (c == '\\') c = '/';
    std::vector<fs::path> candidates;
    for (const std::string& n : {name, unixName}) {
        fs::path p(n);
        candidates.push_back(p.is_absolute() ? p : fs::path(baseFolder) / p);
    }
    const std::string bare = fs::path(unixName).filename().string();
    candidates.push_back(fs::path(baseFolder) / bare);
    std::error_code ec;
    for (const auto& c : candidates)
        if (fs::is_regular_file(c, ec)) return c.string();
    std::string match;
    const std::string wanted = AsciiLower(bare);
    for (fs::directory_iterator it(baseFolder.empty() ? "." : baseFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (AsciiLower(it->path().filename().string()) != wanted || !it->is_regular_file(ec)) continue;
        if (!match.empty()) return {};  // more than one: no guessing
        match = it->path().string();
    }
    return match;
}

// Finds the sample data of a WAVE file; it must hold CD audio (plain PCM or
// the extensible format with a PCM sub-format).
bool OpenWave(const std::string& path, CueFile& f, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::uint8_t hdr[12];
    if (!in.read(reinterpret_cast<char*>(hdr), 12) || std::memcmp(hdr, "RIFF", 4) != 0 ||
        std::memcmp(hdr + 8, "WAVE", 4) != 0) {
        error = "\"" + path + "\" is not a WAVE file";
        return false;
    }
    bool fmtOk = false;
    std::uint64_t pos = 12;
    for (int guard = 0; guard < 64; ++guard) {
        std::uint8_t ch[8];
        in.seekg(static_cast<std::streamoff>(pos));
        if (!in.read(reinterpret_cast<char*>(ch), 8)) break;
        const std::uint32_t size = LoadLE32(ch + 4);
        if (std::memcmp(ch, "fmt ", 4) == 0) {
            std::uint8_t fmt[40] = {};
            if (size < 16 || !in.read(reinterpret_cast<char*>(fmt), std::min<std::uint32_t>(size, 40))) break;
            const int tag = LoadLE16(fmt);
            const bool pcm = tag == 1 || (tag == 0xFFFE && size >= 40 && LoadLE16(fmt + 24) == 1);
            fmtOk = pcm && LoadLE16(fmt + 2) == 2 && LoadLE32(fmt + 4) == 44100 && LoadLE16(fmt + 14) == 16;
            if (!fmtOk) {
                error = "\"" + path + "\" is not 44100 Hz 16-bit stereo PCM";
                return false;
            }
        } else if (std::memcmp(ch, "data", 4) == 0) {
            if (!fmtOk) break;
            std::error_code ec;
            const std::uint64_t fileSize = fs::file_size(path, ec);
            f.dataOffset = pos + 8;
            f.dataBytes = std::min<std::uint64_t>(size, ec || fileSize < f.dataOffset ? 0 : fileSize - f.dataOffset);
            return true;
        }
        pos += 8 + static_cast<std::uint64_t>(size) + (size & 1);
    }
    error = "\"" + path + "\" has no CD audio data chunk";
    return false;
}

// The packs of a CD-TEXT file (with or without the 4-byte header of a READ
// TOC reply); empty with the reason when it cannot be read or holds none.
std::vector<std::uint8_t> ReadCdTextFile(const std::string& path, std::string& why) {
    constexpr std::size_t kMaxBytes = kCdTextHeaderBytes + 8 * kCdTextMaxPacks * kCdTextPackBytes;
    std::error_code ec;
    const auto size = path.empty() ? 0 : fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || ec || !in) {
        why = "was not found";
        return {};
    }
    if (size > kMaxBytes) {
        why = "is too large";
        return {};
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (bytes.size() % kCdTextPackBytes == kCdTextHeaderBytes) bytes.erase(bytes.begin(), bytes.begin() + kCdTextHeaderBytes);
    bytes.resize(bytes.size() / kCdTextPackBytes * kCdTextPackBytes);
    if (bytes.empty()) why = "holds no pack";
    return bytes;
}

}  // namespace

std::vector<std::string> CueLineWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string w;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') w += line[i++];
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
        }
        words.push_back(w);
    }
    return words;
}

std::shared_ptr<DiscImage> ParseCueSheet(const std::string& cueText, const std::string& baseFolder,
                                         std::string& error) {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    int session = 1;
    int lineNo = 0;
    std::string albumTitle;
    CdText albumText;
    std::string cdTextFile;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNo) + ": " + what;
        return nullptr;
    };
    for (std::string raw : Lines(cueText)) {
        ++lineNo;
        if (lineNo == 1 && raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
        const std::vector<std::string> w = CueLineWords(ToUtf8Lenient(Trim(raw)));
        if (w.empty()) continue;
        const std::string key = AsciiLower(w[0]);
        const int currentFile = static_cast<int>(files.size()) - 1;
        if (key == "rem") {
            if (w.size() >= 3 && AsciiLower(w[1]) == "session") {
                int s = 0;
                if (!ParseDecimal(w[2], s, 3) || s < session || s > 99) return fail("bad session number");
                session = s;
            }
        } else if (key == "title" || key == "performer" || key == "songwriter") {
            if (w.size() < 2) continue;
            const bool disc = tracks.empty();
            std::string& text = key == "title" ? (disc ? albumText.album : tracks.back().title)
                                : key == "performer" ? (disc ? albumText.performer : tracks.back().performer)
                                                     : (disc ? albumText.songwriter : tracks.back().songwriter);
            text = w[1];
            if (disc && key == "title") albumTitle = w[1];
        } else if (key == "cdtextfile") {
            if (w.size() >= 2) cdTextFile = w[1];
        } else if (key == "file") {
            if (w.size() < 3) return fail("FILE needs a name and a type");
            const std::string type = AsciiLower(w[2]);
            const std::string path = ResolveFile(w[1], baseFolder);
            if (path.empty()) return fail("file \"" + w[1] + "\" not found");
            CueFile f;
            f.file = std::make_shared<SectorFile>(path);
            f.name = w[1];
            if (type == "binary") {
                std::error_code ec;
                f.dataBytes = fs::file_size(path, ec);
                if (ec) return fail("cannot read \"" + path + "\"");
            } else if (type == "wave") {
                std::string why;
                if (!OpenWave(path, f, why)) return fail(why);
            } else {
                return fail("file type " + w[2] + " is not supported (BINARY or WAVE)");
            }
            files.push_back(std::move(f));
        } else if (key == "track") {
            if (files.empty()) return fail("TRACK before FILE");
            if (w.size() < 3) return fail("TRACK needs a number and a mode");
            CueTrack t;
            t.line = lineNo;
            if (!ParseDecimal(w[1], t.number, 3) || t.number < 1 || t.number > 99) return fail("bad track number");
            if (!tracks.empty() && t.number != tracks.back().number + 1) return fail("track numbers must ascend by one");
            const std::string mode = AsciiLower(w[2]);
            if (mode == "audio") t.mode = TrackMode::Audio;
            else if (mode == "mode1/2352") t.mode = TrackMode::Mode1;
            else if (mode == "mode2/2352") t.mode = TrackMode::Mode2;
            else if (mode == "mode1/2048") t.mode = TrackMode::Mode1, t.sectorBytes = 2048;
            else if (mode == "mode2/2336") t.mode = TrackMode::Mode2, t.sectorBytes = 2336;
            else return fail("track mode " + w[2] + " is not supported (AUDIO, MODE1/2352, MODE1/2048, MODE2/2352, MODE2/2336)");
            t.session = session;
            tracks.push_back(t);
        } else if (key == "index") {
            if (tracks.empty()) return fail("INDEX before TRACK");
            int n = 0, frames = 0;
            if (w.size() < 3 || !ParseDecimal(w[1], n, 3) || !ParseMsfText(w[2], frames)) return fail("bad INDEX");
            if (n > 99) return fail("INDEX numbers end at 99");
            CueTrack& t = tracks.back();
            if (n == 0) {
                t.index0 = frames;
                t.index0File = currentFile;
            } else if (n == 1) {
                t.index1 = frames;
                t.index1File = currentFile;
            }
            // Higher indexes do not change the table of contents.
        } else if (key == "pregap" || key == "postgap") {
            int frames = 0;
            if (tracks.empty() || w.size() < 2 || !ParseMsfText(w[1], frames)) return fail(key == "pregap" ? "bad PREGAP" : "bad POSTGAP");
            (key == "pregap" ? tracks.back().pregap : tracks.back().postgap) = frames;
        }
    }
    lineNo = 0;
    if (tracks.empty()) {
        error = "the sheet has no TRACK";
        return nullptr;
    }
    for (const CueTrack& t : tracks) {
        lineNo = t.line;
        if (t.index1 < 0) return fail("track " + std::to_string(t.number) + " has no INDEX 01");
        // A pre-gap kept at the end of the previous file ("gaps appended").
        if (t.index0File >= 0 && (t.index0File > t.index1File || (t.index0File == t.index1File && t.index0 > t.index1)))
            return fail("track " + std::to_string(t.number) + " has INDEX 00 after INDEX 01");
    }

    // The index points of every file in the order they lie in it.
    struct Point {
        int frames;
        std::size_t track;
        bool start;  // INDEX 01 (else INDEX 00)
    };
    std::vector<std::vector<Point>> points(files.size());
    for (std::size_t ti = 0; ti < tracks.size(); ++ti) {
        const CueTrack& t = tracks[ti];
        if (t.index0File >= 0) points[static_cast<std::size_t>(t.index0File)].push_back({t.index0, ti, false});
        points[static_cast<std::size_t>(t.index1File)].push_back({t.index1, ti, true});
    }

    // Lay the files out on the disc, point by point.
    auto image = std::make_shared<DiscImage>();
    image->SetAlbumTitle(albumTitle);
    for (const CueTrack& t : tracks) {
        albumText.titles.push_back(t.title);
        albumText.performers.push_back(t.performer);
        albumText.songwriters.push_back(t.songwriter);
    }
    image->SetCdText(std::move(albumText));
    if (!cdTextFile.empty()) {
        std::string why;
        auto packs = ReadCdTextFile(ResolveFile(cdTextFile, baseFolder), why);
        if (packs.empty()) image->AddNote("CD-TEXT file \"" + cdTextFile + "\" " + why + "; the sheet's own texts are used");
        image->SetCdTextPacks(std::move(packs));
    }
    std::int32_t cursor = 0;         // next logical block to give out
    std::size_t nextTrack = 0;       // the track whose INDEX 01 comes next
    int pendingPostgap = 0;          // silence after the track before
    int sectorBytes = kSectorBytes;  // of the track whose sectors are being placed
    std::int32_t index0Lba = -1;     // of the next track, once its INDEX 00 was met
    bool skipToStart = false;        // the next track's file pre-gap lies in a session gap
    auto silence = [&](int frames) {
        image->AddSilenceRegion(cursor, frames);
        cursor += frames;
    };
    for (std::size_t fi = 0; fi < files.size(); ++fi) {
        const CueFile& f = files[fi];
        std::int32_t filePos = 0;    // next file sector not yet placed
        std::uint64_t fileByte = 0;  // where it starts in the file's data
        auto advance = [&](std::int32_t upTo, bool onDisc) {
            if (upTo <= filePos) return;
            const std::uint64_t bytes = static_cast<std::uint64_t>(upTo - filePos) * static_cast<std::uint64_t>(sectorBytes);
            if (onDisc) {
                image->AddFileRegion(cursor, upTo - filePos, f.file, f.dataOffset + fileByte,
                                     f.dataBytes > fileByte ? f.dataBytes - fileByte : 0, sectorBytes);
                cursor += upTo - filePos;
            }
            fileByte += bytes;
            filePos = upTo;
        };
        std::stable_sort(points[fi].begin(), points[fi].end(),
                         [](const Point& a, const Point& b) { return a.frames < b.frames; });
        for (const Point& p : points[fi]) {
            const CueTrack& t = tracks[p.track];
            lineNo = t.line;
            if (p.frames < filePos || p.track != nextTrack)
                return fail("track " + std::to_string(t.number) + " has indexes out of order");
            const std::uint64_t reach =
                fileByte + static_cast<std::uint64_t>(p.frames - filePos) * static_cast<std::uint64_t>(sectorBytes);
            if (reach > f.dataBytes) return fail("track " + std::to_string(t.number) + " has an INDEX past its file's end");
            const bool newSession = p.track > 0 && t.session > tracks[p.track - 1].session;
            const bool pregapMet = index0Lba >= 0 || skipToStart;
            if (!p.start || !pregapMet) {  // the previous track ends here
                advance(p.frames, !skipToStart);
                silence(pendingPostgap);
                pendingPostgap = 0;
                if (newSession) {
                    skipToStart = true;  // lead-out, lead-in and the file's pre-gap: not on the disc
                } else {
                    index0Lba = cursor;
                    silence(t.pregap);
                }
                sectorBytes = t.sectorBytes;
                if (!p.start) continue;
            }
            advance(p.frames, !skipToStart);  // the pre-gap the file holds
            if (skipToStart) {
                cursor += SessionGapAfter(tracks[p.track - 1].session);
                index0Lba = cursor;
            }
            ImageTrack it;
            it.number = t.number;
            it.mode = t.mode;
            it.session = t.session;
            it.index0Lba = index0Lba;
            it.startLba = cursor;
            image->AddTrack(it);
            pendingPostgap = t.postgap;
            index0Lba = -1;
            skipToStart = false;
            ++nextTrack;
        }
        // The rest of the file: whole sectors only.
        const std::uint64_t left = f.dataBytes > fileByte ? f.dataBytes - fileByte : 0;
        const auto size = static_cast<std::uint64_t>(sectorBytes);
        if (left % size != 0)
            image->AddNote("\"" + f.name + "\" ends in a partial sector of " + std::to_string(left % size) +
                           " bytes, which is left out");
        advance(filePos + static_cast<std::int32_t>(left / size), !skipToStart);
    }
    silence(pendingPostgap);
    image->SetLeadout(cursor);

    // Every track holds at least one sector.
    const auto& laid = image->Tracks();
    for (std::size_t i = 0; i < laid.size(); ++i) {
        const std::int32_t end = i + 1 < laid.size() ? laid[i + 1].index0Lba : cursor;
        if (end <= laid[i].startLba) {
            lineNo = tracks[i].line;
            return fail("track " + std::to_string(laid[i].number) + " holds no sector");
        }
    }
    if (cursor > 99 * 4500 + 59 * 75 + 74 - kLbaBase) {
        error = "the image is longer than a disc can be";
        return nullptr;
    }
    return image;
}

std::shared_ptr<DiscImage> LoadCueSheet(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open \"" + path + "\"";
        return nullptr;
    }
    std::error_code ec;
    if (fs::file_size(path, ec) > 1024 * 1024) {
        error = "\"" + path + "\" is too large for a CUE sheet";
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string why;
    auto image = ParseCueSheet(text.str(), fs::path(path).parent_path().string(), why);
    if (!image) {
        error = path + ": " + why;
        return nullptr;
    }
    image->SetDescription(path);
    return image;
}

}  // namespace sv
