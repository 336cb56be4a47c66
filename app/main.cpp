#include <QApplication>

#include "app/appearance.h"
#include "app/tfrmabout.h"
#include "app/tfrmmain.h"
#include "netclient/simclient.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Trawl"));
    QApplication::setWindowIcon(trawlIcon());

    // The simulated NetWare workstation is installed before the window exists:
    // its first showing starts the client, which then finds its workstation file.
    SimClient client;
    client.setExecutableFolder(QCoreApplication::applicationDirPath().toStdString());
    setNwClient(&client);

    Tfrmmain frmmain;
    TfrmAbout frmAbout(&frmmain);
    frmmain.frmAbout = &frmAbout;

    QStringList arguments = QApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    frmmain.commandLineArguments = arguments;

    frmmain.show();
    return app.exec();
}
