#include "gui/accessibility_qt.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>

#include "gui/main_window_qt.h"
#include "gui/page_control_qt.h"
#include "gui/url_label_qt.h"

namespace hw {

namespace {

class AnnouncedAs : public QAccessibleWidget {
  public:
    AnnouncedAs(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget())) {
            if (role() == QAccessible::PageTab) {
                // The page shown is the selected tab, as in any tab list, not a checked button.
                state.selectable = true;
                state.selected = button->isChecked();
            } else {
                state.checkable = button->isCheckable();
                state.checked = button->isChecked();
            }
        }
        return state;
    }

    QString text(QAccessible::Text which) const override {
        if (which == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            if (const auto* button = qobject_cast<const QAbstractButton*>(widget())) {
                return QString(button->text()).remove(QLatin1Char('&'));
            }
            if (const auto* label = qobject_cast<const QLabel*>(widget())) return label->text();
        }
        return QAccessibleWidget::text(which);
    }
};

QAccessibleInterface* Announce(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return nullptr;
    if (qobject_cast<QRadioButton*>(widget))
        return new AnnouncedAs(widget, QAccessible::RadioButton);
    if (qobject_cast<QToolButton*>(widget) && qobject_cast<PageControl*>(widget->parent())) {
        return new AnnouncedAs(widget, QAccessible::PageTab);
    }
    if (dynamic_cast<UrlLabel*>(widget)) return new AnnouncedAs(widget, QAccessible::Link);
    if (dynamic_cast<ControlGroup*>(widget)) return new AnnouncedAs(widget, QAccessible::Grouping);
    // Qt announces a plain widget as a client area even when it is the top-level window; as a
    // window its title is read when it appears.
    if (qobject_cast<MainWindow*>(widget))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

}  // namespace

void InstallAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(Announce);
        return true;
    }();
    (void)installed;
}

}  // namespace hw
