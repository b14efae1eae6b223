// The window's controls as plain objects. They are the settings model: handlers read and
// write them by name, and the front end only draws them and feeds the user's input in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/dialog_types.h"

namespace hw {

using Handler = std::function<void()>;

class Control {
  public:
    explicit Control(std::string name) : name_(std::move(name)) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // The front end listens here to redraw its widget. It must never raise model events.
    void setViewListener(Handler listener) { viewListener_ = std::move(listener); }

  protected:
    void notifyView() const;

  private:
    std::string name_;
    bool enabled_ = true;
    Handler viewListener_;
};

// Label, page, button, menu item, window caption, link label: assigning a caption raises nothing.
class Captioned : public Control {
  public:
    using Control::Control;
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);

  private:
    std::string caption_;
};

using Label = Captioned;
using TabSheet = Captioned;

class Button : public Captioned {
  public:
    using Captioned::Captioned;
    Handler onClick;
    // Only the user's click runs the handler.
    void userClick();
};

using MenuItem = Button;

class LinkLabel : public Button {
  public:
    enum class Kind { Custom, Mail };
    using Button::Button;
    const std::string& url() const { return url_; }
    void setUrl(const std::string& url);
    Kind kind = Kind::Custom;
    // The address handed to the desktop: the target, with "mailto:" in front for mail links.
    std::string address() const;

  private:
    std::string url_;
};

class Edit : public Control {
  public:
    using Control::Control;
    const std::string& text() const { return text_; }
    // A different text is stored and then raises onChange before this returns; an equal text
    // raises nothing, which is what lets a handler assign its own edit and come to rest.
    void setText(const std::string& text);
    // Typing is a change of the text like any other; its handler can tell it by typing().
    void userTyped(const std::string& text);
    // The user left the field or pressed Enter in it.
    void userLeft();
    // True while a change typed by the user is handled.
    bool typing() const { return typing_; }

    int maxLength() const { return maxLength_; }
    void setMaxLength(int length) { maxLength_ = length; }

    Handler onChange;
    Handler onExit;

  private:
    std::string text_;
    int maxLength_ = 0;  // 0: no limit
    bool typing_ = false;
};

class CheckBox : public Captioned {
  public:
    using Captioned::Captioned;
    bool checked() const { return checked_; }
    // A different state raises onClick exactly as a user's click would.
    void setChecked(bool checked);
    void userClick();
    Handler onClick;

  private:
    bool checked_ = false;
};

// Radio buttons of one group: exactly one is checked.
class RadioButton : public Captioned {
  public:
    using Captioned::Captioned;
    bool checked() const { return checked_; }
    // Checking one clears the others; unchecking one checks the next one of the group.
    void setChecked(bool checked);
    void userClick() { setChecked(true); }
    static void MakeGroup(const std::vector<RadioButton*>& buttons);

  private:
    bool checked_ = false;
    std::vector<RadioButton*> group_;
};

// Sorted (case-insensitively, as items are added) multi-selection list.
class ListBox : public Control {
  public:
    using Control::Control;
    int count() const { return static_cast<int>(items_.size()); }
    const std::string& item(int index) const { return items_.at(index).text; }
    std::vector<std::string> items() const;
    int add(const std::string& text);  // returns the index it was sorted to
    void remove(int index);
    void clear();
    int indexOf(const std::string& text) const;  // exact, case counting; -1 when absent
    bool selected(int index) const { return items_.at(index).selected; }
    void setSelected(int index, bool selected);

  private:
    struct Item {
        std::string text;
        bool selected = false;
    };
    std::vector<Item> items_;
};

// Editable drop-down list. Program refills and selections raise nothing; the user's pick sets
// the text and raises onChange once; typing raises it at every change.
class ComboBox : public Control {
  public:
    using Control::Control;
    const std::string& text() const { return text_; }
    const std::vector<std::string>& items() const { return items_; }
    int itemIndex() const { return itemIndex_; }
    void clearItems();
    void addItem(const std::string& text);
    void setItemIndex(int index);
    void userTyped(const std::string& text);
    void userPicked(int index);
    Handler onChange;

  private:
    std::string text_;
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

// Spin control bound to an edit: position held to [min, max], no wrap.
class UpDown : public Control {
  public:
    UpDown(std::string name, Edit& buddy, int min, int max, int position);
    int position() const { return position_; }
    int min() const { return min_; }
    int max() const { return max_; }
    // A different (held) position raises onChanging first, while position() still reports the
    // old one and newPosition tells the one it moves to; then it moves. The bound edit always
    // ends up showing the position.
    void setPosition(int position);
    void userStep(int delta);
    std::function<void(bool& allowChange, int newPosition)> onChanging;

  private:
    Edit& buddy_;
    int min_;
    int max_;
    int position_;
};

class Timer : public Control {
  public:
    Timer(std::string name, int intervalMs, bool running);
    int interval() const { return interval_; }
    // An equal interval changes nothing; a different one restarts a running countdown.
    void setInterval(int intervalMs);
    // A period of zero or less stops the timer rather than letting it fire without pause.
    bool running() const { return running_ && !destroyed_ && interval_ > 0; }
    // Starting a running timer or stopping a stopped one changes nothing.
    void setRunning(bool running);
    void destroy();
    bool destroyed() const { return destroyed_; }
    // Counts every (re)start of the countdown, so the front end knows when to restart its clock.
    unsigned countdownGeneration() const { return generation_; }
    // The front end's clock ran out.
    void tick();
    Handler onTimer;

  private:
    int interval_;
    bool running_;
    bool destroyed_ = false;
    unsigned generation_ = 0;
};

class TrayIcon : public Control {
  public:
    static constexpr std::size_t kMaxHintChars = 63;
    using Control::Control;
    const std::string& hint() const { return hint_; }
    // Longer texts are cut to their first 63 characters (not bytes).
    void setHint(const std::string& hint);
    // A second line below the hint, not cut.
    const std::string& detail() const { return detail_; }
    void setDetail(const std::string& detail);
    bool visible() const { return visible_; }
    void setVisible(bool visible);
    Handler onClick;

    // A short notice shown by the desktop beside the icon. Only a shown icon can show one;
    // false (and nothing shown) otherwise.
    bool showNotice(const std::string& title, const std::string& text);
    const std::string& noticeTitle() const { return noticeTitle_; }
    const std::string& noticeText() const { return noticeText_; }
    // Counts the notices shown, so the front end knows when a new one is due.
    unsigned noticeCount() const { return noticeCount_; }

  private:
    std::string hint_;
    std::string detail_;
    bool visible_ = false;
    std::string noticeTitle_;
    std::string noticeText_;
    unsigned noticeCount_ = 0;
};

// Cuts a UTF-8 text to at most maxChars characters.
std::string Utf8Left(const std::string& text, std::size_t maxChars);

}  // namespace hw
