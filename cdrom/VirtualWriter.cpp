#include "cdrom/VirtualWriter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/Bytes.h"
#include "base/Msf.h"
#include "base/Text.h"
#include "cdrom/CdTextLeadIn.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DemoDisc.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

constexpr int kCheck = kScsiCheckCondition;
constexpr int kPage5Bytes = 2 + 0x32;  // what a write parameters page must carry at least
constexpr std::uint8_t kWriteTypeSao = 2;
// Where a blank disc's lead-in starts (its ATIP): 97:26:66.
constexpr std::uint8_t kLeadInMsf[3] = {97, 26, 66};
constexpr std::int32_t kLeadInLba = (97 * 60 + 26) * 75 + 66 - 450150;  // -11634
constexpr std::uint8_t kLeadInFormRawRw = 0x40;

std::int32_t EntryFrames(const std::uint8_t* e) { return e[5] * 4500 + e[6] * 75 + e[7]; }

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// A logical block address as the MM:SS:FF of a CUE sheet's INDEX line.
std::string CueTime(std::int32_t lba) {
    const Msf m = FramesToMsf(lba);
    return TwoDigits(m.m) + ":" + TwoDigits(m.s) + ":" + TwoDigits(m.f);
}

}  // namespace

std::optional<SaoLayout> ParseSaoCueSheet(const std::uint8_t* data, std::size_t size, std::string& why) {
    auto fail = [&](std::size_t entry, const std::string& what) {
        why = "entry " + std::to_string(entry) + ": " + what;
        return std::nullopt;
    };
    const std::size_t n = size / 8;
    if (!data || size % 8 != 0 || n < 3) {
        why = "a cue sheet needs a lead-in, a track and a lead-out entry of 8 bytes each";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* e = data + i * 8;
        if ((e[0] & 0x0F) != 1) return fail(i, "only ADR 1 entries are taken");
        if (e[6] > 59 || e[7] > 74) return fail(i, "not an M:S:F address");
    }
    const std::uint8_t* in = data;
    if (in[1] != 0 || in[2] != 0 || (in[3] != 0x01 && in[3] != (0x01 | kLeadInFormRawRw)) || EntryFrames(in) != 0)
        return fail(0, "the first entry must be the CD-DA lead-in (track 0, index 0, at 00:00:00, data form 01 or 41)");
    const std::uint8_t* out = data + (n - 1) * 8;
    if (out[1] != 0xAA || out[2] != 1 || (out[3] & 0x3F) != 0x01)
        return fail(n - 1, "the last entry must be the CD-DA lead-out (track AA, index 1)");
    SaoLayout layout;
    int track = 0, index = -1;
    std::int32_t last = -1;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const std::uint8_t* e = data + i * 8;
        const int tno = e[1], idx = e[2];
        const std::int32_t at = EntryFrames(e);
        if (e[3] != 0x00 || (e[0] & 0x40) != 0) return fail(i, "only CD-DA sent by the host (DATA FORM 0) is written");
        if (tno == track) {
            if (idx != index + 1 || idx > 99) return fail(i, "indexes must ascend by one");
        } else if (tno == track + 1 && tno <= 99) {
            if (index == 0) return fail(i, "track " + std::to_string(track) + " has no index 1");
            if (idx > 1) return fail(i, "a track starts with index 0 or 1");
            if (tno == 1 && (idx != 0 || at != 0)) return fail(i, "track 1 needs its pregap (index 0) at 00:00:00");
            layout.tracks.push_back({tno, at - kLbaBase, at - kLbaBase});
        } else {
            return fail(i, "track numbers must ascend by one from 1");
        }
        if (at <= last) return fail(i, "addresses must ascend");
        if (idx == 1) {
            if (tno == 1 && at < kLbaBase) return fail(i, "track 1's pregap must last 2 seconds at least");
            layout.tracks.back().startLba = at - kLbaBase;
        }
        track = tno;
        index = idx;
        last = at;
    }
    if (layout.tracks.empty()) return fail(1, "no track");
    if (index == 0) return fail(n - 2, "track " + std::to_string(track) + " has no index 1");
    if (EntryFrames(out) <= last) return fail(n - 1, "the lead-out must follow the last track");
    layout.firstLba = -kLbaBase;
    layout.cdTextInLeadIn = (in[3] & kLeadInFormRawRw) != 0;
    layout.leadoutLba = EntryFrames(out) - kLbaBase;
    return layout;
}

VirtualDriveModel VirtualWriterModel() {
    VirtualDriveModel m;
    m.product = "Virtual CD-RW";
    m.writesCd = true;
    m.testWrite = true;
    m.maxWriteKb = 2822;
    return m;
}

