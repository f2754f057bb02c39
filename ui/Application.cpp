#include "ui/Application.h"

#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <exception>

#include "app/MainForm.h"

namespace sv {

namespace {

int g_signalPipe[2] = {-1, -1};
std::function<void(const QString&)> g_reporter;

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[0], &byte, 1);
}

}  // namespace

SornavalApplication::SornavalApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Sornaval");
    setOrganizationName("Sornaval");
    setApplicationVersion("3.4.0");
    setDesktopFileName("sornaval");
}

bool SornavalApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowException("United error");
    }
    return false;
}

void SornavalApplication::ShowException(const QString& message) {
    if (g_reporter) {
        g_reporter(message);
        return;
    }
    QMessageBox::critical(activeWindow(), kCaption, message);
}

void SornavalApplication::SetExceptionReporter(std::function<void(const QString&)> reporter) {
    g_reporter = std::move(reporter);
}

void SornavalApplication::CloseOnTerminationSignals(QWidget* mainWindow) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, this);
    QPointer<QWidget> window(mainWindow);
    connect(notifier, &QSocketNotifier::activated, this, [notifier, window] {
        char byte;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[1], &byte, 1);
        notifier->setEnabled(false);
        if (window) window->close();
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace sv
