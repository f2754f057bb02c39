#include "cdrom/DriveCatalog.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/Paths.h"
#include "base/Text.h"
#include "cdrom/CueSheet.h"
#include "cdrom/DemoDisc.h"
#include "cdrom/SgIoDevice.h"

namespace sv {

namespace fs = std::filesystem;

namespace {

// Hands out a shared virtual drive as a device the transports own.
class SharedDevice final : public IScsiDevice {
public:
    explicit SharedDevice(std::shared_ptr<VirtualDrive> d) : d_(std::move(d)) {}
    int Execute(const std::uint8_t* cdb, int cdbLength, std::uint8_t* data, std::uint32_t dataLength,
                ScsiDirection direction, SenseData& sense) override {
        return d_->Execute(cdb, cdbLength, data, dataLength, direction, sense);
    }

private:
    std::shared_ptr<VirtualDrive> d_;
};

std::string OwnerGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    if (const struct group* g = ::getgrgid(st.st_gid)) return g->gr_name;
    return std::to_string(st.st_gid);
}

}  // namespace

DriveEnvironment DefaultDriveEnvironment() {
    DriveEnvironment env;
    env.virtualListPath = SettingsFolder() + "virtual.lst";
    return env;
}

std::string CatalogEntry::Describe() const {
    if (isVirtual) return image;
    return !srPath.empty() ? srPath : sgPath;
}

DriveCatalog::DriveCatalog(DriveEnvironment env) : env_(std::move(env)) {
    if (env_.clock) {
        clock_ = env_.clock;
    } else {
        ownClock_ = std::make_unique<SteadyClock>();
        clock_ = ownClock_.get();
    }
    Scan();
}

void DriveCatalog::Scan() {
    if (env_.scanRealDrives) {
        std::error_code ec;
        genericDriverPresent_ = fs::is_directory(fs::path(env_.sysRoot) / "class" / "scsi_generic", ec);
        const auto generic = CdromScsiGeneric(ScanScsiGeneric(env_.sysRoot, env_.devRoot));
        std::vector<bool> used(generic.size(), false);
        for (int n : ScanSrNodes(env_.devRoot)) {
            CatalogEntry e;
            const std::string name = "sr" + std::to_string(n);
            e.srPath = (fs::path(env_.devRoot) / name).string();
            for (std::size_t i = 0; i < generic.size(); ++i) {
                if (!used[i] && generic[i].blockName == name) {
                    used[i] = true;
                    e.sgPath = generic[i].node;
                    e.host = generic[i].host;
                    e.target = generic[i].target;
                }
            }
            entries_.push_back(e);
        }
        // CD drives the sr driver has not bound are reachable through sg only.
        for (std::size_t i = 0; i < generic.size(); ++i) {
            if (used[i]) continue;
            CatalogEntry e;
            e.sgPath = generic[i].node;
            e.host = generic[i].host;
            e.target = generic[i].target;
            entries_.push_back(e);
        }
    }
    if (entries_.empty() && env_.demoWithoutRealDrive) {
        VirtualDriveModel demo;
        demo.product = "Demo disc drive";
        AddVirtual(MakeDemoDisc(), kDemoDiscName, demo);
    }
    if (!env_.virtualListPath.empty()) {
        std::ifstream list(env_.virtualListPath);
        std::string line;
        while (std::getline(list, line)) {
            const std::string path = Trim(line);
            if (path.empty() || path[0] == '#') continue;
            std::string error;
            if (IsWriterLine(path)) {
                if (auto setup = ParseWriterLine(path, error)) AddWriter(std::move(*setup), path, error);
            } else if (IsDriveLine(path)) {
                AddDriveLine(path, error);
            } else {
                AddImage(path, false, error);
            }
            if (!error.empty()) imageProblems_.push_back(error);  // refused, or usable with a note
        }
    }
}

int DriveCatalog::RealDriveCount() const {
    int n = 0;
    for (const auto& e : entries_) n += e.isVirtual ? 0 : 1;
    return n;
}

int DriveCatalog::AddVirtual(std::shared_ptr<DiscImage> disc, const std::string& name, VirtualDriveModel model) {
    return AddDrive(std::make_shared<VirtualDrive>(std::move(disc), *clock_, std::move(model)), name);
}

int DriveCatalog::AddDrive(std::shared_ptr<VirtualDrive> drive, const std::string& name) {
    CatalogEntry e;
    e.isVirtual = true;
    e.image = name;
    e.drive = std::move(drive);
    entries_.push_back(std::move(e));
    return Count() - 1;
}

int DriveCatalog::AddWriter(VirtualWriterSetup setup, const std::string& name, std::string& error) {
    if (!setup.imagePath.empty()) {
        setup.medium.content = LoadCueSheet(setup.imagePath, error);
        if (!setup.medium.content) return -1;
    }
    if (setup.outputFolder.empty()) setup.outputFolder = DataFolder() + "burned/";
    // A disc burned in an earlier run is still in the drive.
    if (!setup.medium.content) {
        if (const std::string cue = DiscInDrive(setup.outputFolder); !cue.empty()) {
            std::string ignored;
            setup.medium.content = LoadCueSheet(cue, ignored);
        }
    }
    auto writer = std::make_shared<VirtualWriter>(std::move(setup.medium), setup.outputFolder, *clock_,
                                                  std::move(setup.model));
    writer->SetFaults(setup.faults);
    return AddDrive(std::move(writer), name);
}

bool IsDriveLine(const std::string& line) {
    const auto w = CueLineWords(Trim(line));
    return !w.empty() && AsciiLower(w[0]) == "drive";
}

