// What a screen reader is told of the controls that Qt would announce as something else: the
// page tabs (checkable tool buttons), the radio buttons (whose group the model keeps, so Qt takes
// them for check boxes), the links (labels), the window (a plain widget) and groups of controls.
#pragma once

#include <QWidget>

namespace hw {

// A frameless box around controls that belong together, such as radio buttons: a screen reader
// announces it as their group, named by its accessible name.
class ControlGroup : public QWidget {
  public:
    using QWidget::QWidget;
};

// Installs, once, the accessibility factory that announces them as what they are.
void InstallAccessibleRoles();

}  // namespace hw
