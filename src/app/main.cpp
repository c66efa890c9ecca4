#include <QApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(u"orvel 0.3.1 alpha [build 12]"_s);
    window.resize(640, 420);
    window.show();
    return app.exec();
}