void DriveCatalog::AddDriveLine(const std::string& line, std::string& error) {
    const auto w = CueLineWords(Trim(line));
    auto fail = [&](const std::string& what) { error = "virtual drive \"" + Trim(line) + "\": " + what; };
    if (w.size() < 2) return fail("name a CUE sheet or \"demo\" after \"drive\"");
    VirtualDriveModel model;
    model.product = "Disc image";
    for (std::size_t i = 2; i < w.size(); i += 2) {
        if (i + 1 >= w.size()) return fail("\"" + w[i] + "\" needs a value");
        const std::string key = AsciiLower(w[i]);
        const std::string& value = w[i + 1];
        const bool negative = !value.empty() && value[0] == '-';
        const std::string_view digits = std::string_view(value).substr(!value.empty() && (negative || value[0] == '+') ? 1 : 0);
        int v = 0;
        if (key == "offset" && ParseDecimal(digits, v, 4) && v <= kMaxReadOffset)
            model.readOffset = negative ? -v : v;
        else if (key == "product" && !w[i + 1].empty())
            model.product = w[i + 1].substr(0, 16);
        else
            return fail("unknown setting \"" + w[i] + " " + w[i + 1] + "\" (offset -" + std::to_string(kMaxReadOffset) +
                        "..." + std::to_string(kMaxReadOffset) + ", product NAME)");
    }
    std::shared_ptr<DiscImage> image;
    if (AsciiLower(w[1]) == kDemoDiscName) {
        image = MakeDemoDisc();
    } else {
        image = LoadCueSheet(w[1], error);
        if (!image) return;
        for (const auto& note : image->Notes()) error += (error.empty() ? "" : "\n") + w[1] + ": " + note;
    }
    AddVirtual(image, w[1], model);
}

int DriveCatalog::AddImage(const std::string& path, bool remember, std::string& error) {
    auto image = LoadCueSheet(path, error);
    if (!image) return -1;
    // What the reader noted goes back in `error`, with the drive made all the same.
    for (const auto& note : image->Notes()) error += (error.empty() ? "" : "\n") + path + ": " + note;
    VirtualDriveModel model;
    model.product = "Disc image";
    const int index = AddVirtual(image, path, model);
    if (remember && !env_.virtualListPath.empty()) {
        std::error_code ec;
        fs::create_directories(fs::path(env_.virtualListPath).parent_path(), ec);
        std::ofstream out(env_.virtualListPath, std::ios::app);
        out << path << "\n";
        if (!out) {
            error = "cannot write \"" + env_.virtualListPath + "\"";
            return index;  // the drive works for this run all the same
        }
    }
    return index;
}

void DriveCatalog::CloseImage(int n) {
    if (n < 0 || n >= Count()) return;
    CatalogEntry& e = entries_[static_cast<std::size_t>(n)];
    if (!e.isVirtual || e.closed) return;
    e.closed = true;
    e.drive.reset();
    if (env_.virtualListPath.empty()) return;
    std::ifstream in(env_.virtualListPath);
    if (!in) return;
    std::string kept, line;
    bool dropped = false;
    while (std::getline(in, line)) {
        if (!dropped && Trim(line) == e.image) {
            dropped = true;  // one line per image opened
            continue;
        }
        kept += line + "\n";
    }
    in.close();
    if (!dropped) return;
    const std::string temporary = env_.virtualListPath + ".new";
    std::ofstream out(temporary, std::ios::trunc);
    out << kept;
    out.close();
    std::error_code ec;
    if (out) fs::rename(temporary, env_.virtualListPath, ec);
    else fs::remove(temporary, ec);
}

std::unique_ptr<IScsiDevice> DriveCatalog::OpenPassThrough(int n, int& error) {
    error = 0;
    if (n < 0 || n >= Count()) return nullptr;
    CatalogEntry& e = entries_[static_cast<std::size_t>(n)];
    if (e.isVirtual) return e.drive ? std::make_unique<SharedDevice>(e.drive) : nullptr;
    if (e.srPath.empty()) return nullptr;
    auto dev = SgIoDevice::Open(e.srPath, error);
    if (!dev && (error == EACCES || error == EPERM)) NoteAccessProblem(e.srPath);
    return dev;
}

std::unique_ptr<IScsiDevice> DriveCatalog::OpenGeneric(int n, int& error) {
    error = 0;
    if (n < 0 || n >= Count()) return nullptr;
    CatalogEntry& e = entries_[static_cast<std::size_t>(n)];
    if (e.isVirtual) return e.drive ? std::make_unique<SharedDevice>(e.drive) : nullptr;
    if (e.sgPath.empty()) return nullptr;
    auto dev = SgIoDevice::Open(e.sgPath, error);
    if (!dev && (error == EACCES || error == EPERM)) NoteAccessProblem(e.sgPath);
    return dev;
}

void DriveCatalog::NoteAccessProblem(const std::string& path) {
    for (const auto& p : accessProblems_)
        if (p.path == path) return;
    accessProblems_.push_back({path, OwnerGroup(path)});
}

std::string AccessProblemMessage(const std::vector<DeviceAccessProblem>& problems, bool russian) {
    if (problems.empty()) return {};
    std::string paths, group;
    for (const auto& p : problems) {
        if (!paths.empty()) paths += ", ";
        paths += p.path;
        if (group.empty()) group = p.group;
    }
    if (group.empty()) group = "cdrom";
    if (russian)
        return "Нет доступа к приводу (" + paths + "): пользователь не входит в группу «" + group +
               "», которой принадлежит устройство. Добавьте пользователя в эту группу (sudo usermod -aG " + group +
               " $USER) и войдите в систему заново.";
    return "No access to the drive (" + paths + "): your user is not in the group \"" + group +
           "\" that owns the device. Add the user to that group (sudo usermod -aG " + group +
           " $USER) and log in again.";
}

}  // namespace sv
