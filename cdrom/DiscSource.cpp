#include "cdrom/DiscSource.h"

#include "cdrom/CueSheet.h"
#include "cdrom/DemoDisc.h"

namespace sv {

bool ParseDiscSourceOptions(const std::vector<std::string>& args, DiscSourceOptions& options, std::string& error) {
    options = DiscSourceOptions{};
    int sources = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = a.find('='); eq != std::string::npos && (a.rfind("--drive=", 0) == 0 || a.rfind("--image=", 0) == 0)) {
            inlineValue = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        if (a == "--demo") {
            options.demo = true;
            ++sources;
        } else if (a == "--drive" || a == "--image") {
            if (!inlineValue && i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            const std::string v = inlineValue ? *inlineValue : args[++i];
            ++sources;
            if (a == "--image") {
                if (v.empty()) {
                    error = "--image needs a file name";
                    return false;
                }
                options.image = v;
            } else {
                int n = 0;
                bool ok = !v.empty() && v.size() <= 3;
                for (char c : v) {
                    if (c < '0' || c > '9') ok = false;
                    else n = n * 10 + (c - '0');
                }
                if (!ok) {
                    error = "--drive needs a drive number (0, 1, ...), not \"" + v + "\"";
                    return false;
                }
                options.drive = n;
            }
        }
    }
    if (sources > 1) {
        error = "name one disc source: --drive N, --image FILE.cue or --demo";
        return false;
    }
    return true;
}

std::unique_ptr<OpenedDisc> OpenDiscSource(const DiscSourceOptions& options, std::string& error,
                                           const DriveEnvironment& env) {
    std::string notes;
    std::shared_ptr<DriveCatalog> catalog;
    if (!options.image.empty() || options.demo) {
        // Only the one virtual drive: nothing else is scanned or mounted.
        DriveEnvironment own;
        own.scanRealDrives = false;
        own.demoWithoutRealDrive = false;
        own.clock = env.clock;
        catalog = std::make_shared<DriveCatalog>(own);
        if (options.demo) {
            VirtualDriveModel demo;
            demo.product = "Demo disc drive";
            catalog->AddVirtual(MakeDemoDisc(), kDemoDiscName, demo);
        } else if (catalog->AddImage(options.image, false, notes) < 0) {
            error = notes;
            return nullptr;
        }
    } else {
        catalog = std::make_shared<DriveCatalog>(env);
    }
    auto opened = std::make_unique<OpenedDisc>();
    opened->notes = notes;
    opened->cdrom = std::make_unique<TCDROM>(catalog);
    opened->cdrom->Initialise(kTransportSpti);
    TCDROM& cdrom = *opened->cdrom;
    opened->driveIndex = options.drive.value_or(0);
    if (opened->driveIndex >= cdrom.DriveCount()) {
        error = cdrom.DriveCount() == 0 ? "no drive found"
                                        : "there is no drive " + std::to_string(opened->driveIndex) + " (" +
                                              std::to_string(cdrom.DriveCount()) + " drives found)";
        if (!cdrom.AccessProblems().empty()) error += "\n" + AccessProblemMessage(cdrom.AccessProblems(), false);
        return nullptr;
    }
    opened->driveName = cdrom.DriveNames()[static_cast<std::size_t>(opened->driveIndex)];
    opened->device = cdrom.DriveDevice(opened->driveIndex);
    if (!cdrom.SelectDrive(opened->driveIndex, options.readCommand)) {
        error = "cannot open drive " + std::to_string(opened->driveIndex) + " (" + opened->device + ")";
        if (!cdrom.AccessProblems().empty()) error += "\n" + AccessProblemMessage(cdrom.AccessProblems(), false);
        return nullptr;
    }
    if (!cdrom.ReadToc(opened->toc) || !ParseToc(opened->toc, opened->rawToc) ||
        !BuildLayout(opened->toc, opened->disc, false)) {
        error = "no readable disc in drive " + std::to_string(opened->driveIndex) + " (" + opened->device + ")";
        return nullptr;
    }
    return opened;
}

std::unique_ptr<OpenedDisc> OpenDiscSource(const DiscSourceOptions& options, std::string& error) {
    return OpenDiscSource(options, error, DefaultDriveEnvironment());
}

}  // namespace sv
