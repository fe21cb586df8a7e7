// uireset: resets the main program's saved window and bar layout. Takes no
// arguments.
#include <QApplication>

#include "utilities/uireset/uiReset.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return uireset::run();
}
