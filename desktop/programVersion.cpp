#include "desktop/programVersion.h"

#include <QCoreApplication>
#include <QString>

#include "app/core/programPaths.h"

void getVersionInfo() {
    ProgramPaths& p = programPaths();
    const QString name = QCoreApplication::applicationName();
    const QString version = QCoreApplication::applicationVersion();
    if (!name.isEmpty()) p.appName = name.toStdString();
    if (!version.isEmpty()) p.versionString = version.toStdString();
}
