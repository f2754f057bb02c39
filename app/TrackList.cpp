#include "app/TrackList.h"

#include <QString>

#include <cstdio>

#include "app/SettingsDialogLogic.h"

namespace sv {

std::string MegabytesText(double bytes) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2.2f Mb", bytes / 1048576.0);
    return buf;
}

std::string RowStatus(bool checked, bool done, const std::string& notCopied, const std::string& copied) {
    return checked && !done ? notCopied : copied;
}

std::vector<TrackRow> BuildTrackRows(const DISC_INFO& disc, const std::string& dataCaption,
                                     const std::string& notCopied, const std::string& copied) {
    std::vector<TrackRow> rows;
    const int count = std::min<int>(disc.TrackCount(), DISC_INFO::kMaxTracks - 1);
    for (int i = 0; i < count; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        TrackRow row;
        row.audio = t.AudioFlag();
        if (!row.audio) {
            row.caption = dataCaption;
            row.checked = false;
            row.image = 3;
        } else {
            row.caption = t.Title();
            row.checked = !t.DoneFlag();
            row.image = t.DoneFlag() ? 2 : 1;
            row.length = FormatMsf(t.LengthMsf());
            row.size = MegabytesText(t.SizeBytes());
            row.status = RowStatus(row.checked, t.DoneFlag(), notCopied, copied);
        }
        rows.push_back(row);
    }
    return rows;
}

double CompressionRatio(const TProgramSettings& s, int avgBytesPerSecond, int channels, int sampleRate) {
    if (s.UseLameEncoder()) {
        const int kbps = Mp3BitrateKbps(s.LameVbrEnabled() ? s.LameMaxBitrateIndex() : s.LameBitrateIndex());
        if (kbps <= 0) return 1.0;
        double r = 176400.0 / (kbps * 1000 * 0.125);
        if (s.LameMode() == 3) r *= 2;
        return r;
    }
    if (avgBytesPerSecond <= 0 || channels <= 0 || sampleRate <= 0) return 1.0;
    return 176400.0 / avgBytesPerSecond * (2.0 / channels) * (44100.0 / sampleRate);
}

std::string CompressedSizeText(std::uint32_t sizeBytes, double ratio) {
    std::string text = MegabytesText(sizeBytes / (ratio > 0 ? ratio : 1.0));
    if (text.size() < 8) text = "0" + text;
    return text;
}

std::string SizePanelText(const std::string& hint, const DISC_INFO& disc, double ratio, bool alternative) {
    double total = 0;
    for (int i = 0; i < disc.TrackCount() && i < DISC_INFO::kMaxTracks; ++i) {
        const TRACK_INFO t = disc.TrackCopy(i);
        if (t.AudioFlag()) total += t.SizeBytes();
    }
    if (alternative && ratio > 0) total /= ratio;
    return hint + " " + MegabytesText(total);
}

std::string CapitaliseWords(const std::string& text) {
    const QString lower = QString::fromStdString(text).toLower();
    QString out;
    bool wordStart = true;
    for (const QChar c : lower) {
        if (wordStart && !c.isLowSurrogate()) out += QString(c).toUpper();
        else out += c;
        wordStart = c == ' ' || c == '!' || c == ',' || c == ';';
    }
    return out.toStdString();
}

std::string LowerCaseText(const std::string& text) { return QString::fromStdString(text).toLower().toStdString(); }
std::string UpperCaseText(const std::string& text) { return QString::fromStdString(text).toUpper().toStdString(); }

void RenameTrack(DISC_INFO& disc, TagBlocks& tags, int index, const std::string& title) {
    if (index < 0 || index >= disc.TrackCount()) return;
    disc.Track(index).SetTitle(title);
    if (index < tags.Count() && tags.Block(index).Present()) tags.Block(index).SetTitle(title);
}

}  // namespace sv
