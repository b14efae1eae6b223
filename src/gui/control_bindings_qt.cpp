#include "gui/control_bindings_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>
#include <memory>

#include "gui/page_control_qt.h"
#include "gui/url_label_qt.h"

namespace hw {

QString WithMnemonic(const QString& caption, const QWidget* widget) {
    QString text = caption;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    bool valid = false;
    const int at = widget->property(kMnemonicProperty).toInt(&valid);
    if (!valid || at < 0 || at >= caption.size() || !caption[at].isLetter()) return text;
    // Every "&" before it was doubled.
    const int shifted = at + static_cast<int>(caption.left(at).count(QLatin1Char('&')));
    return text.insert(shifted, QLatin1Char('&'));
}

QString WithoutMnemonic(const QString& text) {
    QString caption;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        caption += text[i];
    }
    return caption;
}

namespace {

constexpr int kListItemHeight = 13;

bool ListShows(const QListWidget* widget, const ListBox& list) {
    if (widget->count() != list.count()) return false;
    for (int i = 0; i < list.count(); ++i) {
        if (widget->item(i)->text() != ToQt(list.item(i))) return false;
    }
    return true;
}

bool ComboShows(const QComboBox* widget, const ComboBox& combo) {
    if (widget->count() != static_cast<int>(combo.items().size())) return false;
    for (int i = 0; i < widget->count(); ++i) {
        if (widget->itemText(i) != ToQt(combo.items()[i])) return false;
    }
    return true;
}

}  // namespace

bool ShowWithinHeight(QLabel* label, const QString& text) {
    auto fits = [label](const QString& shown) {
        label->setText(shown);
        return label->heightForWidth(label->width()) <= label->height();
    };
    if (fits(text)) return true;
    // Ends after a whole word, marked as cut, so that no word reads as another.
    QStringList words = text.split(QLatin1Char(' '));
    while (words.size() > 1) {
        words.removeLast();
        QString shown = words.join(QLatin1Char(' '));
        while (!shown.isEmpty() && QStringLiteral(",;: ").contains(shown.back())) shown.chop(1);
        if (!shown.isEmpty() && fits(shown + QChar(0x2026))) return false;
    }
    // One word wider than the label (a long path): cut within it, as nothing else would show.
    label->setText(
        label->fontMetrics().elidedText(text, Qt::ElideRight, label->contentsRect().width()));
    return false;
}

ControlBinder::~ControlBinder() {
    for (Control* control : bound_) control->setViewListener(nullptr);
}

ControlBinder::Sync ControlBinder::listen(Control& control, Sync sync) {
    control.setViewListener(sync);
    bound_.push_back(&control);
    sync();
    return sync;
}

void ControlBinder::windowCaption(Captioned& caption, QWidget* window) {
    listen(caption, [&caption, window] { window->setWindowTitle(ToQt(caption.caption())); });
}

void ControlBinder::tabSheet(TabSheet& sheet, PageControl* pages, int index) {
    listen(sheet, [&sheet, pages, index] {
        pages->setTabText(index, ToQt(sheet.caption()));
        pages->setTabEnabled(index, sheet.enabled());
    });
}

void ControlBinder::label(Label& label, QLabel* widget) {
    widget->setTextFormat(Qt::PlainText);
    listen(label, [&label, widget] {
        widget->setText(ToQt(label.caption()));
        widget->setEnabled(label.enabled());
    });
}

void ControlBinder::statusLabel(Label& label, QLabel* widget) {
    widget->setTextFormat(Qt::PlainText);
    widget->setWordWrap(true);
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    listen(label, [&label, widget] {
        const QString text = ToQt(label.caption());
        const bool whole = ShowWithinHeight(widget, text);
        widget->setToolTip(text);
        // A screen reader reads the whole line, not the part that fits; a keyboard stops at a
        // line that does not show in full, and its tooltip shows it.
        widget->setAccessibleName(text);
        widget->setFocusPolicy(whole ? Qt::NoFocus : Qt::TabFocus);
        widget->setEnabled(label.enabled());
    });
    new EventHook(widget, [widget](QEvent* event) {
        if (event->type() == QEvent::FocusIn) {
            QToolTip::showText(widget->mapToGlobal(QPoint(0, widget->height())), widget->toolTip(),
                               widget);
        }
        return false;
    });
}

