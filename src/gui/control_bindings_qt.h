// Binds the model's controls to Qt widgets. A widget only draws its control and forwards the
// user's input into it; every forwarded input runs through MainForm::Dispatch, and the model's
// changes come back through the control's view listener with the widget's signals blocked, so
// nothing is ever raised twice.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ui/main_form.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace hw {

class PageControl;
class UrlLabel;

inline QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string FromQt(const QString& text) {
    return text.toStdString();
}

// A button's caption with its mnemonic letter marked: the letter at the index held in the
// widget's property kMnemonicProperty (none when it is missing or no letter), any "&" of the
// caption doubled. WithoutMnemonic gives the caption back.
inline const char* const kMnemonicProperty = "hwMnemonic";
QString WithMnemonic(const QString& caption, const QWidget* widget);
QString WithoutMnemonic(const QString& text);

// Shows `text` in a word-wrapping label within its height; where it does not fit, as many whole
// words as do, with "…". False when the text was cut.
bool ShowWithinHeight(QLabel* label, const QString& text);

// Runs a hook for the events of one object (and goes with it); the hook answers whether it
// took the event.
class EventHook : public QObject {
  public:
    EventHook(QObject* watched, std::function<bool(QEvent*)> hook)
        : QObject(watched), hook_(std::move(hook)) {
        watched->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override { return hook_(event); }

  private:
    std::function<bool(QEvent*)> hook_;
};

class ControlBinder {
  public:
    explicit ControlBinder(MainForm& form) : form_(form) {}
    // Detaches every view listener, so the model outlives its widgets safely.
    ~ControlBinder();
    ControlBinder(const ControlBinder&) = delete;
    ControlBinder& operator=(const ControlBinder&) = delete;

    void windowCaption(Captioned& caption, QWidget* window);
    void tabSheet(TabSheet& sheet, PageControl* pages, int index);
    void label(Label& label, QLabel* widget);
    // A label whose text may be longer than its place: cut with "…", whole in its tooltip.
    void statusLabel(Label& label, QLabel* widget);
    void linkLabel(LinkLabel& link, UrlLabel* widget);
    void button(Button& button, QAbstractButton* widget);
    void menuItem(MenuItem& item, QAction* action);
    void edit(Edit& edit, QLineEdit* widget);
    void checkBox(CheckBox& box, QCheckBox* widget);
    void radioButton(RadioButton& radio, QRadioButton* widget);
    void listBox(ListBox& list, QListWidget* widget);
    void comboBox(ComboBox& combo, QComboBox* widget);
    // The spin control's own arrows, plus the Up and Down keys in its bound field.
    void upDown(UpDown& upDown, QLineEdit* buddy, QAbstractButton* up, QAbstractButton* down);
    void timer(Timer& timer, QTimer* clock);
    // The Qt icon is made only when the model first shows it: Qt settles on its tray protocol
    // when the first icon is made, and a program started at log-in may start before the panel.
    void trayIcon(TrayIcon& tray, std::function<QSystemTrayIcon*()> makeIcon);

  private:
    using Sync = std::function<void()>;
    // Installs sync as the control's view listener and draws the control once.
    Sync listen(Control& control, Sync sync);
    void dispatch(const Handler& event) { form_.Dispatch(event); }

    MainForm& form_;
    std::vector<Control*> bound_;
};

}  // namespace hw
