#include "gui/contents_window_qt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <string>
#include <vector>

#include "gui/main_window_qt.h"
#include "support/fake_services.h"

namespace hw {
namespace {

TEST(ContentsWindow, OpensFromTheButtonSortsByAHeadingAndClosesOnEscape) {
    test::FakeDesktop desk;
    test::TempDir root;
    MainForm& form = desk.f();
    form.ApplyLanguage("EN");
    // Two part files that are no whole part files, and one folder missing: the rows show by place.
    test::WriteFile(root / "temp/b.part.met", "x");
    test::WriteFile(root / "backup/a.part.met.HWS", "xyz");
    form.edit_tempdir.setText(root / "temp");
    form.edit_backupdir.setText(root / "backup");
    MainWindow window(form);
    window.show();

    std::vector<std::string> names;
    QString tableName, lostName;
    bool escapeClosed = false, desktopFont = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<ContentsWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* table = dialog->findChild<QTableView*>(QStringLiteral("table_contents"));
        ASSERT_NE(table, nullptr);
        // A click on the name's heading sorts the other way round.
        table->horizontalHeader()->setSortIndicator(ContentsView::kName, Qt::DescendingOrder);
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            names.push_back(table->model()->index(row, 0).data().toString().toStdString());
        }
        tableName = table->accessibleName();
        // Not the main window's smaller font.
        desktopFont = dialog->font() == QApplication::font();
        lostName =
            dialog->findChild<QPushButton*>(QStringLiteral("btn_contents_lost"))->accessibleName();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(table, &escape);
        escapeClosed = !dialog->isVisible();
        if (!escapeClosed) dialog->reject();
    });
    auto* button = window.findChild<QToolButton*>(QStringLiteral("btn_contents"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(WithoutMnemonic(button->text()), "Contents");
    button->click();  // returns once the dialog has closed

    EXPECT_EQ(names, (std::vector<std::string>{"b.part.met", "a.part.met"}));
    EXPECT_EQ(tableName, "Downloads");
    EXPECT_EQ(lostName, "Restore damaged and missing");
    EXPECT_TRUE(escapeClosed);
    EXPECT_TRUE(desktopFont);
}

}  // namespace
}  // namespace hw
