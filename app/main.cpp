#include <QApplication>

#include "app/tfrmmain.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Tfrmmain frmmain;
    frmmain.show();
    return app.exec();
}
