// sornaval: the window program.
#include <cstdio>
#include <cstdlib>

#include "app/CdromDriveAccess.h"
#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "ui/Application.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"

int main(int argc, char** argv) {
    // A second copy leaves the first one alone and ends at once.
    sv::SingleInstanceLock instance(sv::DefaultInstanceLockFile());
    if (!instance.Acquired()) return 0;

    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "sornaval: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Use sornaval-cli to grab and identify discs without a window: sornaval-cli --help\n");
        return 1;
    }

    sv::SornavalApplication app(argc, argv);
    sv::QtDialogs dialogs;
    sv::QtEventPump pump;
    // Drives are listed before the settings are read; a message about drives
    // the user may not open speaks the language of the settings file's
    // default, Russian.
    sv::CdromDriveAccess drives(sv::DefaultDriveEnvironment(), &dialogs, true);
    sv::TMainWindow window(drives, dialogs, pump, sv::DefaultSettingsLocations());
    dialogs.SetParent(&window);
    app.CloseOnTerminationSignals(&window);
    window.Start();
    window.show();
    return app.exec();
}
