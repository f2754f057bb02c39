// The window program's application object. An exception that escapes an
// event handler is shown in a message box instead of ending the program; a
// foreign exception is shown as "United error".
#pragma once

#include <QApplication>

#include <functional>

namespace sv {

class SornavalApplication : public QApplication {
public:
    SornavalApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // SIGTERM and SIGINT close the main window, so that the ordinary
    // shutdown runs and the settings are saved.
    void CloseOnTerminationSignals(QWidget* mainWindow);

    static void ShowException(const QString& message);
    // Where exception messages go; the default shows a message box. Tests
    // collect them instead.
    static void SetExceptionReporter(std::function<void(const QString&)> reporter);
};

}  // namespace sv
