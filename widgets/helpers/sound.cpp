#include "widgets/helpers/sound.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "app/misc/programFiles.h"
#include "app/options/globalOptions.h"

namespace {

void play(const QString& file) {
    auto* effect = new QSoundEffect(qApp);
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying()) effect->deleteLater();
    });
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    });
    effect->setSource(QUrl::fromLocalFile(file));
    effect->play();
}

}  // namespace

void playSoundFile(const std::string& file) {
    if (GlobalOptions::instance().DisableAllSound) return;
    const QFileInfo info(QString::fromStdString(file));
    if (!file.empty() && info.exists() && info.isFile()) {
        play(info.absoluteFilePath());
    } else {
        QApplication::beep();
    }
}

void playSoundResource(const std::string& name) {
    if (GlobalOptions::instance().DisableAllSound) return;
    const QFileInfo info(QString::fromStdString(makeProgramFilePath("Resources/" + name)));
    if (info.isFile()) play(info.absoluteFilePath());
}
