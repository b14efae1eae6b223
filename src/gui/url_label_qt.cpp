#include "gui/url_label_qt.h"

#include <QMouseEvent>

namespace hw {

UrlLabel::UrlLabel(QWidget* parent) : QLabel(parent) {
    QFont linkFont(QStringLiteral("Tahoma"));
    linkFont.setPixelSize(11);
    setFont(linkFont);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setHovered(false);
}

void UrlLabel::setHovered(bool hovered) {
    // The desktop's link colour reads well on its own background, light or dark, and follows it
    // when it changes.
    setForegroundRole(QPalette::Link);
    QFont linkFont = font();
    linkFont.setUnderline(hovered);
    setFont(linkFont);
}

void UrlLabel::enterEvent(QEnterEvent* event) {
    setHovered(true);
    QLabel::enterEvent(event);
}

void UrlLabel::leaveEvent(QEvent* event) {
    setHovered(false);
    QLabel::leaveEvent(event);
}

void UrlLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        onClick) {
        onClick();
    }
}

}  // namespace hw
