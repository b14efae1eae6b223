#include "gui/url_label_qt.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace hw {

UrlLabel::UrlLabel(QWidget* parent) : QLabel(parent) {
    // The window's size (which follows the desktop's font) in the link face.
    QFont linkFont(QStringLiteral("Tahoma"));
    linkFont.setPixelSize(parent != nullptr ? parent->fontInfo().pixelSize() : 11);
    setFont(linkFont);
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab and opened with Enter or Space, as a link of a web page.
    setFocusPolicy(Qt::StrongFocus);
    setHovered(false);
}

void UrlLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && onClick) {
        onClick();
        return;
    }
    QLabel::keyPressEvent(event);
}

void UrlLabel::focusInEvent(QFocusEvent* event) {
    setHovered(true);  // the focus shows as the hover does
    QLabel::focusInEvent(event);
}

void UrlLabel::focusOutEvent(QFocusEvent* event) {
    setHovered(false);
    QLabel::focusOutEvent(event);
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
