// The program's ending, coming forward and minimising with Qt's real boxes, window service and
// event loop: what these do depends on Qt itself, which no fake can show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "gui/main_window_qt.h"
#include "gui/qt_services_qt.h"
#include "support/fake_services.h"

namespace hw {
namespace {

// The model with the real boxes and window service; processes and autostart stay fakes.
struct RealDesktop {
    test::FakeDesktop fakes;
    QtDialogs dialogs;
    QtWindowService windowService;
    std::unique_ptr<MainForm> form;
    std::unique_ptr<MainWindow> window;

    RealDesktop() {
        Services services = fakes.services();
        services.dialogs = &dialogs;
        services.window = &windowService;
        services.executablePath = fakes.home / "hoardwise";
        form = std::make_unique<MainForm>(services);
        form->ApplyLanguage("EN");
        window = std::make_unique<MainWindow>(*form);
        dialogs.setParentWindow(window.get());
        windowService.attach(window.get());
        QObject::connect(window.get(), &MainWindow::closed, [] { QCoreApplication::exit(0); });
    }
    ~RealDesktop() { dialogs.setParentWindow(nullptr); }

    std::string settingsFile() const { return fakes.home / "hoardwise.INI"; }
};

// Answers every close question that opens, as a user would, and counts them.
class Answerer : public QObject {
  public:
    explicit Answerer(const char* button) : button_(QString::fromUtf8(button)) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == answered_) return;
            answered_ = box;
            ++asked;
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == button_) QTimer::singleShot(0, b, &QAbstractButton::click);
            }
        });
        poll->start(10);
    }
    int asked = 0;

  private:
    QString button_;
    QMessageBox* answered_ = nullptr;
};

// Runs the real event loop until the program ends it, or until the test's own time is up.
int RunLoop(const std::function<void()>& start, int giveUpMs = 3000) {
    QTimer::singleShot(0, start);
    QTimer::singleShot(giveUpMs, [] { QCoreApplication::exit(99); });
    return QApplication::exec();
}

TEST(ProgramEnd, ExitAndTrayExitAskOnceAndYesEndsTheLoopWithZero) {
    enum class Way { ExitButton, TrayExitShown, TrayExitHidden };
    for (Way way : {Way::ExitButton, Way::TrayExitShown, Way::TrayExitHidden}) {
        SCOPED_TRACE(static_cast<int>(way));
        RealDesktop desk;
        desk.window->showCentered();
        if (way == Way::TrayExitHidden) desk.window->hide();
        Answerer yes("&Ja");
        const int code = RunLoop([&] {
            if (way == Way::ExitButton) {
                desk.window->findChild<QToolButton*>("btn_exit")->click();
            } else {
                desk.form->pop_exit.userClick();
            }
        });
        EXPECT_EQ(code, 0);
        EXPECT_EQ(yes.asked, 1);
        EXPECT_TRUE(test::FileExists(desk.settingsFile()));
    }
}

TEST(ProgramEnd, NoToTheExitQuestionAsksOnceAndChangesNothing) {
    RealDesktop desk;
    desk.window->showCentered();
    Answerer no("&Nein");
    const int code =
        RunLoop([&] { desk.window->findChild<QToolButton*>("btn_exit")->click(); }, 1000);
    EXPECT_EQ(code, 99);  // still running when the test ended it
    EXPECT_EQ(no.asked, 1);
    EXPECT_TRUE(desk.window->isVisible());
    EXPECT_FALSE(test::FileExists(desk.settingsFile()));
}

TEST(ProgramEnd, CloseButtonYesAsksOnceAndEndsTheLoop) {
    RealDesktop desk;
    desk.window->showCentered();
    Answerer yes("&Ja");
    EXPECT_EQ(RunLoop([&] { desk.window->close(); }), 0);
    EXPECT_EQ(yes.asked, 1);
    EXPECT_TRUE(test::FileExists(desk.settingsFile()));
}

TEST(ComingForward, BeforeTheFirstShowOnlyAnOpenBoxComesForward) {
    RealDesktop desk;
    desk.window->bringToFront();  // a later copy knocks while the settings still load
    EXPECT_FALSE(desk.window->isVisible());
    desk.window->showCentered();
    desk.window->hide();  // now in the notification area
    desk.window->bringToFront();
    EXPECT_TRUE(desk.window->isVisible());
}

// Boxes that open before the window is shown (while the settings load; "runs already") or while
// it hides behind the icon stand in the middle of the screen, not over the window's corner.
TEST(Boxes, WithoutAShownWindowTheyStandInTheMiddleOfTheScreen) {
    for (const bool hidden : {false, true}) {
        RealDesktop desk;
        if (hidden) {
            desk.window->showCentered();
            desk.window->move(0, 0);
            desk.window->hide();
        }
        QRect seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box) seen = box->geometry(), box->done(0);
        });
        poll.start(10);
        hidden ? void(desk.dialogs.AskYesNo("?")) : desk.dialogs.ShowMessage("runs", "Hoardwise");
        const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE((seen.center() - middle).manhattanLength(), 2) << hidden;
    }
}

TEST(WindowManagerMinimise, TakesThePathOfTheMinimiseButton) {
    test::FakeDesktop fakes;  // the fake window service says a notification area exists
    MainWindow window(fakes.f());
    window.show();
    window.setWindowState(Qt::WindowMinimized);  // as the window manager's own button does
    QApplication::processEvents();
    EXPECT_EQ(fakes.window.hidden, 1);
    EXPECT_TRUE(fakes.f().abfTrayIcon1.visible());
}

// Drawn offscreen, nothing is seen, whatever display the session names: the client started from
// here should be the daemon.
TEST(WindowService, OffscreenIsNoDisplayEvenWithDisplaySet) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":0");
    EXPECT_FALSE(QtWindowService().HasDisplay());
    display.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", display);
}

}  // namespace
}  // namespace hw
