// Finding which read command works on a drive: every one of the nine commands
// is tried with 1, 26 and N sectors at LBA 1500, giving 27 rows in order. The
// detection window shows the rows; Ok takes one into the settings dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Interaction.h"
#include "cdrom/TCDROM.h"

namespace sv {

struct DetectionRow {
    int number = 0;        // "№", from 1
    int command = 0;       // 0..8
    int sectors = 0;       // "Кол-во секторов"
    bool success = false;
    std::string CommandName() const;
    std::string Result() const;  // R74 on success, R73 on failure
    int Image() const { return success ? 0 : 1; }
};

struct DetectionRequest {
    int transport = kTransportSpti;  // the dialog's choice, not yet saved
    int drive = 0;                   // the dialog's drive
    int sectors = 26;                // N from the sectors-per-read field
};

inline constexpr std::int32_t kDetectionLba = 1500;
inline constexpr int kDetectionRows = 27;

// Parses the sectors-per-read field; nothing for a text that is not a whole
// number from 1 to 255, with the message to show in `error`.
std::optional<int> ParseSectorsPerRead(std::string_view text, std::string& error);

// Runs the 27 tries. While `discPresent` says no, asks R72 (information,
// Yes/No), letting the event pump run between questions; No gives nothing.
// Leaves the drive's current read command at 8 and the transport as it was;
// tries on the other transport leave the used transport's drive and read
// command as they were.
std::optional<std::vector<DetectionRow>> DetectReadCommands(TCDROM& cdrom, const DetectionRequest& request,
                                                            const std::function<bool()>& discPresent,
                                                            IUserDialogs& dialogs, IEventPump* pump = nullptr);

}  // namespace sv
