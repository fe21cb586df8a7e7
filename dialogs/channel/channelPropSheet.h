#pragma once
// The property sheet of one subscribed channel. Its pages depend on the kind
// of channel: Channel, Details, Plugin (for a channel a plug-in serves),
// Hooks, Search and Errors. OK applies the pages, each saving what it edits
// into the channel file, and then announces ChannelConfigChanged.
//
//   CChannelPropSheet sheet(mainWindow, channel);
//   sheet.DoModal();                  // or doModalOnHooksPage(hook)
#include "widgets/base/propertySheet.h"
#include "widgets/base/windowPlacement.h"

namespace channels {
class Channel;
class ChannelHook;
}  // namespace channels

namespace dialogs {

class CChannelConfigPropPage;
class CChannelDetailsPropPage;
class CChannelParamsPropPage;
class CChannelHooksPropPage;
class CChannelSearchPropPage;
class CChannelErrorsPropPage;

class CChannelPropSheet : public CAppPropertySheet {
    Q_OBJECT

public:
    CChannelPropSheet(QWidget* parent, channels::Channel* channel);
    ~CChannelPropSheet() override;

    // Runs the sheet modally; after OK, fires ChannelConfigChanged for the
    // channel. Returns the dialog result (IDOK or IDCANCEL).
    virtual int DoModal();
    // Starts on the Hooks page, which opens the hook's own property sheet.
    int doModalOnHooksPage(channels::ChannelHook* hook);

    // The sheet whose modal run is going on, or null.
    static CChannelPropSheet* getActivePropSheet();

    channels::Channel* channel() const { return channel_; }
    // The page-icon strip: 270, or 276 when the Plugin page is shown.
    int pageIconBitmap() const { return pageIconBitmap_; }

    CChannelConfigPropPage* configPage() const { return configPage_; }
    CChannelDetailsPropPage* detailsPage() const { return detailsPage_; }
    CChannelParamsPropPage* paramsPage() const { return paramsPage_; }
    CChannelHooksPropPage* hooksPage() const { return hooksPage_; }
    CChannelSearchPropPage* searchPage() const { return searchPage_; }
    CChannelErrorsPropPage* errorsPage() const { return errorsPage_; }

    static SaveWindowPlacement& placement();

private:
    channels::Channel* channel_;
    int pageIconBitmap_ = 270;
    // All six are built; the sheet shows those the channel's kind calls for.
    CChannelConfigPropPage* configPage_;
    CChannelDetailsPropPage* detailsPage_;
    CChannelParamsPropPage* paramsPage_;
    CChannelHooksPropPage* hooksPage_;
    CChannelSearchPropPage* searchPage_;
    CChannelErrorsPropPage* errorsPage_;
};

// What the main frame does for a hook's OpenChannelProperties request and the
// properties command: refuses while a sheet is open ("Please close this
// channel properties dialog first."), else opens the channel's sheet (on the
// Hooks page for a hook). Returns the sheet's result, 0 when refused.
int openChannelProperties(QWidget* parent, channels::Channel* channel, channels::ChannelHook* hook);

}  // namespace dialogs
