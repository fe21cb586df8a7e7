#include "ui/channel/childWindowCommands.h"

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QPointer>
#include <vector>

#include "app/core/commandIds.h"
#include "ui/channel/mdiChildBase.h"
#include "ui/frame/mainFrame.h"

namespace {

struct CommandText {
    int id;
    const char* text;
};

// Each command's text while no window says otherwise.
constexpr CommandText kCommands[] = {
    {kCmdNextItem, "&Next item"},
    {kCmdPreviousItem, "P&revious item"},
    {kCmdShowItemPane, "Show &item pane"},
    {kCmdSizeToFit, "&Size to fit"},
    {kCmdShowSummary, "Show &summary"},
    {kCmdAddToReadMeList, "Add to &read-me list"},
    {kCmdShowNavBar, "Show na&vbar"},
    {kCmdOpenItem, "&Open item"},
    {kCmdOpenItemInNewWindow, "Open in &new window"},
    {kCmdCopyUrl, "&Copy URL"},
    {kCmdEmailUrl, "&Email URL"},
    {kCmdToggleItemRead, "&Mark as read"},
    {kCmdMarkAllItemsRead, "Mark &all as read"},
    {kCmdBrowserBack, "Back"},
    {kCmdBrowserForward, "Forward"},
    {kCmdBrowserGo, "Go"},
};

// Keeps the actions in step with the active child window. It keeps the
// area and the actions themselves: the frame may be half destroyed when the
// area last reports a change of window.
class ChildCommandRelay : public QObject {
public:
    ChildCommandRelay(QObject* parent, QMdiArea* area) : QObject(parent), area_(area) {
        setObjectName(QStringLiteral("childCommandRelay"));
    }
    void addAction(int id, QAction* action, const char* text) { actions_.push_back({id, action, text}); }
    QMdiArea* area() const { return area_; }

    void follow(QMdiSubWindow* window) {
        if (auto* child = qobject_cast<CAppMdiChildWnd*>(window); child != nullptr && child != followed_) {
            if (followed_ != nullptr) disconnect(followed_, nullptr, this, nullptr);
            followed_ = child;
            connect(child, &CAppMdiChildWnd::commandsChanged, this, [this] { update(); });
        }
        update();
    }
    void update() {
        for (const Entry& e : actions_) {
            if (e.action == nullptr) continue;
            const ChildCommandState state = childWindowCommandState(area_, e.id);
            e.action->setEnabled(state.handled && state.enabled);
            e.action->setCheckable(state.handled && state.checkable);
            e.action->setChecked(state.handled && state.checked);
            e.action->setText(state.handled && !state.text.isEmpty() ? state.text : QString::fromUtf8(e.text));
        }
    }

private:
    struct Entry {
        int id;
        QPointer<QAction> action;
        const char* text;
    };
    QPointer<QMdiArea> area_;
    QPointer<CAppMdiChildWnd> followed_;
    std::vector<Entry> actions_;
};

ChildCommandRelay* relayOf(CMainFrame& frame) {
    return static_cast<ChildCommandRelay*>(
        frame.findChild<QObject*>(QStringLiteral("childCommandRelay"), Qt::FindDirectChildrenOnly));
}

}  // namespace

bool isChildWindowCommand(int id) {
    for (const CommandText& c : kCommands) {
        if (c.id == id) return true;
    }
    return false;
}

void installChildWindowCommands(CMainFrame& frame) {
    if (relayOf(frame) != nullptr) return;
    auto* relay = new ChildCommandRelay(&frame, frame.getMdiArea());
    for (const CommandText& c : kCommands) {
        QAction* action = frame.addCommand(c.id, QString::fromUtf8(c.text));
        action->setEnabled(false);
        relay->addAction(c.id, action, c.text);
        QObject::connect(action, &QAction::triggered, relay, [relay, id = c.id] {
            if (!routeChildWindowCommand(relay->area(), id)) QApplication::beep();
            relay->update();
        });
    }
    if (QMdiArea* area = frame.getMdiArea()) {
        QObject::connect(area, &QMdiArea::subWindowActivated, relay, [relay](QMdiSubWindow* w) { relay->follow(w); });
    }
}

void updateChildWindowCommands(CMainFrame& frame) {
    if (ChildCommandRelay* relay = relayOf(frame)) relay->update();
}
