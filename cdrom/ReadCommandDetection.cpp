#include "cdrom/ReadCommandDetection.h"

#include <algorithm>
#include <vector>

#include "base/Language.h"
#include "base/Msf.h"
#include "base/Text.h"
#include "cdrom/ReadCommands.h"

namespace sv {

std::string DetectionRow::CommandName() const {
    return command >= 0 && command < kReadCommandCount ? std::string(kReadCommandNames[static_cast<std::size_t>(command)])
                                                       : std::string();
}

std::string DetectionRow::Result() const { return LangMessage(success ? 74 : 73); }

std::optional<int> ParseSectorsPerRead(std::string_view text, std::string& error) {
    const std::string t = Trim(text);
    int value = 0;
    bool ok = !t.empty() && t.size() <= 4;
    for (char c : t) {
        if (c < '0' || c > '9') ok = false;
        else value = value * 10 + (c - '0');
    }
    if (!ok) {
        error = "'" + t + "' is not a valid integer value";
        return std::nullopt;
    }
    if (value < 1 || value > 255) {
        error = "The number of sectors per read must lie between 1 and 255";
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<DetectionRow>> DetectReadCommands(TCDROM& cdrom, const DetectionRequest& request,
                                                            const std::function<bool()>& discPresent,
                                                            IUserDialogs& dialogs, IEventPump* pump) {
    while (!discPresent()) {
        if (!dialogs.AskYesNo(LangMessage(72), MessageIcon::Information)) return std::nullopt;
        if (pump) pump->ProcessPendingEvents();
    }
    const int n = std::clamp(request.sectors, 1, kMaxSectorsPerRequest);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::max(n, 26)) * kSectorBytes);

    // Use the transport the dialog shows for the tries, then go back.
    std::uint8_t wanted = static_cast<std::uint8_t>(request.transport);
    std::uint8_t previous = static_cast<std::uint8_t>(cdrom.Transport());
    const int previousDrive = cdrom.CurrentDrive();
    const int previousCommand = cdrom.ReadCommand();
    cdrom.ApplyTransport(wanted);
    cdrom.SelectDrive(request.drive, 0);

    std::vector<DetectionRow> rows;
    for (int c = 0; c < kReadCommandCount; ++c) {
        for (int s : {1, 26, n}) {
            DetectionRow row;
            row.number = static_cast<int>(rows.size()) + 1;
            row.command = c;
            row.sectors = s;
            cdrom.SetReadCommand(c);
            row.success = cdrom.ReadSectors(kDetectionLba, s, buffer.data());
            rows.push_back(row);
        }
    }
    if (previous != cdrom.Transport()) {
        // The tries ran on the other transport: the one the program uses keeps
        // its drive and read command (switching away closed its device).
        cdrom.ApplyTransport(previous);
        if (previousDrive >= 0) cdrom.SelectDrive(previousDrive, previousCommand);
    }
    return rows;
}

}  // namespace sv
