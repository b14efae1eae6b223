// A label drawn as a link: in the desktop's link colour, underlined while the mouse is over it,
// with the hand pointer. A left click inside it runs onClick.
#pragma once

#include <QLabel>
#include <functional>

namespace hw {

class UrlLabel : public QLabel {
  public:
    explicit UrlLabel(QWidget* parent = nullptr);
    std::function<void()> onClick;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void setHovered(bool hovered);
};

}  // namespace hw
