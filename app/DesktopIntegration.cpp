#include "app/DesktopIntegration.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "metadata/AccurateRip.h"

namespace sv {

namespace {

QSettings Store() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QSettings(folder + "/Sornaval/Sornaval.conf", QSettings::IniFormat);
}

std::optional<int> IntValue(const QSettings& s, const char* key) {
    bool ok = false;
    const int v = s.value(key).toInt(&ok);
    if (!s.contains(key) || !ok) return std::nullopt;
    return v;
}

// The value of `key` in the [Default Applications] group of a mimeapps.list.
QString DefaultApplication(const QString& listFile, const QString& mimeType) {
    QFile f(listFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&f);
    bool inDefaults = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inDefaults = line == "[Default Applications]";
            continue;
        }
        if (inDefaults && line.startsWith(mimeType + "=")) return line.mid(mimeType.size() + 1).split(';').value(0);
    }
    return {};
}

std::string StoredText(const char* key, const char* fallback) {
    const QSettings s = Store();
    return s.value(key, QString(fallback)).toString().trimmed().toStdString();
}

// An empty text removes the key.
void StoreText(const char* key, const std::string& text) {
    QSettings s = Store();
    const QString value = QString::fromStdString(text).trimmed();
    if (value.isEmpty()) s.remove(key);
    else s.setValue(key, value);
}

// A server named by the environment variable `envName`, else `stored`; empty
// when it says "off".
std::string ServerUnlessOff(const char* envName, std::string stored) {
    const char* env = std::getenv(envName);
    std::string server = env && *env ? std::string(env) : std::move(stored);
    return server == "off" ? std::string() : server;
}

QString ExecutableOfDesktopFile(const QString& desktopId) {
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (path.isEmpty()) return {};
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    const QStringList words = QProcess::splitCommand(entry.value("Exec").toString());
    if (words.isEmpty()) return {};
    const QString exe = words.first();
    return exe.startsWith('/') ? exe : QStandardPaths::findExecutable(exe);
}

}  // namespace

// A drive model as a key: letters, digits and '_' only, so that the INI file
// keeps no separators of its own.
QString DriveKey(const std::string& model) {
    QString key = "ReadOffset/";
    for (const char c : model) key += std::isalnum(static_cast<unsigned char>(c)) ? QChar(c) : QChar('_');
    return key;
}

std::optional<int> StoredReadOffset(const std::string& driveModel) {
    const QSettings s = Store();
    const std::optional<int> v = IntValue(s, DriveKey(driveModel).toLatin1().constData());
    if (v && (*v < -kMaxReadOffset || *v > kMaxReadOffset)) return std::nullopt;
    return v;
}

void StoreReadOffset(const std::string& driveModel, int samples) {
    QSettings s = Store();
    s.setValue(DriveKey(driveModel), samples);
}

int FlacLevel() {
    const QSettings s = Store();
    const std::optional<int> v = IntValue(s, "Flac/Level");
    return v && *v >= 0 && *v <= 8 ? *v : 5;
}

void StoreFlacLevel(int level) {
    QSettings s = Store();
    s.setValue("Flac/Level", std::clamp(level, 0, 8));
}

std::string AccurateRipServer() {
    return ServerUnlessOff("SORNAVAL_ACCURATERIP", StoredText("AccurateRip/Server", kDefaultAccurateRipHost));
}

LookupSource StoredLookupSource() {
    const QSettings s = Store();
    const std::optional<int> v = IntValue(s, "Lookup/Source");
    return v ? LookupSourceFromNumber(*v).value_or(kDefaultLookupSource) : kDefaultLookupSource;
}

void StoreLookupSource(LookupSource source) {
    QSettings s = Store();
    s.setValue("Lookup/Source", static_cast<int>(source));
}

std::string StoredMusicBrainzServer() {
    const std::string server = StoredText("MusicBrainz/Server", kDefaultMusicBrainzServer);
    return server.empty() ? std::string(kDefaultMusicBrainzServer) : server;
}

std::string MusicBrainzServer() { return ServerUnlessOff("SORNAVAL_MUSICBRAINZ", StoredMusicBrainzServer()); }

void StoreMusicBrainzServer(const std::string& server) { StoreText("MusicBrainz/Server", server); }

std::string CddbGreetingAddress() { return StoredText("Cddb/Email", ""); }

bool LookupOnInsertion() {
    if (const char* env = std::getenv("SORNAVAL_LOOKUP_ON_INSERT"); env && *env) return std::string_view(env) != "off";
    const QSettings s = Store();
    const std::optional<int> v = IntValue(s, "Lookup/OnInsertion");
    return !v || *v != 0;
}

void StoreLookupOnInsertion(bool on) {
    QSettings s = Store();
    s.setValue("Lookup/OnInsertion", on ? 1 : 0);
}

void StoreCddbGreetingAddress(const std::string& address) { StoreText("Cddb/Email", address); }

StoredWindowValues ReadStoredWindowValues() {
    const QSettings s = Store();
    StoredWindowValues v;
    v.top = IntValue(s, "Top");
    v.left = IntValue(s, "Left");
    v.width = IntValue(s, "Width");
    v.height = IntValue(s, "Height");
    v.playerPath = s.value("MP3Player").toString().toStdString();
    return v;
}

void WriteStoredWindowValues(int top, int left, int width, int height, const std::string& playerPath) {
    QSettings s = Store();
    s.setValue("Top", top);
    s.setValue("Left", left);
    s.setValue("Width", width);
    s.setValue("Height", height);
    s.setValue("MP3Player", QString::fromStdString(playerPath));
    s.sync();
}

std::string ReadLastPlayer() { return Store().value("LastPlayer").toString().toStdString(); }

void WriteLastPlayer(const std::string& handler) {
    QSettings s = Store();
    if (handler.empty()) s.remove("LastPlayer");
    else s.setValue("LastPlayer", QString::fromStdString(handler));
    s.sync();
}

std::string FindDesktopMp3Player() {
    QStringList lists;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + "/mimeapps.list";
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << dir + "/mimeapps.list";
    for (const QString& list : lists) {
        const QString id = DefaultApplication(list, "audio/mpeg");
        if (id.isEmpty()) continue;
        const QString exe = ExecutableOfDesktopFile(id);
        if (!exe.isEmpty() && IsExecutableFile(exe.toStdString())) return exe.toStdString();
    }
    return {};
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool StartProgram(const std::string& program) {
    return QProcess::startDetached(QString::fromStdString(program), {});
}

}  // namespace sv
