#include "gui/command_button_qt.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace hw {

void CommandButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style draws only the flat panel (hover and pressed look); picture and caption follow.
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    const QIcon::Mode mode = !isEnabled()   ? QIcon::Disabled
                             : underMouse() ? QIcon::Active
                                            : QIcon::Normal;
    const QPixmap picture = icon().pixmap(iconSize(), devicePixelRatio(), mode);
    const QSize shown = picture.deviceIndependentSize().toSize();
    constexpr int kTop = 3;
    painter.drawPixmap((width() - shown.width()) / 2, kTop, picture);
    const QRect captionRoom(1, kTop + iconSize().height() + 2, captionWidth(),
                            height() - kTop - iconSize().height() - 2);
    painter.drawItemText(captionRoom, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                         palette(), isEnabled(), text(), QPalette::ButtonText);
}

}  // namespace hw
