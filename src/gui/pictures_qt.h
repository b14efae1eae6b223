// The program's own pictures, drawn from the SVG files of the resource file.
#pragma once

#include <QIcon>
#include <QString>
#include <initializer_list>

namespace hw {

// A picture of resources/<name>.svg at the given sizes (pixels, square unless the drawing is not).
QIcon Picture(const QString& name, std::initializer_list<int> sizes);

}  // namespace hw
