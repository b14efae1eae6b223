// What a screen reader is told of the controls that Qt would announce as something else: the
// page tabs (checkable tool buttons), the radio buttons (whose group the model keeps, so Qt takes
// them for check boxes) and the links (labels).
#pragma once

namespace hw {

// Installs, once, the accessibility factory that announces them as what they are.
void InstallAccessibleRoles();

}  // namespace hw
