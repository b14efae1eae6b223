// The yardstick of startup_bench: a Qt 6 program that shows one empty window of Hoardwise's size
// and does nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(371, 307);
    window.show();
    return QApplication::exec();
}
