#include "gui/pictures_qt.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource file lives in a static library, whose unreferenced objects the linker drops.
static void LoadPictureResources() {
    Q_INIT_RESOURCE(hoardwise);
}

namespace hw {

QIcon Picture(const QString& name, std::initializer_list<int> sizes) {
    static const bool loaded = (LoadPictureResources(), true);
    (void)loaded;
    // Rendered here rather than by an icon-engine plugin that a desktop may lack.
    QSvgRenderer renderer(QStringLiteral(":/pictures/%1.svg").arg(name));
    QIcon icon;
    if (!renderer.isValid()) return icon;
    const QSize drawn = renderer.defaultSize();
    for (int size : sizes) {
        QPixmap pixmap(drawn.scaled(size, size, Qt::KeepAspectRatio));
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace hw