bool IsWriterLine(const std::string& line) {
    const auto w = CueLineWords(Trim(line));
    return !w.empty() && AsciiLower(w[0]) == "writer";
}

std::optional<VirtualWriterSetup> ParseWriterLine(const std::string& line, std::string& error) {
    const auto w = CueLineWords(Trim(line));
    VirtualWriterSetup setup;
    setup.model = VirtualWriterModel();
    auto fail = [&](const std::string& what) {
        error = "virtual writer \"" + Trim(line) + "\": " + what;
        return std::nullopt;
    };
    if (w.size() < 2 || AsciiLower(w[0]) != "writer") return fail("begin with \"writer\" and the disc: cdr, cdrw or cdrw-written");
    const std::string disc = AsciiLower(w[1]);
    if (disc != "cdr" && disc != "cdrw" && disc != "cdrw-written")
        return fail("the disc is cdr, cdrw or cdrw-written, not \"" + w[1] + "\"");
    setup.medium.rewritable = disc != "cdr";
    if (disc == "cdrw-written") setup.medium.content = MakeDemoDisc();  // unless an image word names another
    for (std::size_t i = 2; i < w.size(); ++i) {
        const std::string key = AsciiLower(w[i]);
        if (key == "no-test-write") {
            setup.model.testWrite = false;
            continue;
        }
        if (i + 1 >= w.size()) return fail("\"" + w[i] + "\" needs a value");
        const std::string& value = w[++i];
        int v = 0;
        const bool number = ParseDecimal(value, v);
        if (key == "folder") {
            setup.outputFolder = value;
        } else if (key == "image") {
            setup.imagePath = value;
        } else if (key == "capacity" && number && v > 0 && v <= 99 * 4500 + 59 * 75 + 74 - kLbaBase) {
            setup.medium.capacity = v;
        } else if (key == "write-error" && number) {
            setup.faults.unwritable[v] = 1;
        } else if (key == "write-delay" && number && v <= 60000) {
            setup.faults.writeDelayMs = v;
        } else if (key == "max-speed" && number && v > 0 && v <= 0xFFFF) {
            setup.model.maxWriteKb = static_cast<std::uint16_t>(v);
        } else if (key == "page5-length" && (value == "50" || value == "54")) {
            setup.model.writeParamsPageLength = static_cast<std::uint8_t>(v);
        } else {
            return fail("\"" + w[i - 1] + " " + value + "\" is not understood");
        }
    }
    return setup;
}

VirtualWriter::VirtualWriter(WritableMedium medium, std::string outputFolder, IClock& clock, VirtualDriveModel model)
    : VirtualDrive(nullptr, clock, std::move(model)), outputFolder_(std::move(outputFolder)) {
    // Until a host selects otherwise: track-at-once, data mode 1, as a drive starts.
    page5_.assign(2 + static_cast<std::size_t>(Model().writeParamsPageLength), 0);
    page5_[0] = 0x05;
    page5_[1] = Model().writeParamsPageLength;
    page5_[2] = 0x01;
    page5_[3] = 0x04;
    page5_[4] = 0x08;
    PutMedium(std::move(medium));
}

void VirtualWriter::PutMedium(WritableMedium medium) {
    DropSession();
    medium_ = std::move(medium);
    disc_ = medium_.content ? medium_.content : std::make_shared<DiscImage>();  // blank: no track, nothing to read
}

void VirtualWriter::DropSession() {
    session_.reset();
    leadInRw_.clear();
    if (bin_.is_open()) bin_.close();
}

void VirtualWriter::InsertMedium(WritableMedium medium) {
    std::lock_guard<std::mutex> lock(mutex_);
    PutMedium(std::move(medium));
    trayOpen_ = false;
}

bool VirtualWriter::Blank() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !medium_.content;
}

bool VirtualWriter::Rewritable() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return medium_.rewritable;
}

std::string VirtualWriter::LastBurnCue() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastCue_;
}

std::vector<std::uint8_t> VirtualWriter::WriteParametersPage() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return page5_;
}

