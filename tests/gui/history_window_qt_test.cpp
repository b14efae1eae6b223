#include "gui/history_window_qt.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "gui/main_window_qt.h"
#include "support/fake_services.h"

namespace hw {
namespace {

TEST(HistoryWindow, OpensFromTheButtonNewestFirstSortsCountsAsNumbersAndClosesOnEscape) {
    test::FakeDesktop desk;
    MainForm& form = desk.f();
    form.ApplyLanguage("EN");
    const std::string reason = "Backing up failed ! | " + std::string(300, 'x') + " end";
    ASSERT_EQ(
        AppendRunRecord(form.historyFile, {1796646000, false, false, 12, 0, true, "ok", "/b"}),
        HistoryAppend::Written);
    ASSERT_EQ(
        AppendRunRecord(form.historyFile, {1796646100, false, true, 5, 0, false, reason, "/b"}),
        HistoryAppend::Written);
    MainWindow window(form);
    bool seen = false;
    bool closed = false;
    auto look = [&](auto&& self, int triesLeft) -> void {
        auto* dialog = qobject_cast<HistoryWindow*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (triesLeft > 0) {
                QTimer::singleShot(10, [&, self, triesLeft] { self(self, triesLeft - 1); });
            }
            return;
        }
        seen = true;
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("table_history"));
        if (table == nullptr) {
            ADD_FAILURE() << "no list";
            dialog->reject();
            return;
        }
        EXPECT_EQ(dialog->font(), QApplication::font());
        EXPECT_FALSE(table->accessibleName().isEmpty());
        ASSERT_EQ(table->rowCount(), 2);
        const int message = static_cast<int>(HistoryColumn::Message);
        const int files = static_cast<int>(HistoryColumn::Files);
        EXPECT_EQ(table->item(0, static_cast<int>(HistoryColumn::Mode))->text(), "automatic");
        EXPECT_EQ(table->item(0, message)->toolTip().toStdString(), reason);
        EXPECT_TRUE(dialog->findChild<QPlainTextEdit*>()->toPlainText().endsWith(" end"));
        EXPECT_EQ(dialog->findChild<QLineEdit*>()->text().toStdString(), form.historyFile);
        table->sortByColumn(files, Qt::AscendingOrder);
        EXPECT_EQ(table->item(0, files)->text(), "5");
        QTest::keyClick(table, Qt::Key_Escape);
        closed = !dialog->isVisible();
        if (dialog->isVisible()) dialog->reject();
    };
    QTimer::singleShot(0, [&] { look(look, 300); });
    window.findChild<QToolButton*>(QStringLiteral("btn_history"))->click();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(desk.window.openedUrls.empty());  // the file is not handed to the desktop
}

}  // namespace
}  // namespace hw
