#include "Application.h"
#include "frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    toolkit::InitApplication(app);
    frmMain window;
    return app.exec();
}
