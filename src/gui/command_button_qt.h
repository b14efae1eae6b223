// A command button: its picture above a caption of two short lines. Painted here rather than by
// the style, which elides a caption that is a few pixels too wide for it ("Einstellungen").
#pragma once

#include <QToolButton>

namespace hw {

class CommandButton : public QToolButton {
    Q_OBJECT
  public:
    using QToolButton::QToolButton;
    // The room the caption has: the button less a pixel on each side.
    int captionWidth() const { return width() - 2; }

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace hw