std::optional<int> VirtualWriter::HandleMore(const std::uint8_t* cdb, int, std::uint8_t* data, std::uint32_t dataLength,
                                             Sense& s) {
    auto ready = [&] { return MediumReady(s); };
    switch (cdb[0]) {
    case 0x5A:  // MODE SENSE(10): the pages a writer adds
        if ((cdb[2] & 0x3F) != 0x05 && (cdb[2] & 0x3F) != 0x08) return std::nullopt;
        return ModeSense(cdb, data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)));
    case 0x55:  // MODE SELECT(10) of the write parameters page
        if (!data || std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)) < 10 || (data[8] & 0x3F) != 0x05)
            return std::nullopt;
        return SelectWriteParameters(data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)), s);
    case 0x5D: {  // SEND CUE SHEET
        if (!ready()) return kCheck;
        const std::uint32_t size = static_cast<std::uint32_t>(cdb[6]) << 16 | LoadBE16(cdb + 7);
        if (!data || dataLength < size) {
            s = {0x05, 0x1A, 0x00};
            return kCheck;
        }
        return SendCueSheet(data, size, s);
    }
    case 0x2A:  // WRITE(10)
        if (!ready()) return kCheck;
        return Write(cdb, data, dataLength, s);
    case 0x35:  // SYNCHRONIZE CACHE: the writes are already in the image
        if (!ready()) return kCheck;
        if (bin_.is_open()) bin_.flush();
        return kScsiGood;
    case 0x5B:
        if (!ready()) return kCheck;
        return Close(cdb, s);
    case 0xA1:
        if (!ready()) return kCheck;
        return BlankDisc(cdb, s);
    case 0x51:
        if (!ready()) return kCheck;
        return DiscInformation(cdb, data, std::min<std::uint32_t>(dataLength, LoadBE16(cdb + 7)), s);
    case 0x54:  // SEND OPC INFORMATION: calibrating needs a disc, nothing else
        return ready() ? kScsiGood : kCheck;
    default:
        return std::nullopt;
    }
}

int VirtualWriter::ModeSense(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len) const {
    std::vector<std::uint8_t> r(8);
    if ((cdb[2] & 0x3F) == 0x05) {
        r.insert(r.end(), page5_.begin(), page5_.end());
    } else {
        std::uint8_t caching[12] = {0x08, 0x0A};
        caching[2] = static_cast<std::uint8_t>((writeCacheEnabled_ ? 0x04 : 0) | (readCacheDisabled_ ? 0x01 : 0));
        r.insert(r.end(), caching, caching + sizeof caching);
    }
    StoreBE16(r.data(), static_cast<std::uint16_t>(r.size() - 2));
    Answer(r.data(), r.size(), len, data, len);
    return kScsiGood;
}

int VirtualWriter::SelectWriteParameters(const std::uint8_t* data, std::uint32_t len, Sense& s) {
    const std::uint8_t* page = data + 8;
    const std::uint32_t pageBytes = len - 8;
    if (page[1] != 0x32 && page[1] != 0x36) {
        s = {0x05, 0x26, 0x00};
        return kCheck;
    }
    if (pageBytes < kPage5Bytes) {
        s = {0x05, 0x1A, 0x00};
        return kCheck;
    }
    const int writeType = page[2] & 0x0F;
    const int blockType = page[4] & 0x0F;
    const bool testWrite = (page[2] & 0x10) != 0;
    if (writeType > 4 || (blockType > 3 && blockType < 8) || blockType > 13 || (testWrite && !Model().testWrite)) {
        s = {0x05, 0x26, 0x00};
        return kCheck;
    }
    // The drive keeps its own page length; the fields come from the host.
    const std::size_t n = std::min<std::size_t>({page5_.size(), pageBytes, 2u + page[1]});
    std::copy(page + 2, page + n, page5_.begin() + 2);
    return kScsiGood;
}

