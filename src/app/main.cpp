#include <QApplication>

#include "app/tarnwick_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tarnwick");
    CTarnwickApp app;
    app.InitInstance();
    return 0;
}
