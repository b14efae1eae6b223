#include "gui/run_worker_qt.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <chrono>
#include <thread>

#include "backup/backup_fixture.h"
#include "gui/command_button_qt.h"
#include "gui/main_window_qt.h"

namespace hw {
namespace {

class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The real window and worker in a real event loop, with every copy slowed down as on a disk
// that answers late: the window paints, its tray menu opens, the buttons that would start a
// second run are off, and the result comes when the run ends.
TEST(WindowRun, ASlowBackupLeavesTheWindowWorkingAndTellsItsResultAtItsEnd) {
    test::BackupDesk d;
    MainForm& f = d.f();
    const int files = 12;
    for (int i = 0; i < files; ++i) {
        test::WriteFile(d.T + "/" + std::to_string(i) + ".part.met",
                        test::PartMet(std::to_string(i)));
    }
    QtRunWorker worker([&f](const std::function<void()>& step) { f.Dispatch(step); });
    f.services.worker = &worker;
    f.abfFileOperation1.beforeCopy = [](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    };
    MainWindow window(f);
    window.show();
    f.abfTrayIcon1.setVisible(true);
    auto* backup = window.findChild<CommandButton*>("btn_backup");
    ASSERT_NE(backup, nullptr);

    QTest::mouseClick(backup, Qt::LeftButton);
    ASSERT_TRUE(f.RunUnderWay());
    EXPECT_FALSE(backup->isEnabled());
    EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(d.messages().empty());

    PaintCounter counter;
    window.installEventFilter(&counter);
    window.update();
    QTRY_VERIFY(counter.paints > 0);
    auto* tray = window.findChild<QSystemTrayIcon*>("abfTrayIcon1");
    ASSERT_NE(tray, nullptr);
    ASSERT_NE(tray->contextMenu(), nullptr);
    tray->contextMenu()->popup(QPoint(10, 10));
    QTRY_VERIFY(tray->contextMenu()->isVisible());
    tray->contextMenu()->hide();
    EXPECT_TRUE(f.RunUnderWay());
    // Past a second the run tells how far it is, in the window and the tray.
    QTRY_VERIFY_WITH_TIMEOUT(
        f.label_lastbackup.caption().find(std::to_string(files)) != std::string::npos &&
            f.RunUnderWay(),
        10000);

    QTRY_VERIFY_WITH_TIMEOUT(!f.RunUnderWay(), 30000);
    EXPECT_TRUE(backup->isEnabled());
    EXPECT_NE(window.cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(d.messages(), test::Strings{f.msg_backup_ok});
    EXPECT_EQ(test::Names(d.B).size(), static_cast<std::size_t>(files));
}

}  // namespace
}  // namespace hw
