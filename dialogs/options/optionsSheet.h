#pragma once
// The options sheet: General, Default Channel Properties, Advanced, Search,
// Display and Hints. The channel page edits the settings new channels start
// with, through a scratch channel whose file is config.ini. OK applies the
// pages in order (each checks, stores and saves its settings), then makes the
// edited new-channel settings current and raises GlobalOptionsChanged, which
// puts the options into effect (the main frame's applyGlobalOptions) and
// has every window re-read them. Cancel changes nothing; after an OK that a
// page refused, Cancel still raises GlobalOptionsChanged, since the pages
// before that one have stored their settings.
#include <memory>

#include "widgets/base/propertySheet.h"

class ChannelDesktopSettings;

namespace channels {
class RssChannel;
}

namespace dialogs {

class CAdvancedOptionsPropPage;
class CChannelConfigPropPage;
class CDisplayPropPage;
class CGeneralOptionsPropPage;
class CHintsPropPage;
class CSearchOptionsPropPage;

class COptionsPropSheet : public CAppPropertySheet {
    Q_OBJECT

public:
    explicit COptionsPropSheet(QWidget* parent = nullptr);
    ~COptionsPropSheet() override;

    // IDOK or IDCANCEL.
    int DoModal();

    CGeneralOptionsPropPage* generalPage() const { return general_; }
    CChannelConfigPropPage* channelPage() const { return channel_; }
    CAdvancedOptionsPropPage* advancedPage() const { return advanced_; }
    CSearchOptionsPropPage* searchPage() const { return search_; }
    CDisplayPropPage* displayPage() const { return display_; }
    CHintsPropPage* hintsPage() const { return hints_; }
    channels::RssChannel* scratchChannel() const { return scratch_.get(); }

    // Copies the scratch channel's settings and desktop settings into the
    // global options' templates of new channels.
    void storeChannelDefaults();

protected:
    void initDialog() override;
    void onOk() override;

private:
    CGeneralOptionsPropPage* general_;
    CChannelConfigPropPage* channel_;
    CAdvancedOptionsPropPage* advanced_;
    CSearchOptionsPropPage* search_;
    CDisplayPropPage* display_;
    CHintsPropPage* hints_;
    std::unique_ptr<channels::RssChannel> scratch_;
    std::unique_ptr<ChannelDesktopSettings> desktopSettings_;
    bool okPressed_ = false;
};

}  // namespace dialogs
