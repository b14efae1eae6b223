#include "gui/page_control_qt.h"

#include <QAccessible>
#include <QButtonGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <algorithm>

#include "gui/control_bindings_qt.h"

namespace hw {

namespace {

constexpr int kTabHeight = 18;
constexpr int kTabPadding = 5;  // on each side of the caption

// Drawn here rather than by a style sheet, whose parsing and polish for each tab took a good part
// of the window's start: a border of the palette's mid colour, open towards the page; the page
// shown stands out in light and dark palettes alike; the keyboard's place is dotted.
class PageTab : public QToolButton {
  public:
    using QToolButton::QToolButton;

    // The caption and the border: the control adds the padding as it lays the tabs out.
    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(WithoutMnemonic(text())) + 2,
                fontMetrics().height() + 2};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QPalette& colours = palette();
        const QRect area = rect();
        painter.fillRect(area, isChecked() ? colours.base() : colours.button());
        if (isChecked()) painter.fillRect(area.x(), area.y(), area.width(), 2, colours.highlight());
        QPen border(hasFocus() ? colours.text().color() : colours.mid().color());
        border.setStyle(hasFocus() ? Qt::DotLine : Qt::SolidLine);
        painter.setPen(border);
        painter.drawLine(area.bottomLeft(), area.topLeft());
        if (!isChecked()) painter.drawLine(area.topLeft(), area.topRight());
        painter.drawLine(area.topRight(), area.bottomRight());
        painter.setPen(colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                     QPalette::ButtonText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
};

// The frame around the pages, in the tabs' colour.
class PageFrame : public QFrame {
  public:
    using QFrame::QFrame;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().mid().color());
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

}  // namespace

PageControl::PageControl(QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)), frame_(new PageFrame(this)) {
    group_->setExclusive(true);
    frame_->setObjectName(QStringLiteral("pageFrame"));
    stack_ = new QStackedWidget(frame_);
    stack_->setFont(font());
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { setCurrentIndex(id); });

    // The keyboard way between the pages, as with any tabbed dialog.
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), +1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), +1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [key, delta] : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, delta = delta] {
            step(delta);
            // The focus goes to the new page's tab: the field it was in may now be hidden, and a
            // screen reader tells the page that is shown.
            tabs_[currentIndex()]->setFocus(Qt::TabFocusReason);
        });
    }
}

int PageControl::addTab(QWidget* page, const QString& text) {
    const int index = count();
    auto* tab = new PageTab(this);
    tab->setObjectName(QStringLiteral("tab%1").arg(index + 1));
    tab->setCheckable(true);
    // Reached with Tab; the arrow keys go from page to page.
    tab->setFocusPolicy(Qt::TabFocus);
    new EventHook(tab, [this](QEvent* event) {
        if (event->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right) return false;
        step(key == Qt::Key_Right ? +1 : -1);
        tabs_[currentIndex()]->setFocus(Qt::TabFocusReason);
        return true;
    });
    tab->setText(text);
    tab->setFont(font());
    group_->addButton(tab, index);
    tabs_.push_back(tab);
    stack_->addWidget(page);
    if (index == 0) setCurrentIndex(0);
    relayout();
    return index;
}

void PageControl::setScale(double scale) {
    scale_ = scale;
    relayout();
}

// The pages and tabs take this control's own font, also when it changes after they were made.
void PageControl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::FontChange) return;
    stack_->setFont(font());
    for (QToolButton* tab : tabs_) tab->setFont(font());
    relayout();
}

QString PageControl::tabText(int index) const {
    return tabs_.at(index)->text();
}

void PageControl::setTabText(int index, const QString& text) {
    if (tabs_.at(index)->text() == text) return;
    tabs_.at(index)->setText(text);
    relayout();
}

void PageControl::setTabEnabled(int index, bool enabled) {
    tabs_.at(index)->setEnabled(enabled);
}

int PageControl::currentIndex() const {
    return stack_->currentIndex();
}

void PageControl::setCurrentIndex(int index) {
    if (index < 0 || index >= count()) return;
    const int before = currentIndex();
    tabs_[index]->setChecked(true);
    stack_->setCurrentIndex(index);
    if (before == index) return;
    // The tabs are announced as selected rather than checked, which Qt would not tell.
    QAccessible::State selected;
    selected.selected = true;
    for (const int changed : {before, index}) {
        if (changed < 0 || changed >= count()) continue;
        QAccessibleStateChangeEvent event(tabs_[changed], selected);
        QAccessible::updateAccessibility(&event);
    }
}

QWidget* PageControl::widget(int index) const {
    return stack_->widget(index);
}

QAbstractButton* PageControl::tabButton(int index) const {
    return tabs_.at(index);
}

void PageControl::step(int delta) {
    if (count() == 0) return;
    for (int i = 1; i <= count(); ++i) {
        const int next = ((currentIndex() + delta * i) % count() + count()) % count();
        if (tabs_[next]->isEnabled()) {
            setCurrentIndex(next);
            return;
        }
    }
}

void PageControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void PageControl::relayout() {
    // Tabs fill a row from the left and start a new row when the next one would not fit.
    int row = 0;
    int x = 0;
    std::vector<std::pair<int, int>> placed;  // row and x of each tab
    for (QToolButton* tab : tabs_) {
        const int tabHeight = qRound(kTabHeight * scale_);
        const int width = tab->fontMetrics().horizontalAdvance(WithoutMnemonic(tab->text())) +
                          2 * qRound(kTabPadding * scale_);
        if (x > 0 && x + width > this->width()) {
            ++row;
            x = 0;
        }
        placed.emplace_back(row, x);
        tab->resize(width, tabHeight);
        x += width;
    }
    for (std::size_t i = 0; i < tabs_.size(); ++i) {
        tabs_[i]->move(placed[i].second, placed[i].first * qRound(kTabHeight * scale_));
    }
    const int top = (row + 1) * qRound(kTabHeight * scale_);
    frame_->setGeometry(0, top, width(), std::max(0, height() - top));
    stack_->setGeometry(1, 1, std::max(0, frame_->width() - 2), std::max(0, frame_->height() - 2));
}

}  // namespace hw
