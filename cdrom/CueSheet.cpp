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
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;
    std::int32_t Sectors() const { return static_cast<std::int32_t>((dataBytes + kSectorBytes - 1) / kSectorBytes); }
};

struct CueTrack {
    int number = 0;
    TrackMode mode = TrackMode::Audio;
    int session = 1;
    int file = -1;
    int index0 = -1;  // frames within the file
    int index1 = -1;
    int pregap = 0;   // frames of silence before the track
};

// Splits a line into words; a double-quoted word may hold spaces.
std::vector<std::string> Words(const std::string& line) {
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

bool ParseMsfText(const std::string& s, int& frames) {
    int m = 0, sec = 0, f = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d:%d:%d%c", &m, &sec, &f, &tail) != 3) return false;
    if (m < 0 || sec < 0 || sec > 59 || f < 0 || f > 74 || m > 99) return false;
    frames = m * 4500 + sec * 75 + f;
    return true;
}

bool ParseNumber(const std::string& s, int& n) {
    if (s.empty() || s.size() > 3) return false;
    n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

// Finds a FILE entry's file: as written, then with '\' as separator, then by
// its bare name beside the sheet.
std::string ResolveFile(const std::string& name, const std::string& baseFolder) {
    std::string unixName = name;
    for (char& c : unixName)
        if (c == '\\') c = '/';
    std::vector<fs::path> candidates;
    for (const std::string& n : {name, unixName}) {
        fs::path p(n);
        candidates.push_back(p.is_absolute() ? p : fs::path(baseFolder) / p);
    }
    candidates.push_back(fs::path(baseFolder) / fs::path(unixName).filename());
    std::error_code ec;
    for (const auto& c : candidates)
        if (fs::is_regular_file(c, ec)) return c.string();
    return {};
}

// Finds the sample data of a WAVE file; it must hold CD audio.
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
            std::uint8_t fmt[16];
            if (size < 16 || !in.read(reinterpret_cast<char*>(fmt), 16)) break;
            fmtOk = LoadLE16(fmt) == 1 && LoadLE16(fmt + 2) == 2 && LoadLE32(fmt + 4) == 44100 &&
                    LoadLE16(fmt + 14) == 16;
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
        pos += 8 + size + (size & 1);
    }
    error = "\"" + path + "\" has no CD audio data chunk";
    return false;
}

}  // namespace

std::shared_ptr<DiscImage> ParseCueSheet(const std::string& cueText, const std::string& baseFolder,
                                         std::string& error) {
    std::vector<CueFile> files;
    std::vector<CueTrack> tracks;
    int session = 1;
    int lineNo = 0;
    std::istringstream in(cueText);
    std::string raw;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNo) + ": " + what;
        return nullptr;
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        if (lineNo == 1 && raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
        const std::vector<std::string> w = Words(ToUtf8Lenient(Trim(raw)));
        if (w.empty()) continue;
        const std::string key = AsciiLower(w[0]);
        if (key == "rem") {
            if (w.size() >= 3 && AsciiLower(w[1]) == "session") {
                int s = 0;
                if (!ParseNumber(w[2], s) || s < session || s > 99) return fail("bad session number");
                session = s;
            }
        } else if (key == "file") {
            if (w.size() < 3) return fail("FILE needs a name and a type");
            const std::string type = AsciiLower(w[2]);
            const std::string path = ResolveFile(w[1], baseFolder);
            if (path.empty()) return fail("file \"" + w[1] + "\" not found");
            CueFile f;
            f.file = std::make_shared<SectorFile>(path);
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
            if (!ParseNumber(w[1], t.number) || t.number < 1 || t.number > 99) return fail("bad track number");
            if (!tracks.empty() && t.number != tracks.back().number + 1) return fail("track numbers must ascend by one");
            const std::string mode = AsciiLower(w[2]);
            if (mode == "audio") t.mode = TrackMode::Audio;
            else if (mode == "mode1/2352") t.mode = TrackMode::Mode1;
            else if (mode == "mode2/2352") t.mode = TrackMode::Mode2;
            else return fail("track mode " + w[2] + " is not supported (AUDIO, MODE1/2352, MODE2/2352)");
            t.session = session;
            t.file = static_cast<int>(files.size()) - 1;
            tracks.push_back(t);
        } else if (key == "index") {
            if (tracks.empty()) return fail("INDEX before TRACK");
            int n = 0, frames = 0;
            if (w.size() < 3 || !ParseNumber(w[1], n) || !ParseMsfText(w[2], frames)) return fail("bad INDEX");
            CueTrack& t = tracks.back();
            if (t.file != static_cast<int>(files.size()) - 1) return fail("INDEX belongs to another FILE than its TRACK");
            if (n == 0) t.index0 = frames;
            else if (n == 1) t.index1 = frames;
            // Higher indexes do not change the table of contents.
        } else if (key == "pregap") {
            int frames = 0;
            if (tracks.empty() || w.size() < 2 || !ParseMsfText(w[1], frames)) return fail("bad PREGAP");
            tracks.back().pregap = frames;
        }
    }
    if (tracks.empty()) {
        lineNo = 0;
        error = "the sheet has no TRACK";
        return nullptr;
    }

    // Lay the files out on the disc, track by track.
    auto image = std::make_shared<DiscImage>();
    std::int32_t cursor = 0;  // next logical block to give out
    for (std::size_t fi = 0; fi < files.size(); ++fi) {
        const CueFile& f = files[fi];
        const std::int32_t sectors = f.Sectors();
        std::int32_t filePos = 0;  // next file sector not yet placed
        auto place = [&](std::int32_t upTo) {
            if (upTo > filePos) {
                image->AddFileRegion(cursor, upTo - filePos, f.file,
                                     f.dataOffset + static_cast<std::uint64_t>(filePos) * kSectorBytes,
                                     f.dataBytes > static_cast<std::uint64_t>(filePos) * kSectorBytes
                                         ? f.dataBytes - static_cast<std::uint64_t>(filePos) * kSectorBytes
                                         : 0);
                cursor += upTo - filePos;
                filePos = upTo;
            }
        };
        for (std::size_t ti = 0; ti < tracks.size(); ++ti) {
            CueTrack& t = tracks[ti];
            if (t.file != static_cast<int>(fi)) continue;
            lineNo = 0;
            if (t.index1 < 0) {
                error = "track " + std::to_string(t.number) + " has no INDEX 01";
                return nullptr;
            }
            const int first = t.index0 >= 0 ? t.index0 : t.index1;
            if (t.index0 > t.index1 || first < filePos || t.index1 > sectors) {
                error = "track " + std::to_string(t.number) + " has indexes out of order or past its file's end";
                return nullptr;
            }
            ImageTrack it;
            it.number = t.number;
            it.mode = t.mode;
            it.session = t.session;
            place(first);  // the rest of the previous track
            if (ti > 0 && t.session > tracks[ti - 1].session) {
                filePos = t.index1;  // a pre-gap in the file falls into the gap
                cursor += kSessionGapSectors;
                it.index0Lba = it.startLba = cursor;
            } else {
                image->AddSilenceRegion(cursor, t.pregap);
                it.index0Lba = cursor;
                cursor += t.pregap;
                place(t.index1);
                it.startLba = cursor;
            }
            image->AddTrack(it);
        }
        place(sectors);
    }
    image->SetLeadout(cursor);
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
