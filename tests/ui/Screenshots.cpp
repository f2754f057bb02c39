// Renders the windows to PNG files for a person to look at:
//   ui_screenshots OUTPUT_FOLDER
// Each window is shown with the demo disc, in Russian and in English.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QSlider>
#include <QTabWidget>

#include <cstdio>
#include <filesystem>

#include "app/CdromDriveAccess.h"
#include "app/LanguageFiles.h"
#include "app/SettingsSources.h"
#include "support/ScriptedDialogs.h"
#include "app/TagEditor.h"
#include "app/WindowTexts.h"
#include "ui/CDDBEditForm.h"
#include "ui/BurnForm.h"
#include "ui/ConvertForm.h"
#include "ui/ProgressForm.h"
#include "ui/WriteSettingForm.h"
#include "base/Language.h"
#include "writer/CDWriter.h"
#include "formats/WavFile.h"
#include "ui/DriveInfoForm.h"
#include "ui/ReadCommandForm.h"
#include "ui/ID3Form.h"
#include "ui/MainWindow.h"
#include "ui/SettingsForm.h"
#include "ui/TrackPropForm.h"

using namespace sv;

namespace {

void Save(QWidget* w, const QString& file) {
    w->grab().save(file);
    std::printf("%s\n", file.toUtf8().constData());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    const std::string data = (std::filesystem::temp_directory_path() / "sornaval-shots").string() + "/";
    std::filesystem::remove_all(data);
    for (const char* language : {"Russian", "English"}) {
        ManualClock clock;
        DriveEnvironment env;
        env.scanRealDrives = false;
        env.clock = &clock;
        NullEventPump pump;
        svtest::ScriptedDialogs dialogs;
        CdromDriveAccess drives(env, nullptr, true);
        TMainWindow window(drives, dialogs, pump, {data, data + "setting/", data + "Music/"});
        window.Start();
        for (const auto& e : window.Controller().LanguageMenu())
            if (e.name == language) window.Controller().ChooseLanguage(e.tag);
        window.Controller().ArtistEdited("Демо");
        window.Controller().AlbumEdited("Синусы");
        window.resize(760, 520);
        window.show();
        app.processEvents();
        Save(&window, out + QString("/main-%1.png").arg(language));
        {
            window.ShowMp3Config();
            app.processEvents();
            auto* quick = window.findChild<QWidget*>("MP3Config");
            Save(quick, out + QString("/quickmp3-lame-%1.png").arg(language));
            if (auto* combo = quick->findChild<QComboBox*>("CodecCombo"); combo && combo->count() > 1) {
                combo->setCurrentIndex(1);
                emit combo->activated(1);
                app.processEvents();
                Save(quick, out + QString("/quickmp3-codec-%1.png").arg(language));
                combo->setCurrentIndex(0);
                emit combo->activated(0);
            }
            quick->close();
        }

        TProgramSettings settings = window.Controller().Settings();
        DISC_INFO disc = window.Controller().Disc();
        auto sources = ProgramSettingsSources(drives.DriveNames(), disc, window.Controller().Tags(), nullptr);
        TSettingsForm form(settings, disc, dialogs, window.Controller().Language(), nullptr, sources);
        form.show();
        auto* pages = form.findChild<QTabWidget*>("PageControl1");
        auto* audio = form.findChild<QTabWidget*>("PageControl2");
        for (int p = 0; p < pages->count(); ++p) {
            pages->setCurrentIndex(p);
            if (p == 2) {
                for (int a = 0; a < audio->count(); ++a) {
                    audio->setCurrentIndex(a);
                    app.processEvents();
                    Save(&form, out + QString("/settings-%1-%2-%3.png").arg(language).arg(p).arg(a));
                }
                continue;
            }
            app.processEvents();
            Save(&form, out + QString("/settings-%1-%2.png").arg(language).arg(p));
        }
        {
            const std::string name = window.Controller().Settings().LanguageName();
            TCDInfo info(drives.DriveInfo(WindowValue(OtherTexts(), "Yes", window.Controller().Language(), name),
                                          WindowValue(OtherTexts(), "No", window.Controller().Language(), name)),
                         &window.Controller().Language(), name);
            info.show();
            app.processEvents();
            Save(&info, out + QString("/driveinfo-%1.png").arg(language));
            std::vector<DetectionRow> rows;
            if (auto detected = drives.DetectReadCommands(1, 0, 26, dialogs, nullptr)) rows = *detected;
            TReadCommandForm detection(rows, window.Controller().Language(), name);
            detection.show();
            app.processEvents();
            Save(&detection, out + QString("/readcommands-%1.png").arg(language));
        }
        {
            TTagEditor editor(window.Controller().Disc(), window.Controller().Tags(), "Lame MP3 Encoder 3.100", 0);
            TID3Form tags(editor, &window.Controller().Disc(), window.Controller().Language(), language);
            tags.show();
            app.processEvents();
            Save(&tags, out + QString("/tags-%1.png").arg(language));
        }
        {
            TTrackPropForm props(window.Controller(), 1);
            props.findChild<QSlider*>("StartSlider")->setValue(375);
            props.findChild<QSlider*>("EndSlider")->setValue(1800);
            props.show();
            app.processEvents();
            Save(&props, out + QString("/trackprop-%1.png").arg(language));
        }
        {
            // The converter with three WAV files waiting, one of them unchecked.
            const std::string src = data + "convert/";
            std::filesystem::create_directories(src);
            for (const char* name : {"Первая песня.wav", "second.wav", "third.wav"})
                CloseWav(CreateWav(src + name, WAVEFORMATEX::CdFormat()), 0, WAVEFORMATEX::CdFormat());
            TConvertForm convert(window.Controller().Settings(), window.Controller().Encoders(), dialogs, pump,
                                 window.Controller().Language(), language, data + "TempFile/", {});
            convert.AddPath(QString::fromStdString(src));
            auto* direction = convert.findChild<QComboBox*>("DirectionBox");
            direction->setCurrentIndex(6);
            emit direction->activated(6);
            convert.Converter().SetChecked(1, false);
            convert.show();
            app.processEvents();
            Save(&convert, out + QString("/convert-%1.png").arg(language));
            convert.close();
        }
        {
            // The burn window on a written CD-RW with three files (the last
            // one long), and the progress window of a burn half done.
            const std::string src = data + "burn/";
            std::filesystem::create_directories(src);
            const std::vector<std::uint32_t> sectors = {16000, 21000, 320000};
            const char* names[] = {"Первая песня.wav", "second.wav", "long mix.wav"};
            QStringList paths;
            for (int i = 0; i < 3; ++i) {
                std::FILE* f = CreateWav(src + names[i], WAVEFORMATEX::CdFormat());
                const std::vector<char> zeros(2352, 0);
                for (std::uint32_t k = 0; k < sectors[static_cast<std::size_t>(i)]; ++k) std::fwrite(zeros.data(), 1, zeros.size(), f);
                CloseWav(f, std::uint64_t{sectors[static_cast<std::size_t>(i)]} * 2352, WAVEFORMATEX::CdFormat());
                paths << QString::fromStdString(src + names[i]);
            }
            std::FILE* list = std::fopen((src + "virtual.lst").c_str(), "w");
            std::fprintf(list, "writer cdrw-written folder \"%s\"\n", (src + "out/").c_str());
            std::fclose(list);
            DriveEnvironment writerEnv = env;
            writerEnv.demoWithoutRealDrive = false;
            writerEnv.virtualListPath = src + "virtual.lst";
            TCDWriter writer(std::make_shared<DriveCatalog>(writerEnv));
            writer.EnumerateDrives();
            TMainWriteForm burn(writer, data + "setting/", dialogs, window.Controller().Language(), language);
            burn.AddPaths(paths);
            burn.show();
            app.processEvents();
            Save(&burn, out + QString("/burn-%1.png").arg(language));
            TProgressForm progress(window.Controller().Language(), language, {});
            progress.setWindowTitle(QString::fromStdString(LangMessage(87)));
            progress.SetStatus(LangMessage(89));
            progress.ShowProgress({40, 65}, 2, true);
            progress.show();
            app.processEvents();
            Save(&progress, out + QString("/progress-%1.png").arg(language));
            TWriteSettingForm burnSettings(burn.Settings(), dialogs, window.Controller().Language(), language);
            burnSettings.show();
            app.processEvents();
            Save(&burnSettings, out + QString("/burnsettings-%1.png").arg(language));
            burn.close();
        }
        {
            window.Controller().Shutdown();  // the demo disc goes into the album cache
            TCDDBEditForm albums(window.Controller().Albums().Folder(), dialogs, window.Controller().Language(), language);
            albums.Load();
            albums.show();
            app.processEvents();
            Save(&albums, out + QString("/albums-%1.png").arg(language));
        }
        window.close();
    }
    std::filesystem::remove_all(data);
    return 0;
}
