#pragma once
// The program's icon in the notification area: its tooltip, its animation
// while new items wait to be looked at, and the tray menu ("&Open",
// "&Options", "E&xit" and the channels' quick-access entries, rebuilt each
// time it opens). Built on QSystemTrayIcon; where no tray host runs,
// create() fails and every icon operation does nothing and returns false.
//
//   auto* tray = new CSystemTray(frame);
//   if (tray->create(nullptr, kTrayCallbackMessage, "Orvan", programIcon(), kTrayIconId)) ...
//   startTrayAnimation(channel);        // a new frame every 100 ms
//
// The object is also a user-interface event handler: once the user looks
// at every channel that started the animation (or those channels are
// deleted), the animation runs to the end of its cycle and stops. It keeps
// a hidden window of its own, the owner of the notification balloons.
//
// User-interface thread only.
#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <set>
#include <string>
#include <vector>

#include "app/core/commandIds.h"
#include "ui/events/uiEvent.h"

class QMenu;
class QWidget;

class CSystemTray : public QObject, public UiEventHandler {
    Q_OBJECT
public:
    static constexpr int kIconId = 158;  // also the tray menu
    static constexpr unsigned kCallbackMessage = 0x800A;
    static constexpr int kAnimationTimerId = 4567;
    // The menu's fixed commands.
    enum Command { Open = kCmdShowMainWindow, Options = kCmdOptions, Exit = kCmdTrayExit };

    explicit CSystemTray(QObject* parent = nullptr);
    ~CSystemTray() override;

    // Adds the icon; false (and no icon) while no tray host is available.
    // May be called again after a failure.
    bool create(QWidget* parentWindow, unsigned callbackMessage, const std::string& tooltip, const QIcon& icon,
                int iconId);
    void removeIcon();
    bool isEnabled() const { return enabled_; }
    bool setIcon(const QIcon& icon);
    // The icon shown; a null icon when there is none.
    QIcon getIcon() const;
    // The tooltip is cut to 127 characters.
    bool setTooltipText(const std::string& text);
    std::string getTooltipText() const;
    // The animation's frames: resources first..last, both included.
    bool setIconList(int first, int last);
    int getIconCount() const { return static_cast<int>(icons_.size()); }

    // durationSeconds 0 or less: no limit.
    bool animate(int frameDelayMs, int durationSeconds);
    bool stepAnimation();
    // atCycleEnd: finish the current cycle first.
    bool stopAnimation(bool atCycleEnd);
    bool isAnimating() const { return animationTimer_ != 0; }
    int getAnimationIndex() const { return animationIndex_; }

    bool setMenuDefaultItem(int item, bool byPosition);
    // The command a double click sends; 0 when there is none.
    int getDefaultCommand() const;

    // Rebuilds the menu: the fixed items, then the channels' entries.
    void fillMenu(QMenu* menu);
    QMenu* getMenu() const { return menu_; }
    // The icon's mouse messages, as Qt reports them.
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    // The commands of the icon's window: 32844, 32835, 32842 and the tray
    // menu's entries 5000..5999.
    void runCommand(int id);

    QSystemTrayIcon* getTrayIcon() const { return icon_; }
    // The hidden window that owns the balloons.
    QWidget* getWindow() const { return window_; }
    // Where the icon is on the screen; empty when unknown.
    QRect getIconGeometry() const;

    std::string getDescription() const override { return "[CSystemTray]"; }
    void onChannelViewActivated(ChannelViewActivatedUiEvent& event) override;
    void onChannelDeleted(ChannelDeletedUiEvent& event) override;

    // Registered with the user-interface handler (once).
    void registerEventHandler();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    bool enabled_ = false;
    int iconId_ = 0;
    QPointer<QSystemTrayIcon> icon_;
    QMenu* menu_ = nullptr;
    QWidget* window_ = nullptr;
    QIcon currentIcon_;
    std::string tooltip_;
    std::vector<QIcon> icons_;
    int animationTimer_ = 0;
    int animationIndex_ = 0;
    QElapsedTimer animationStart_;
    int animationDuration_ = 0;
    bool stopAtCycleEnd_ = false;
    QIcon savedIcon_;
    bool hasSavedIcon_ = false;
    int defaultMenuItem_ = 0;
    bool defaultByPosition_ = true;
    bool registered_ = false;
};

// The one tray object; null before it exists.
CSystemTray* getSystemTray();

// Starts the tray icon's animation for the channel's new items (the
// channel is remembered even while DisableAllAnimation is on).
void startTrayAnimation(channels::Channel* channel);
// Lets the animation finish its cycle and stop.
void stopTrayAnimation();
// How many channels the animation waits for the user to look at.
std::size_t animatingChannelCount();

namespace ui {
// Connects the tray, the notification queue and the balloons to the main
// frame's services and the application's notification sink; before the
// main frame is created.
void installTrayServices();
// Registers the tray object as a user-interface event handler, once the
// handler exists.
void registerTrayEventHandler();
}  // namespace ui
