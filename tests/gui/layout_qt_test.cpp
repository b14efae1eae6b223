// Every text of the language tables must be readable in full in both languages. The checks
// measure what Qt lays out; a picture of each page is left in the build folder for a person.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

#include "gui/command_button_qt.h"
#include "gui/control_bindings_qt.h"
#include "gui/main_window_qt.h"
#include "gui/page_control_qt.h"
#include "support/fake_services.h"
#include "ui/run_lines.h"

namespace hw {
namespace {

// A button's mnemonic mark takes no room.
int Widest(const QWidget* widget, const QString& text) {
    int widest = 0;
    for (const QString& line : WithoutMnemonic(text).split(QLatin1Char('\n'))) {
        widest = std::max(widest, widget->fontMetrics().horizontalAdvance(line));
    }
    return widest;
}

// What of a widget's caption would not be shown; empty when it shows in full.
QString CutOff(const QWidget* widget) {
    const QString name = widget->objectName();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        const QRect room = label->contentsRect();
        bool fits;
        if (label->wordWrap()) {
            fits = label->heightForWidth(label->width()) <= label->height();
            for (const QString& word : label->text().split(QLatin1Char(' '))) {
                fits = fits && Widest(label, word) <= room.width();
            }
        } else {
            const int lines = label->text().count(QLatin1Char('\n')) + 1;
            fits = Widest(label, label->text()) <= room.width() &&
                   lines * label->fontMetrics().height() <= room.height();
        }
        if (!fits) return name + ": " + label->text();
    } else if (qobject_cast<const QCheckBox*>(widget) ||
               qobject_cast<const QRadioButton*>(widget)) {
        if (widget->sizeHint().width() > widget->width()) {
            return name + ": " + static_cast<const QAbstractButton*>(widget)->text();
        }
    } else if (const auto* button = qobject_cast<const QToolButton*>(widget)) {
        if (button->text().isEmpty()) return {};
        const int lines = button->text().count(QLatin1Char('\n')) + 1;
        const auto* command = qobject_cast<const CommandButton*>(button);
        const bool fits = command ? Widest(button, button->text()) <= command->captionWidth() &&
                                        button->iconSize().height() + 5 +
                                                lines * button->fontMetrics().lineSpacing() <=
                                            button->height()
                                  : button->sizeHint().width() <= button->width();
        if (!fits) return name + ": " + button->text();
    }
    return {};
}

TEST(WindowLayout, EveryCaptionShowsInFullInBothLanguagesAndPathsFromTheirStart) {
    // At the desktop's default font and at a large one (16 pt), where the window grows.
    const QFont desktopFont = QApplication::font();
    for (const int points : {0, 16}) {
        SCOPED_TRACE(points);
        QFont font = desktopFont;
        if (points > 0) font.setPointSize(points);
        QApplication::setFont(font);
        test::FakeDesktop desk;
        MainForm& form = desk.f();
        MainWindow window(form);
        window.show();
        auto* pages = window.findChild<PageControl*>(QStringLiteral("PageControl1"));
        ASSERT_NE(pages, nullptr);
        const QString pictures = QCoreApplication::applicationDirPath() + "/screenshots";
        QDir().mkpath(pictures);
        // Laid out to the pixel: no maximise; the marks of check boxes and radio buttons grow
        // with the font.
        EXPECT_FALSE(window.windowHandle()->flags() & Qt::WindowMaximizeButtonHint);
        for (const QCheckBox* box : window.findChildren<QCheckBox*>()) {
            const int mark = box->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, box);
            EXPECT_GE(mark * 5, box->fontMetrics().height() * 4) << box->objectName().toStdString();
        }
        if (points > 0) {
            EXPECT_GT(window.width(), MainWindow::kClientWidth);
        } else if (QFontInfo(font).pixelSize() <= 12) {  // the font the window is laid out for
            EXPECT_EQ(window.size(), QSize(MainWindow::kClientWidth, MainWindow::kClientHeight));
        }

        for (const char* code : {"EN", "DE"}) {
            SCOPED_TRACE(code);
            form.ApplyLanguage(code);
            QApplication::processEvents();
            QStringList cut;
            for (int i = 0; i < pages->count(); ++i) {
                const QAbstractButton* tab = pages->tabButton(i);
                if (Widest(tab, tab->text()) + 4 > tab->width() ||
                    tab->geometry().right() >= pages->width()) {
                    cut << "tab: " + tab->text();
                }
            }
            for (int i = 0; i < pages->count(); ++i) {
                pages->setCurrentIndex(i);
                QApplication::processEvents();
                window.grab().save(QStringLiteral("%1/%2%3-page%4.png")
                                       .arg(pictures, code, points > 0 ? "-16pt" : "")
                                       .arg(i + 1));
                QWidget* page = pages->widget(i);
                for (const QWidget* child : page->findChildren<QWidget*>()) {
                    if (!page->rect().contains(child->geometry()))
                        cut << "outside its page: " + child->objectName();
                }
            }
            for (const QWidget* widget : window.findChildren<QWidget*>()) {
                const QString what = CutOff(widget);
                if (!what.isEmpty()) cut << what;
            }
            EXPECT_TRUE(cut.isEmpty()) << cut.join(QStringLiteral(" | ")).toStdString();

            // The status line: a success with the next automatic run shows in full; a failure
            // beside it too, or whole words and "…", the rest a hover or a focus away.
            auto* status = window.findChild<QLabel*>(QStringLiteral("label_lastbackup"));
            RunRecord success{1796646060, false, false, 1234, 0, true, "", "/b"};
            RunRecord failure = success;
            failure.succeeded = false;
            failure.message = std::string(form.msg_backupdir_foreign) + "\n/media/backup/drive";
            for (const bool failed : {false, true}) {
                const std::string line = BackupStatusLine(
                    code, {success, failed ? failure : success}, success.when, true, 1796647860);
                form.label_lastbackup.setCaption(line);
                const QString full = QString::fromStdString(line), shown = status->text();
                EXPECT_EQ(status->toolTip(), full);
                EXPECT_EQ(status->accessibleName(), full);
                EXPECT_LE(status->heightForWidth(status->width()), status->height());
                if (!failed) {
                    EXPECT_EQ(shown, full);
                }
                if (shown == full) continue;
                EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
                const QString kept = shown.chopped(1);
                EXPECT_TRUE(full.startsWith(kept) &&
                            (full[kept.size()].isSpace() || full[kept.size()].isPunct()))
                    << shown.toStdString();
                EXPECT_EQ(status->focusPolicy(), Qt::TabFocus);
            }

            for (const char* field : {"edit_tempdir", "edit_backupdir", "edit_clientdir"}) {
                EXPECT_EQ(window.findChild<QLineEdit*>(field)->cursorPosition(), 0) << field;
            }
        }
    }
    QApplication::setFont(desktopFont);
}

}  // namespace
}  // namespace hw
