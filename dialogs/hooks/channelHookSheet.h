#pragma once
// The property sheet of one hook attached to one channel: its description,
// its name and per-channel parameters, the parameters shared by every channel
// using the same definition file, and its log. OK writes into the hook
// itself; the channel file gets the values when the channel's settings are
// next saved.
#include "channels/plugin/paramDef.h"
#include "widgets/base/resizableSheet.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/hooks/globalHookParamsPage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTextEdit;
class LinkButton;
class ParamsGrid;

namespace channels {
class ChannelHook;
}

namespace dialogs {

class CChannelHookDetailsPropPage : public CResizablePropertyPage {
    Q_OBJECT

public:
    explicit CChannelHookDetailsPropPage(channels::ChannelHook* hook, QWidget* parent = nullptr);

protected:
    void initDialog() override;

private:
    channels::ChannelHook* hook_;
    AuthorDetails author_;
};

class CChannelHookParamsPropPage : public CResizablePropertyPage {
    Q_OBJECT

public:
    explicit CChannelHookParamsPropPage(channels::ChannelHook* hook, QWidget* parent = nullptr);
    bool onApply() override;
    ParamsGrid* grid() const { return grid_; }
    QLineEdit* nameEdit() const { return nameEdit_; }

protected:
    void initDialog() override;

private:
    channels::ChannelHook* hook_;
    QLineEdit* nameEdit_;
    ParamsGrid* grid_;
    channels::ParamDefs defs_;
};

class CChannelHookLogPropPage : public CResizablePropertyPage {
    Q_OBJECT

public:
    explicit CChannelHookLogPropPage(channels::ChannelHook* hook, QWidget* parent = nullptr);
    bool onApply() override;
    QTextEdit* logText() const { return logText_; }

protected:
    void initDialog() override;
    void onPostInitDialog() override;

private:
    channels::ChannelHook* hook_;
    QCheckBox* enableLogCheck_;
    QTextEdit* logText_;
};

class CChannelHookPropSheet : public CResizablePropertySheet {
    Q_OBJECT

public:
    // The hook stays the caller's; firstPage 1 is the Parameters page.
    CChannelHookPropSheet(channels::ChannelHook* hook, QWidget* parent, int firstPage);

    channels::ChannelHook* hook() const { return hook_; }

protected:
    void initDialog() override;

private:
    channels::ChannelHook* hook_;
};

}  // namespace dialogs
