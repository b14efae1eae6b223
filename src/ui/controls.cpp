#include "ui/controls.h"

#include <algorithm>
#include <cctype>

namespace hw {

namespace {

// Case-insensitive order as the list box sorts; ties keep the order of insertion.
bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
}

void Raise(const Handler& handler) {
    if (handler) {
        Handler copy = handler;  // the handler may replace itself
        copy();
    }
}

}  // namespace

std::string Utf8Left(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80) {  // first byte of a character
            if (chars == maxChars) return text.substr(0, i);
            ++chars;
        }
    }
    return text;
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    notifyView();
}

void Control::notifyView() const {
    if (viewListener_) viewListener_();
}

void Captioned::setCaption(const std::string& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    notifyView();
}

void Button::userClick() {
    if (enabled()) Raise(onClick);
}

void LinkLabel::setUrl(const std::string& url) {
    if (url_ == url) return;
    url_ = url;
    notifyView();
}

std::string LinkLabel::address() const {
    return kind == Kind::Mail ? "mailto:" + url_ : url_;
}

void Edit::setText(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    notifyView();
    Raise(onChange);
}

void Edit::userTyped(const std::string& text) {
    typing_ = true;
    try {
        setText(text);
    } catch (...) {
        typing_ = false;
        throw;
    }
    typing_ = false;
}

void Edit::userLeft() {
    Raise(onExit);
}

void CheckBox::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    notifyView();
    Raise(onClick);
}

void CheckBox::userClick() {
    if (enabled()) setChecked(!checked_);
}

void RadioButton::MakeGroup(const std::vector<RadioButton*>& buttons) {
    for (RadioButton* button : buttons) button->group_ = buttons;
}

void RadioButton::setChecked(bool checked) {
    if (checked_ == checked) return;
    if (checked) {
        for (RadioButton* other : group_) {
            if (other != this && other->checked_) {
                other->checked_ = false;
                other->notifyView();
            }
        }
        checked_ = true;
        notifyView();
        return;
    }
    // Never leave the group without a checked button.
    auto self = std::find(group_.begin(), group_.end(), this);
    if (self == group_.end() || group_.size() < 2) return;
    auto next = std::next(self) == group_.end() ? group_.begin() : std::next(self);
    (*next)->setChecked(true);
}

std::vector<std::string> ListBox::items() const {
    std::vector<std::string> texts;
    texts.reserve(items_.size());
    for (const Item& item : items_) texts.push_back(item.text);
    return texts;
}

int ListBox::add(const std::string& text) {
    auto pos = std::upper_bound(items_.begin(), items_.end(), text,
                                [](const std::string& value, const Item& item) {
                                    return LessIgnoringCase(value, item.text);
                                });
    auto inserted = items_.insert(pos, Item{text, false});
    notifyView();
    return static_cast<int>(inserted - items_.begin());
}

void ListBox::remove(int index) {
    items_.erase(items_.begin() + index);
    notifyView();
}

void ListBox::clear() {
    if (items_.empty()) return;
    items_.clear();
    notifyView();
}

int ListBox::indexOf(const std::string& text) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].text == text) return static_cast<int>(i);
    }
    return -1;
}

void ListBox::setSelected(int index, bool selected) {
    Item& item = items_.at(index);
    if (item.selected == selected) return;
    item.selected = selected;
    notifyView();
}

void ComboBox::clearItems() {
    items_.clear();
    itemIndex_ = -1;
    notifyView();
}

void ComboBox::addItem(const std::string& text) {
    items_.push_back(text);
    notifyView();
}

void ComboBox::setItemIndex(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        itemIndex_ = -1;
    } else {
        itemIndex_ = index;
        text_ = items_[index];
    }
    notifyView();
}

void ComboBox::userTyped(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    auto found = std::find(items_.begin(), items_.end(), text);
    itemIndex_ = found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
    notifyView();
    Raise(onChange);
}

void ComboBox::userPicked(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    itemIndex_ = index;
    text_ = items_[index];
    notifyView();
    Raise(onChange);
}

UpDown::UpDown(std::string name, Edit& buddy, int min, int max, int position)
    : Control(std::move(name)), buddy_(buddy), min_(min), max_(max), position_(position) {}

void UpDown::setPosition(int position) {
    const int held = std::clamp(position, min_, max_);
    if (held != position_) {
        bool allowChange = true;
        if (onChanging) {
            auto handler = onChanging;
            handler(allowChange, held);
        }
        if (!allowChange) return;
        position_ = held;
        notifyView();
    }
    buddy_.setText(std::to_string(position_));
}

void UpDown::userStep(int delta) {
    if (!enabled()) return;
    const long wanted = static_cast<long>(position_) + delta;
    setPosition(static_cast<int>(std::clamp<long>(wanted, min_, max_)));
}

Timer::Timer(std::string name, int intervalMs, bool running)
    : Control(std::move(name)), interval_(intervalMs), running_(running) {}

void Timer::setInterval(int intervalMs) {
    if (interval_ == intervalMs || destroyed_) return;
    interval_ = intervalMs;
    if (running_) ++generation_;
    notifyView();
}

void Timer::setRunning(bool running) {
    if (running_ == running || destroyed_) return;
    running_ = running;
    if (running_) ++generation_;
    notifyView();
}

void Timer::destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    running_ = false;
    notifyView();
}

void Timer::tick() {
    if (running()) Raise(onTimer);
}

void TrayIcon::setHint(const std::string& hint) {
    const std::string cut = Utf8Left(hint, kMaxHintChars);
    if (hint_ == cut) return;
    hint_ = cut;
    notifyView();
}

void TrayIcon::setDetail(const std::string& detail) {
    if (detail_ == detail) return;
    detail_ = detail;
    notifyView();
}

void TrayIcon::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    notifyView();
}

bool TrayIcon::showNotice(const std::string& title, const std::string& text) {
    if (!visible_) return false;
    noticeTitle_ = title;
    noticeText_ = text;
    ++noticeCount_;
    notifyView();
    return true;
}

}  // namespace hw
