// The guard across real processes: the program itself, started from a private folder so that
// its settings file and its locks belong to the test alone.
#include "gui/single_instance_qt.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

#include "base/app_title.h"
#include "support/fake_services.h"

namespace hw {
namespace {

class SingleInstanceProcesses : public ::testing::Test {
  protected:
    void SetUp() override {
        chmod(runtime_.path().c_str(), 0700);
        savedRuntime_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime_.path()));
        program_ = QString::fromStdString(home_ / "hoardwise");
        ASSERT_TRUE(QFile::copy(HOARDWISE_EXE, program_));
    }
    void TearDown() override {
        for (auto& p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        qputenv("XDG_RUNTIME_DIR", savedRuntime_);
    }

    QProcess* Start(const QStringList& arguments = {}) {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess* p = processes_.back().get();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program_, arguments);
        return p;
    }

    QString SocketPath() const {
        return QString::fromStdString(runtime_.path()) + "/" + kAppTitle + ".OneInstance.socket";
    }

    // A copy that listens holds the instance lock (it listens only after taking it).
    bool SomeCopyListens(int timeoutMs = 20000) {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            QLocalSocket probe;
            probe.connectToServer(SocketPath());
            if (probe.waitForConnected(200)) return true;
            QTest::qWait(50);
        }
        return false;
    }

    static bool WaitFinished(QProcess* p, int timeoutMs = 20000) {
        if (p->state() == QProcess::NotRunning) return true;
        QSignalSpy finished(p, &QProcess::finished);
        return finished.wait(timeoutMs) || p->state() == QProcess::NotRunning;
    }

    test::TempDir runtime_;
    test::TempDir home_;
    QByteArray savedRuntime_;
    QString program_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_F(SingleInstanceProcesses, GuardWithinOneProcessAnswersLikeTwoCopies) {
    SingleInstance first;
    ASSERT_FALSE(first.AlreadyRun());
    QSignalSpy asked(&first, &SingleInstance::activationRequested);

    SingleInstance second;
    EXPECT_TRUE(second.AlreadyRun());
    EXPECT_TRUE(second.ActivatePrevInstance());
    EXPECT_TRUE(asked.wait(5000));
}

TEST_F(SingleInstanceProcesses, TheInstanceLockOutlivesTheGuardUntilTheProcessEnds) {
    { ASSERT_FALSE(SingleInstance().AlreadyRun()); }
    EXPECT_TRUE(SingleInstance().AlreadyRun());
}

TEST_F(SingleInstanceProcesses, SecondCopyAsksTheFirstToComeForwardAndEndsWithZero) {
    SingleInstance first;
    ASSERT_FALSE(first.AlreadyRun());
    QSignalSpy asked(&first, &SingleInstance::activationRequested);

    QProcess* second = Start();
    ASSERT_TRUE(WaitFinished(second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    if (asked.isEmpty()) asked.wait(5000);
    EXPECT_EQ(asked.count(), 1);
    // The second copy ended before loading settings, so it wrote nothing beside itself.
    EXPECT_FALSE(test::FileExists(home_ / "hoardwise.INI"));
}

TEST_F(SingleInstanceProcesses, CopyKilledHardDoesNotBlockTheNextStart) {
    QProcess* killed = Start();
    ASSERT_TRUE(SomeCopyListens());
    killed->kill();  // SIGKILL: no clean-up at all
    ASSERT_TRUE(WaitFinished(killed));

    QProcess* next = Start();
    ASSERT_TRUE(SomeCopyListens());
    EXPECT_EQ(next->state(), QProcess::Running);

    SingleInstance third;
    EXPECT_TRUE(third.AlreadyRun());  // and the new copy really holds the lock
}

TEST_F(SingleInstanceProcesses, OfTwoCopiesStartedTogetherExactlyOneLives) {
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        QProcess* a = Start();
        QProcess* b = Start();
        QDeadlineTimer deadline(30000);
        while (a->state() != QProcess::NotRunning && b->state() != QProcess::NotRunning &&
               !deadline.hasExpired()) {
            QTest::qWait(20);
        }
        ASSERT_TRUE(SomeCopyListens());
        QTest::qWait(300);  // give a wrongly surviving second copy time to show itself
        const int alive = (a->state() == QProcess::Running) + (b->state() == QProcess::Running);
        EXPECT_EQ(alive, 1);
        QProcess* ended = a->state() == QProcess::NotRunning ? a : b;
        EXPECT_EQ(ended->exitCode(), 0);
        for (QProcess* p : {a, b}) {
            p->kill();
            WaitFinished(p);
        }
    }
}

TEST_F(SingleInstanceProcesses, QtOptionsOnTheCommandLineAreNotObeyed) {
    // Qt would end the program at once on an unknown platform plugin.
    QProcess* program = Start({"-platform", "no-such-platform", "-reverse"});
    EXPECT_TRUE(SomeCopyListens());
    EXPECT_EQ(program->state(), QProcess::Running);
}

}  // namespace
}  // namespace hw
