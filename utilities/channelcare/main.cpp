// channelcare: writes one setting into many channel files of a user while the
// main program is not running.
#include <QApplication>

#include "utilities/channelcare/channelCareDlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return channelcare::run(QCoreApplication::applicationFilePath().toStdString());
}