void ControlBinder::linkLabel(LinkLabel& link, UrlLabel* widget) {
    listen(link, [&link, widget] {
        widget->setText(ToQt(link.caption()));
        widget->setToolTip(ToQt(link.address()));
        widget->setEnabled(link.enabled());
    });
    widget->onClick = [this, &link] { dispatch([&link] { link.userClick(); }); };
}

void ControlBinder::button(Button& button, QAbstractButton* widget) {
    listen(button, [&button, widget] {
        widget->setText(WithMnemonic(ToQt(button.caption()), widget));
        widget->setEnabled(button.enabled());
    });
    QObject::connect(widget, &QAbstractButton::clicked, widget,
                     [this, &button] { dispatch([&button] { button.userClick(); }); });
}

void ControlBinder::menuItem(MenuItem& item, QAction* action) {
    listen(item, [&item, action] {
        action->setText(ToQt(item.caption()));
        action->setEnabled(item.enabled());
    });
    QObject::connect(action, &QAction::triggered, action,
                     [this, &item] { dispatch([&item] { item.userClick(); }); });
}

void ControlBinder::edit(Edit& edit, QLineEdit* widget) {
    if (edit.maxLength() > 0) widget->setMaxLength(edit.maxLength());
    listen(edit, [&edit, widget] {
        const QSignalBlocker block(widget);
        // Rewriting an equal text would move the cursor under the user's fingers.
        const QString text = ToQt(edit.text());
        if (widget->text() != text) {
            widget->setText(text);
            // A long path is read from its start, not from the end the cursor went to.
            if (!widget->hasFocus()) widget->setCursorPosition(0);
        }
        widget->setEnabled(edit.enabled());
    });
    QObject::connect(widget, &QLineEdit::textEdited, widget, [this, &edit](const QString& text) {
        dispatch([&edit, &text] { edit.userTyped(FromQt(text)); });
    });
    QObject::connect(widget, &QLineEdit::returnPressed, widget,
                     [this, &edit] { dispatch([&edit] { edit.userLeft(); }); });
    // Focus leaving for another control of the window; a box or menu opening over the window
    // takes the focus for a while without the user leaving the field, and the cursor stays
    // where the typing goes on. A field left shows its text from the start.
    new EventHook(widget, [this, &edit, widget](QEvent* event) {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                widget->setCursorPosition(0);
                dispatch([&edit] { edit.userLeft(); });
            }
        }
        return false;
    });
}

void ControlBinder::checkBox(CheckBox& box, QCheckBox* widget) {
    Sync sync = listen(box, [&box, widget] {
        const QSignalBlocker block(widget);
        widget->setText(WithMnemonic(ToQt(box.caption()), widget));
        widget->setChecked(box.checked());
        widget->setEnabled(box.enabled());
    });
    // Qt has already toggled the widget; the model decides, and the widget follows it.
    QObject::connect(widget, &QCheckBox::clicked, widget, [this, &box, sync] {
        dispatch([&box] { box.userClick(); });
        sync();
    });
}

void ControlBinder::radioButton(RadioButton& radio, QRadioButton* widget) {
    widget->setAutoExclusive(false);  // the model keeps the group
    Sync sync = listen(radio, [&radio, widget] {
        const QSignalBlocker block(widget);
        widget->setText(WithMnemonic(ToQt(radio.caption()), widget));
        widget->setChecked(radio.checked());
        widget->setEnabled(radio.enabled());
    });
    QObject::connect(widget, &QRadioButton::clicked, widget, [this, &radio, sync] {
        dispatch([&radio] { radio.userClick(); });
        sync();
    });
}

void ControlBinder::listBox(ListBox& list, QListWidget* widget) {
    widget->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Sync sync = listen(list, [&list, widget] {
        const QSignalBlocker block(widget);
        if (!ListShows(widget, list)) {
            widget->clear();
            for (const std::string& text : list.items()) {
                auto* item = new QListWidgetItem(ToQt(text), widget);
                item->setSizeHint(QSize(widget->fontMetrics().horizontalAdvance(item->text()) + 8,
                                        kListItemHeight));
            }
        }
        for (int i = 0; i < list.count(); ++i) widget->item(i)->setSelected(list.selected(i));
        widget->setEnabled(list.enabled());
    });
    QObject::connect(widget, &QListWidget::itemSelectionChanged, widget,
                     [this, &list, widget, sync] {
                         dispatch([&list, widget] {
                             const int shown = std::min(list.count(), widget->count());
                             for (int i = 0; i < shown; ++i) {
                                 list.setSelected(i, widget->item(i)->isSelected());
                             }
                         });
                         sync();
                     });
}

