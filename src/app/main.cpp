// Program entry: builds the services and the window, lets the single-instance guard decide,
// loads the settings and runs the message loop. The exit code is 0 in every case.
#include <dlfcn.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/backup_folder_reservation.h"
#include "base/app_title.h"
#include "base/errors.h"
#include "base/executable_path.h"
#include "gui/control_bindings_qt.h"
#include "gui/main_window_qt.h"
#include "gui/qt_services_qt.h"
#include "gui/run_worker_qt.h"
#include "gui/single_instance_qt.h"
#include "settings/autostart_linux.h"
#include "supervision/named_lock_linux.h"
#include "supervision/process_table_linux.h"
#include "supervision/program_starter_linux.h"
#include "ui/main_form.h"
#include "ui/running_copy.h"

namespace {

// The desktop's font configuration takes milliseconds to read, and the window's first text waits
// for it: it is read on a thread of its own while Qt starts. Qt reads it through the same library
// (a dependency of Qt's own), which keeps what was read; the symbol is looked up so that the
// program needs no font library of its own.
class FontConfigurationReader {
  public:
    FontConfigurationReader() {
        using Init = int (*)();
        if (auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) {
            thread_ = std::thread(init);
        }
    }
    FontConfigurationReader(const FontConfigurationReader&) = delete;
    FontConfigurationReader& operator=(const FontConfigurationReader&) = delete;
    ~FontConfigurationReader() { Wait(); }
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::thread thread_;
};

// A window that no one sees (on another desktop, say) is never painted.
constexpr int kUnpaintedWindowMs = 500;

// The load's look at the processes runs once the window has painted: with many processes it
// would keep the window from showing for a noticeable time.
void AfterFirstPaint(QWidget& window, const std::function<void()>& run) {
    auto done = std::make_shared<bool>(false);
    auto once = [done, run] {
        if (*done) return;
        *done = true;
        run();
    };
    auto hook = std::make_shared<QPointer<QObject>>();
    *hook = new hw::EventHook(&window, [&window, once, hook](QEvent* event) {
        if (event->type() == QEvent::Paint && *hook) {
            // Posted: it runs after this paint has reached the screen.
            QTimer::singleShot(0, &window, once);
            (*hook)->deleteLater();
            *hook = nullptr;
        }
        return false;
    });
    QTimer::singleShot(kUnpaintedWindowMs, &window, once);
}

void RunProgram(QApplication& app, hw::QtDialogs& dialogs, FontConfigurationReader& fonts) {
    using namespace hw;
    QtWindowService windowService;
    LinuxProcessTable processes;
    LinuxProgramStarter starter;
    const std::string executablePath = ExecutablePath();
    LinuxAutostart autostart(executablePath, LinuxAutostart::DefaultFolder());

    // Declared before the window and the model so that it answers later copies until both are
    // gone; its test still runs after the window is built.
    SingleInstance guard;
    // Held until the model is gone, with the work of its last backup.
    BackupFolderLock folderLock("window " + std::to_string(QCoreApplication::applicationPid()));

    Services services;
    services.dialogs = &dialogs;
    services.processes = &processes;
    services.starter = &starter;
    services.window = &windowService;
    services.autostart = &autostart;
    services.executablePath = executablePath;

    MainForm form(services);
    // Backups and restores run on the worker; their ends come back through the dispatcher.
    QtRunWorker worker([&form](const std::function<void()>& step) { form.Dispatch(step); });
    form.services.worker = &worker;
    ReserveBackupFoldersWith(form, folderLock);
    fonts.Wait();
    // The model's timers start counting. The other pages are filled once the first one has
    // painted.
    MainWindow window(form, nullptr, MainWindow::Pages::FirstOnly);
    dialogs.setParentWindow(&window);
    windowService.attach(&window);

    // A second copy ends here, before the creation handler: it never loads the settings and
    // never starts a program.
    if (guard.AlreadyRun()) {
        // The command line has no window to bring forward: the user learns what runs instead.
        const std::string holder = NamedLock::Holder(NamedLock::InstancePath("Default"));
        if (holder.empty() || HeldByWindow(holder)) {
            guard.ActivatePrevInstance();
        } else {
            const std::string language = form.ReadSetting("GENERAL SETTINGS", "LANGUAGE");
            dialogs.ShowMessage(RunningCopyText(holder, language == "DE" ? "DE" : "EN"), kAppTitle);
        }
        return;
    }
    QObject::connect(&guard, &SingleInstance::activationRequested, &window,
                     &MainWindow::bringToFront);
    // exit(), not quit(): quit() would close the window once more and ask again.
    QObject::connect(&window, &MainWindow::closed, &app, [] { QCoreApplication::exit(0); });

    form.processLookAfterShow = true;
    form.Dispatch([&form] { form.FormCreate(); });
    window.showCentered();
    AfterFirstPaint(window, [&form, &window] {
        form.Dispatch([&window] { window.buildRemainingPages(); });
        form.Dispatch([&form] { form.FormShown(); });
    });
    app.exec();
    // A run under way is never cut short, by the window's close nor by the session's end: its
    // end is awaited, and its result recorded, before the program ends.
    if (worker.busy()) {
        dialogs.windowClosed();
        QEventLoop untilIdle;
        worker.whenIdle([&untilIdle] { untilIdle.quit(); });
        untilIdle.exec();
    }
    dialogs.setParentWindow(nullptr);
}

}  // namespace

int main(int, char** argv) {
    // The program takes nothing from its command line, so Qt gets none of it either
    // (-platform, -style, -reverse...).
    FontConfigurationReader fonts;
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // The name alone: a display name would be appended to the title of every box.
    QApplication::setApplicationName(QString::fromUtf8(hw::kAppTitle));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("hoardwise"));
    // The window hides into the tray; only its agreed close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    hw::QtDialogs dialogs;
    try {
        RunProgram(app, dialogs, fonts);
    } catch (const std::exception& error) {
        dialogs.ShowErrorReport(hw::WithFullStop(error.what()), hw::kAppTitle);
    } catch (...) {
        dialogs.ShowErrorReport(hw::WithFullStop("Unknown error"), hw::kAppTitle);
    }
    return 0;
}
