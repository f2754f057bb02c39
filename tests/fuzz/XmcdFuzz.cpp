// xmcd entries as the local database reads them from a file and as the
// entry parser sees them, applied to a disc record with tag records.
#include <string>

#include "FuzzSupport.h"
#include "metadata/LocalCddb.h"
#include "metadata/XmcdEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = svfuzz::AsText(data, size);
    for (const bool dropFirst : {false, true}) {
        const sv::XmcdEntry entry = sv::XmcdEntry::Parse(text, dropFirst);
        sv::DISC_INFO disc;
        disc.SetTrackCount(static_cast<std::uint8_t>(size));
        sv::TagBlocks tags;
        sv::ApplyXmcdEntry(entry, disc, disc.TrackCount(), &tags);
        if (const std::string* title = entry.Value("DTITLE")) sv::SplitDiscTitle(*title);
        sv::EncodeXmcdEscapes(text);
    }
    sv::TLocalCDDB db;
    sv::DISC_INFO disc;
    if (db.LoadFile(svfuzz::WriteTempFile("entry", text), disc)) sv::TLocalCDDB::EntryText(disc);
    return 0;
}
