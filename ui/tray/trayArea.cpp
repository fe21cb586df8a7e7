#include "ui/tray/trayArea.h"

#include <QApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QWidget>

#include "app/core/seams.h"

namespace {

QRect (*g_trayGeometry)() = nullptr;

QRect workAreaOf(const QWidget* widget) {
    QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

void setTrayIconGeometryProvider(QRect (*provider)()) { g_trayGeometry = provider; }
const seams::Registration g_trayGeometrySeam(
    "TrayIconGeometryProvider", [] { return g_trayGeometry != nullptr; }, [] { setTrayIconGeometryProvider(nullptr); });

void getTrayWindowRect(QRect& rect) {
    if (g_trayGeometry != nullptr) {
        const QRect icon = g_trayGeometry();
        if (icon.isValid()) {
            rect = icon;
            return;
        }
    }
    const QRect area = workAreaOf(nullptr);
    rect = QRect(QPoint(area.right() + 1 - 150, area.bottom() + 1 - 30), QPoint(area.right(), area.bottom()));
}

bool isMinimizeAnimationEnabled() { return QApplication::isEffectEnabled(Qt::UI_AnimateMenu); }

void minimizeToTray(QWidget* window) {
    if (window == nullptr) return;
    if (!isMinimizeAnimationEnabled()) {
        window->hide();
        return;
    }
    auto* fade = new QPropertyAnimation(window, "windowOpacity", window);
    fade->setDuration(150);
    fade->setStartValue(window->windowOpacity());
    fade->setEndValue(0.0);
    const qreal opacity = window->windowOpacity();
    QObject::connect(fade, &QPropertyAnimation::finished, window, [window, opacity] {
        window->hide();
        window->setWindowOpacity(opacity);
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void restoreFromTray(QWidget* window) {
    if (window == nullptr) return;
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool isWindowMinimized(const QWidget* window) { return window != nullptr && window->isMinimized(); }
