// The yardsticks of startup_bench: a Qt 6 program that shows one empty window of Hoardwise's size
// and does nothing else; built as text_window, the same window with one line of text, which
// costs the font set-up that any window showing text pays.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.setFixedSize(371, 307);
#ifdef HOARDWISE_BENCH_ONE_LABEL
    auto* label = new QLabel(QStringLiteral("TEMP-Directory:"), &window);
    label->move(8, 8);
#endif
    window.show();
    return QApplication::exec();
}
