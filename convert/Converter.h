// TConverter: the batch media converter behind the converter window and
// 'sornaval-cli convert'. It keeps five source lists (WAV, MP3, AVI, Windows
// Media, Ogg) and converts the checked files of one of nine directions one
// after another: MP3 and Ogg Vorbis to WAV, MP3 to MP3 at a lower bit rate,
// Windows Media to WAV or MP3, the sound track of AVI files, and WAV to MP3,
// WMA or Ogg Vorbis through the encoder framework. Every file's outcome is
// shown in its row; the batch goes on after a failure.
//
// Everything runs on the caller's thread; the event pump is called from the
// progress routine, which is how a Cancel reaches a running conversion.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Interaction.h"
#include "base/ProgramSettings.h"
#include "base/TagRecord.h"

namespace sv {

class TEncoders;

enum class SourceType { Wav = 0, Mp3 = 1, Avi = 2, WindowsMedia = 3, Ogg = 4 };

struct ConvertDirection {
    const char* text;       // as the direction box shows it, e.g. "MP3    -> WAVE"
    SourceType source;
    const char* extension;  // of the output: ".wav", ".mp3", ".wma", ".ogg", ".flac"; "" = the source's own name (MP3 -> MP3),
                            // ".mp3/.wav" for AVI (chosen by the sound track's format)
};
inline constexpr int kConvertDirections = 10;
// 0 "MP3    -> WAVE", 1 "MP3    -> MP3", 2 "WMA   -> WAVE", 3 "WMA   -> MP3", 4 "AVI     -> MP3/WAV",
// 5 "OGG   -> WAV", 6 "WAVE -> MP3", 7 "WAVE -> WMA", 8 "WAVE -> OGG", 9 "WAVE -> FLAC".
const std::array<ConvertDirection, kConvertDirections>& ConvertDirections();

// Re-encoding bit rates (kbit/s) by ConvertBitrateIndex, and their list
// items "192kBit/s" ... "56kBit/s".
inline constexpr std::array<int, 8> kReencodeBitrates = {192, 160, 128, 112, 96, 80, 64, 56};
std::vector<std::string> ReencodeBitrateItems();

// The file dialog's filter for adding files.
inline constexpr const char* kConvertFileFilter =
    "Supported formats (*.wav *.mp3 *.avi *.wma *.wmv *.asf *.ogg);;MPEG 2, 3 Layer-III (*.mp3);;"
    "WMA, WMV, ASF (*.wma *.wmv *.asf);;AVI (*.avi);;WAV (*.wav);;OGG (*.ogg)";

// The source list a file belongs to by its lower-cased extension; none for
// other files.
std::optional<SourceType> SourceTypeOf(const std::string& path);

struct ConvertRow {
    std::string path;     // the source file
    std::string caption;  // its file name without the folder
    std::string folder;   // its folder, ending in '/'
    std::string status;   // R59 when added, then progress and outcome
    bool checked = true;
    std::string output;   // the file written (empty until one is)
    std::shared_ptr<TagRecord> tag;  // the tag the encoders write (directions 6-8); null: none
};

// What the converter tells the window or the command line while it works.
class IConvertView {
public:
    virtual ~IConvertView() = default;
    // The rows of the current direction were rebuilt (direction change, add,
    // remove).
    virtual void RowsChanged() {}
    virtual void RowStatusChanged(int /*row*/, const std::string& /*status*/) {}
    virtual void RowCheckChanged(int /*row*/, bool /*checked*/) {}
    // The row being converted: select it and scroll to it.
    virtual void CurrentRowChanged(int /*row*/) {}
    virtual void CaptionChanged(const std::string& /*caption*/) {}
    // A batch started (Start hidden, Cancel shown, direction box off) or ended.
    virtual void RunningChanged(bool /*running*/) {}
};

struct ConvertBatchResult {
    int requested = 0;  // checked rows at Start (every row for the Windows Media directions)
    int converted = 0;  // rows that ended "Готово" (or "Уже сжат.": MP3 data in a WAV file copied as MP3)
    bool cancelled = false;
};

class TConverter {
public:
    // `settings` is the program's settings record: the converter's own
    // fields are read here and written by StoreSettings; the encoder fields
    // that a batch changes are restored when it ends. `tempFolder` receives
    // temporary WAV files (made when missing; the destructor removes the
    // converter's files and then the folder when that left it empty). `progressWord` is the language's "завершено".
    TConverter(TProgramSettings& settings, TEncoders& encoders, IUserDialogs& dialogs, IEventPump& pump,
               IConvertView& view, std::string tempFolder, std::string progressWord = "завершено");
    ~TConverter();
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Why the converter cannot be used (a decoder library is missing), or
    // nothing. The window shows it and does not open.
    static std::optional<std::string> OpenRefusal();
    // Whether Windows Media files can be read here.
    static bool WindowsMediaAvailable();

    int Direction() const { return direction_; }
    // Rebuilds the rows from the direction's list. Choosing "WMA   -> WAVE"
    // without Windows Media support shows R60 (the direction is still set).
    // Refused while a batch runs.
    bool SetDirection(int direction);

    // Appends a file to its type's list (other extensions are ignored) and a
    // row when the type belongs to the current direction. False when ignored
    // (a file already listed is ignored too) or while a batch runs.
    bool AddFile(const std::string& path);
    // Every .wav, .mp3, .avi, .wma, .wmv and .asf file below `folder`
    // (subfolders whose names begin with "." are skipped; .ogg files are not
    // picked up by a folder search). Returns the files added.
    int AddFolder(const std::string& folder);

    // The rows of the current direction; row i is entry i of its list.
    const std::vector<ConvertRow>& Rows() const;
    void SetChecked(int row, bool checked);
    void ToggleChecked(int row);
    void CheckAll(bool checked);
    // Remove rows (and their list entries) of the current direction. Refused
    // while a batch runs.
    void RemoveAll();
    void RemoveUnchecked();
    void RemoveChecked();

    // The tag record of `selectedRow` (or of the first checked row when
    // `selectedRow` is -1) for the tag editor, created when the row has none
    // (present flag set, the row caption as title). Null when the direction
    // is not 6-8 or there is no such row.
    std::shared_ptr<TagRecord> TagForEditing(int selectedRow);

    // Runs the batch over the checked rows (all rows for the Windows Media
    // directions); returns when it is over.
    ConvertBatchResult Start();
    bool Running() const { return running_; }
    // The Cancel button: asks R68; Yes stops the batch after removing the
    // partial output of the current file.
    void CancelCommand();
    // Stops without asking (Ctrl+C on the command line).
    void Cancel();

    // The converter's settings (read from the settings record at
    // construction).
    std::string outputFolder;       // empty: beside the source when keepSourceLocation is off too
    bool keepSourceLocation = false;
    bool deleteSources = false;
    int bitrateIndex = 0;           // into kReencodeBitrates
    // Writes them and the direction back into the settings record.
    void StoreSettings();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    TProgramSettings& settings_;
    int direction_ = 0;
    bool running_ = false;
};

}  // namespace sv
