#pragma once
// The page "Hooks" of the channel property sheet: the hooks attached to the
// channel, in order; attach one from its definition file, detach, reorder,
// and open a hook's own property sheet.
//
// The page works on its own list of the channel's hooks: every hook it shows
// carries one reference of the page's (the channel's hooks retained, new ones
// created), so nothing the user does before OK touches the channel. Apply
// installs the list in the channel's settings in one step, the settings
// taking a reference of each hook they gain and dropping the one of each hook
// they lose. The page lets go of its references, and of the ones the settings
// dropped, when it is destroyed, and then only once control is back in the
// event loop: a hook may have opened this sheet itself, and its code is still
// running until its request returns.
#include <string>
#include <vector>

#include "widgets/base/propertySheet.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace channels {
class Channel;
class ChannelHook;
}  // namespace channels

namespace dialogs {

// Lets go of one reference of the hook once control has returned to the
// event loop that is running now (at once when there is no application).
void releaseChannelHookLater(channels::ChannelHook* hook);

class ChannelHooksEditListBox : public QWidget {
    Q_OBJECT

public:
    explicit ChannelHooksEditListBox(QWidget* parent = nullptr);

    int count() const;
    channels::ChannelHook* hook(int row) const;
    QString rowText(int row) const;
    void setRowText(int row, const QString& text);
    int selectedRow() const;
    void selectRow(int row);
    int addRow(channels::ChannelHook* hook);
    void removeRow(int row);
    void moveSelected(int step);

    QListWidget* list() const { return list_; }
    QPushButton* newButton() const { return newButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* upButton() const { return upButton_; }
    QPushButton* downButton() const { return downButton_; }

signals:
    void newRequested();
    void deleteRequested();
    void propertiesRequested();
    void selectionChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateButtons();

    QListWidget* list_;
    QPushButton* newButton_;
    QPushButton* deleteButton_;
    QPushButton* upButton_;
    QPushButton* downButton_;
};

class CChannelHooksPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CChannelHooksPropPage(QWidget* parent = nullptr);
    ~CChannelHooksPropPage() override;

    void setChannel(channels::Channel* channel) { channel_ = channel; }
    // The hook whose property sheet opens as soon as the page is shown.
    void setHookToOpen(channels::ChannelHook* hook) { hookToOpen_ = hook; }

    bool onApply() override;

    ChannelHooksEditListBox* hooksList() const { return list_; }
    QPushButton* propertiesButton() const { return propertiesButton_; }

    // Where the definition-file browser starts; it follows each chosen file.
    static std::string& rememberedHookDirectory();

    // The New button's steps after the browser: loads the definition file and
    // adds its hook; false (with the message shown) when it can't be loaded.
    bool attachHook(const QString& hookFile);
    // Command 1140.
    void onProperties();

protected:
    void initDialog() override;

private:
    void onNew();
    void onDelete();
    void postProperties();

    channels::Channel* channel_ = nullptr;
    channels::ChannelHook* hookToOpen_ = nullptr;
    ChannelHooksEditListBox* list_;
    QPushButton* propertiesButton_;
    // One reference each: every hook the page has shown.
    std::vector<channels::ChannelHook*> held_;
    // References the channel's settings gave up at apply.
    std::vector<channels::ChannelHook*> droppedBySettings_;
};

}  // namespace dialogs