void ControlBinder::comboBox(ComboBox& combo, QComboBox* widget) {
    widget->setEditable(true);
    widget->setInsertPolicy(QComboBox::NoInsert);
    widget->setCompleter(nullptr);  // completion would write text the user did not type
    QLineEdit* field = widget->lineEdit();
    Sync sync = listen(combo, [&combo, widget, field] {
        const QSignalBlocker block(widget);
        const QSignalBlocker blockField(field);
        if (!ComboShows(widget, combo)) {
            widget->clear();
            for (const std::string& item : combo.items()) widget->addItem(ToQt(item));
        }
        if (combo.itemIndex() >= 0 && widget->currentIndex() != combo.itemIndex()) {
            widget->setCurrentIndex(combo.itemIndex());
        }
        const QString text = ToQt(combo.text());
        if (field->text() != text) field->setText(text);
        widget->setEnabled(combo.enabled());
    });
    QObject::connect(widget, &QComboBox::activated, widget, [this, &combo, sync](int index) {
        dispatch([&combo, index] { combo.userPicked(index); });
        sync();
    });
    QObject::connect(field, &QLineEdit::textEdited, widget, [this, &combo](const QString& text) {
        dispatch([&combo, &text] { combo.userTyped(FromQt(text)); });
    });
}

void ControlBinder::upDown(UpDown& upDown, QLineEdit* buddy, QAbstractButton* up,
                           QAbstractButton* down) {
    listen(upDown, [&upDown, up, down] {
        up->setEnabled(upDown.enabled());
        down->setEnabled(upDown.enabled());
    });
    auto step = [this, &upDown](int delta) {
        dispatch([&upDown, delta] { upDown.userStep(delta); });
    };
    QObject::connect(up, &QAbstractButton::clicked, up, [step] { step(+1); });
    QObject::connect(down, &QAbstractButton::clicked, down, [step] { step(-1); });
    new EventHook(buddy, [step](QEvent* event) {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        step(key == Qt::Key_Up ? +1 : -1);
        return true;
    });
}

void ControlBinder::timer(Timer& timer, QTimer* clock) {
    auto shownGeneration = std::make_shared<unsigned>(timer.countdownGeneration());
    listen(timer, [&timer, clock, shownGeneration] {
        if (!timer.running()) {
            clock->stop();
            return;
        }
        const bool restart = !clock->isActive() || clock->interval() != timer.interval() ||
                             *shownGeneration != timer.countdownGeneration();
        *shownGeneration = timer.countdownGeneration();
        if (restart) clock->start(timer.interval());
    });
    QObject::connect(clock, &QTimer::timeout, clock,
                     [this, &timer] { dispatch([&timer] { timer.tick(); }); });
}

void ControlBinder::trayIcon(TrayIcon& tray, std::function<QSystemTrayIcon*()> makeIcon) {
    auto icon = std::make_shared<QPointer<QSystemTrayIcon>>();
    auto noticesShown = std::make_shared<unsigned>(tray.noticeCount());
    listen(tray, [this, &tray, makeIcon, icon, noticesShown] {
        if (!*icon) {
            if (!tray.visible()) return;
            *icon = makeIcon();
            // A click and a double click both bring the window back; a StatusNotifierItem host
            // never reports a double click.
            QObject::connect(*icon, &QSystemTrayIcon::activated, *icon,
                             [this, &tray](QSystemTrayIcon::ActivationReason reason) {
                                 if (reason != QSystemTrayIcon::Trigger &&
                                     reason != QSystemTrayIcon::DoubleClick) {
                                     return;
                                 }
                                 if (!tray.onClick) return;
                                 Handler click = tray.onClick;  // may replace itself
                                 dispatch(click);
                             });
        }
        (*icon)->setToolTip(
            ToQt(tray.detail().empty() ? tray.hint() : tray.hint() + "\n" + tray.detail()));
        (*icon)->setVisible(tray.visible());
        if (*noticesShown != tray.noticeCount()) {
            *noticesShown = tray.noticeCount();
            (*icon)->showMessage(ToQt(tray.noticeTitle()), ToQt(tray.noticeText()),
                                 QSystemTrayIcon::Warning);
        }
    });
}

}  // namespace hw