int VirtualWriter::SendCueSheet(const std::uint8_t* data, std::uint32_t size, Sense& s) {
    if ((page5_[2] & 0x0F) != kWriteTypeSao || (session_ && next_ != session_->firstLba)) {
        s = {0x05, 0x2C, 0x00};
        return kCheck;
    }
    if (medium_.content) {
        s = {0x05, 0x30, 0x05};
        return kCheck;
    }
    if (size % 8 != 0) {
        s = {0x05, 0x1A, 0x00};
        return kCheck;
    }
    std::string why;
    auto layout = ParseSaoCueSheet(data, size, why);
    if (!layout) {
        s = {0x05, 0x26, 0x00};
        return kCheck;
    }
    if (layout->leadoutLba > medium_.capacity) {
        s = {0x05, 0x21, 0x00};
        return kCheck;
    }
    DropSession();
    testSession_ = (page5_[2] & 0x10) != 0;
    if (!testSession_) {
        // The first free name: burn-001, burn-002, ...
        std::error_code ec;
        fs::create_directories(outputFolder_, ec);
        for (int k = 1; k < 1000; ++k) {
            const std::string stem = (fs::path(outputFolder_) / ("burn-" + std::string(k < 10 ? "00" : k < 100 ? "0" : "") +
                                                                std::to_string(k))).string();
            if (fs::exists(stem + ".bin", ec) || fs::exists(stem + ".cue", ec)) continue;
            binPath_ = stem + ".bin";
            cuePath_ = stem + ".cue";
            bin_.open(binPath_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
            break;
        }
        if (!bin_.is_open()) {
            s = {0x03, 0x0C, 0x00};
            return kCheck;
        }
    }
    session_ = std::move(layout);
    next_ = session_->firstLba;
    leadInNext_ = kLeadInLba;
    return kScsiGood;
}

int VirtualWriter::Write(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t len, Sense& s) {
    if (!session_) {
        s = {0x05, 0x2C, 0x00};
        return kCheck;
    }
    if ((page5_[4] & 0x0F) != 0) {
        s = {0x05, 0x64, 0x00};
        return kCheck;
    }
    const auto lba = static_cast<std::int32_t>(LoadBE32(cdb + 2));
    const int count = LoadBE16(cdb + 7);
    if (lba < session_->firstLba) return WriteLeadIn(lba, count, data, len, s);
    const bool inPregapForm = next_ < 0 && static_cast<std::int64_t>(lba) == next_ - session_->firstLba;
    if (lba != next_ && !inPregapForm) {
        s = {0x05, 0x21, 0x02};
        return kCheck;
    }
    if (count == 0) return kScsiGood;
    if (next_ + count > session_->leadoutLba) {
        s = {0x05, 0x21, 0x00};
        return kCheck;
    }
    if (!data || len < static_cast<std::uint32_t>(count) * kSectorBytes) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    if (faults_.writeDelayMs > 0) clock_.SleepMs(faults_.writeDelayMs);
    const std::int32_t first = next_;
    next_ += count;
    for (auto it = faults_.unwritable.begin(); it != faults_.unwritable.end(); ++it) {
        if (it->first < first || it->first >= first + count) continue;
        if (it->second > 0 && --it->second == 0) faults_.unwritable.erase(it);
        s = {0x03, 0x0C, 0x00};  // these sectors stay silent; the session goes on
        return kCheck;
    }
    if (testSession_) return kScsiGood;
    // The pregap before logical block 0 is not part of the image.
    const std::int32_t skip = std::max(0, -first);
    if (skip >= count) return kScsiGood;
    bin_.seekp(static_cast<std::streamoff>(first + skip) * kSectorBytes);
    bin_.write(reinterpret_cast<const char*>(data) + static_cast<std::size_t>(skip) * kSectorBytes,
               static_cast<std::streamsize>(count - skip) * kSectorBytes);
    if (!bin_) {
        bin_.clear();
        s = {0x03, 0x0C, 0x00};
        return kCheck;
    }
    return kScsiGood;
}

int VirtualWriter::WriteLeadIn(std::int32_t lba, int count, const std::uint8_t* data, std::uint32_t len, Sense& s) {
    if (!session_->cdTextInLeadIn || lba != leadInNext_ || next_ != session_->firstLba) {
        s = {0x05, 0x21, 0x02};
        return kCheck;
    }
    if (lba + count > session_->firstLba) {
        s = {0x05, 0x21, 0x00};
        return kCheck;
    }
    const std::size_t bytes = static_cast<std::size_t>(count) * kLeadInSubchannelBytes;
    if (!data || len < bytes) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    leadInNext_ += count;
    // At most the lead-in's 11484 sectors of 96 bytes: the address check bounds it.
    if (!testSession_) leadInRw_.insert(leadInRw_.end(), data, data + bytes);
    return kScsiGood;
}

int VirtualWriter::Close(const std::uint8_t* cdb, Sense& s) {
    const int function = cdb[2] & 0x07;
    if (function != 1 && function != 2) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    if (!session_) {
        s = {0x05, 0x2C, 0x00};
        return kCheck;
    }
    if (function == 1) return kScsiGood;  // session-at-once: the tracks close with the session
    if (!testSession_ && !FinishDisc()) {
        DropSession();
        s = {0x03, 0x0C, 0x00};
        return kCheck;
    }
    DropSession();
    return kScsiGood;
}

bool VirtualWriter::FinishDisc() {
    // Sectors the host never sent (a cancelled burn) are silence up to the lead-out.
    bin_.seekp(0, std::ios::end);
    const std::streamoff end = static_cast<std::streamoff>(session_->leadoutLba) * kSectorBytes;
    if (bin_.tellp() < end) {
        bin_.seekp(end - 1);
        bin_.put('\0');
    }
    bin_.close();
    if (!bin_) return false;
    std::string cue;
    const std::vector<std::uint8_t> packs = OneCdTextRound(CdTextFromSymbols(leadInRw_));
    if (!packs.empty()) {
        const fs::path cdt = fs::path(binPath_).replace_extension(".cdt");
        std::ofstream out(cdt, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(packs.data()), static_cast<std::streamsize>(packs.size()));
        if (!out) return false;
        cue += "CDTEXTFILE \"" + cdt.filename().string() + "\"\n";
    }
    cue += "FILE \"" + fs::path(binPath_).filename().string() + "\" BINARY\n";
    for (const SaoLayout::Track& t : session_->tracks) {
        cue += "  TRACK " + TwoDigits(t.number) + " AUDIO\n";
        // Track 1's first 2 seconds of pregap come before logical block 0 and
        // are no part of the image; a longer pregap starts the file.
        const std::int32_t index0 = std::max(0, t.index0Lba);
        if (index0 < t.startLba) cue += "    INDEX 00 " + CueTime(index0) + "\n";
        cue += "    INDEX 01 " + CueTime(t.startLba) + "\n";
    }
    {
        std::ofstream out(cuePath_, std::ios::binary | std::ios::trunc);
        out << cue;
        if (!out) return false;
    }
    std::string error;
    auto image = LoadCueSheet(cuePath_, error);
    if (!image) return false;
    medium_.content = image;
    disc_ = image;
    lastCue_ = cuePath_;
    RememberDiscInDrive(outputFolder_, fs::path(cuePath_).filename().string());
    return true;
}

int VirtualWriter::BlankDisc(const std::uint8_t* cdb, Sense& s) {
    const int type = cdb[1] & 0x07;
    if (type > 1) {
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    if (!medium_.rewritable) {
        s = {0x05, 0x30, 0x05};
        return kCheck;
    }
    if (session_) {
        s = {0x05, 0x2C, 0x00};
        return kCheck;
    }
    medium_.content.reset();
    disc_ = std::make_shared<DiscImage>();
    RememberDiscInDrive(outputFolder_, {});
    return kScsiGood;
}

int VirtualWriter::DiscInformation(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t len, Sense& s) const {
    if ((cdb[1] & 0x07) != 0) {  // only the standard disc information
        s = {0x05, 0x24, 0x00};
        return kCheck;
    }
    std::uint8_t r[34] = {};
    StoreBE16(r, sizeof r - 2);
    const auto& tracks = disc_->Tracks();
    const std::uint8_t erasable = medium_.rewritable ? 0x10 : 0x00;
    r[7] = 0x20;  // unrestricted use
    if (!medium_.content || tracks.empty()) {
        r[2] = erasable;  // empty last session, blank disc
        r[3] = r[4] = r[5] = r[6] = 1;
        r[17] = kLeadInMsf[0];
        r[18] = kLeadInMsf[1];
        r[19] = kLeadInMsf[2];
        PutMsf(r + 20, medium_.capacity + kLbaBase);
    } else {
        r[2] = static_cast<std::uint8_t>(erasable | 0x0C | 0x02);  // complete session, complete disc
        r[3] = static_cast<std::uint8_t>(tracks.front().number);
        r[4] = static_cast<std::uint8_t>(disc_->Sessions());
        const int lastSession = disc_->Sessions();
        const auto first = std::find_if(tracks.begin(), tracks.end(),
                                        [&](const ImageTrack& t) { return t.session == lastSession; });
        r[5] = static_cast<std::uint8_t>(first->number);
        r[6] = static_cast<std::uint8_t>(tracks.back().number);
        std::memset(r + 16, 0xFF, 8);  // a complete disc has no next lead-in or lead-out
    }
    Answer(r, sizeof r, len, data, len);
    return kScsiGood;
}

std::string DiscInDrive(const std::string& outputFolder) {
    std::ifstream in(fs::path(outputFolder) / kDiscInDriveFile, std::ios::binary);
    std::string name;
    if (!in || !std::getline(in, name)) return {};
    // Only a CUE sheet of the folder itself: the file is ours, but may have been edited.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return {};
    const fs::path cue = fs::path(outputFolder) / name;
    std::error_code ec;
    return fs::is_regular_file(cue, ec) ? cue.string() : std::string{};
}

void RememberDiscInDrive(const std::string& outputFolder, const std::string& cueName) {
    std::error_code ec;
    const fs::path file = fs::path(outputFolder) / kDiscInDriveFile;
    if (cueName.empty()) {
        fs::remove(file, ec);
        return;
    }
    const fs::path temp = file.string() + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << cueName << "\n";
        if (!out) return;
    }
    fs::rename(temp, file, ec);
}

}  // namespace sv
