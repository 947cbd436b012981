#include <QApplication>

#include "AppDelegate.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    varnholt::AppDelegate delegate;
    delegate.launch();
    return QApplication::exec();
}
