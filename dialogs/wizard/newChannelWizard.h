#pragma once
// The new-channel wizard: how the user subscribes to a feed address or a
// plug-in script. The source page takes the address, Next builds the channel
// (RSS for http, https and file addresses, a plug-in channel for a script)
// and fetches its feed once as a test; the channel's own pages (plug-in
// parameters when it takes any, details, channel, search) follow, and the
// confirm page's Finish applies them, writes the channel file, hands the
// channel to the channel manager, queues its first update and tells the
// windows (ChannelCreated).
//
//   dialogs::startNewChannelWizard(mainWindow, url);   // url may be empty
//
// The test fetch runs on a thread of its own, so the window stays usable;
// the thread holds its own reference to the channel it fetches. Cancel never
// waits for it: the channel and whatever the fetch wrote (its feed log file)
// go when the last holder lets go. Nothing of a cancelled wizard stays on
// disk. One wizard runs at a time.
#include <memory>
#include <string>
#include <vector>

#include "widgets/base/propertySheet.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace channels {
class Channel;
}
namespace tools {
class HttpAuth;
}

namespace dialogs {

class CChannelParamsPropPage;
class CChannelDetailsPropPage;
class CChannelConfigPropPage;
class CChannelSearchPropPage;
class CNewChannelWizard;

// The result of a wizard that ended with Finish.
constexpr int ID_WIZFINISH = 12325;

// The source page: where the feed comes from.
class CNewChannelPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    static constexpr int kMaxAddressLength = 1024;

    explicit CNewChannelPropPage(QWidget* parent = nullptr);
    ~CNewChannelPropPage() override;

    QString address() const { return address_; }
    void setAddress(const QString& address);
    // The site credentials the user gave with "Server authentication", or null.
    const tools::HttpAuth* siteAuth() const { return siteAuth_.get(); }

    // Reads the address field back; false (message shown, field focused)
    // when it is too long.
    bool onKillActive() override;

    QLineEdit* addressEdit() const { return addressEdit_; }

    // The directory the script browser starts in (empty: the program's).
    static std::string& rememberedScriptDirectory();

protected:
    void initDialog() override;

private:
    void onBrowse();
    void onServerAuthentication();

    QString address_;
    std::unique_ptr<tools::HttpAuth> siteAuth_;
    QLineEdit* addressEdit_;     // 225
    QPushButton* browseButton_;  // 1065
    QPushButton* authButton_;    // 1211
};

// The last page: what is about to be created.
class CNewChannelConfirmPropPage : public CAppPropertyPage {
    Q_OBJECT

public:
    explicit CNewChannelConfirmPropPage(CNewChannelWizard* wizard);

    bool onSetActive() override;

    QLabel* addressField() const { return address_; }
    QLabel* nameField() const { return name_; }
    QLabel* updateField() const { return update_; }

private:
    CNewChannelWizard* wizard_;
    bool fontsMade_ = false;
    QLabel* addressLabel_;  // 1057
    QLabel* nameLabel_;     // 1058
    QLabel* address_;       // 225
    QLabel* name_;          // 215
    QLabel* update_;        // 234
};

class CNewChannelWizard : public CAppPropertySheet {
    Q_OBJECT

public:
    CNewChannelWizard(QWidget* parent, const std::string& initialAddress);
    ~CNewChannelWizard() override;

    // Runs the wizard: ID_WIZFINISH after Finish, IDCANCEL otherwise (also
    // when another wizard runs: that one is brought up instead).
    int DoModal();

    // Builds the channel for the source page's address; false (message shown,
    // or the wizard cancelled at the duplicate question) keeps the source page.
    virtual bool createChannel(const tools::HttpAuth* siteAuth);
    // Starts the test fetch of the channel under construction; its end is
    // announced by fetchFinished. False when there is nothing to fetch or a
    // fetch runs already.
    virtual bool fetchChannelFeed();

    // The wizard alive now, and the one whose modal run is going on.
    static CNewChannelWizard* getExistingWizard();
    static CNewChannelWizard* getRunningWizard();

    channels::Channel* channel() const;
    bool isFetching() const { return fetching_; }
    // Whether the plug-in parameters page is among the pages the wizard walks.
    bool hasParamsPage() const;

    CNewChannelPropPage* sourcePage() const { return sourcePage_; }
    CChannelParamsPropPage* paramsPage() const { return paramsPage_; }
    CChannelDetailsPropPage* detailsPage() const { return detailsPage_; }
    CChannelConfigPropPage* configPage() const { return configPage_; }
    CChannelSearchPropPage* searchPage() const { return searchPage_; }
    CNewChannelConfirmPropPage* confirmPage() const { return confirmPage_; }
    QPushButton* backButton() const { return back_; }
    QPushButton* nextButton() const { return next_; }
    QPushButton* finishButton() const { return finish_; }

    void reject() override;

signals:
    // A test fetch ended (after its error dialog, or after the wizard moved on).
    void fetchFinished(bool ok);

protected:
    void initDialog() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct NewChannel;
    struct FetchJob;

    void onBack();
    void onNext();
    void onFinish();
    bool finishChannel();
    void showPage(PropertyPage* page);
    void updateButtons();
    void onFetchDone(bool ok, const std::string& error);
    void giveChannelToPages();
    // The pages forget the channel; the wizard lets go of it.
    void releaseChannel();
    std::string chooseChannelFile(const std::string& address, const std::string& extension) const;

    CNewChannelPropPage* sourcePage_;
    CChannelParamsPropPage* paramsPage_;
    CChannelDetailsPropPage* detailsPage_;
    CChannelConfigPropPage* configPage_;
    CChannelSearchPropPage* searchPage_;
    CNewChannelConfirmPropPage* confirmPage_;
    // The pages the wizard walks, in order.
    std::vector<PropertyPage*> order_;
    QPushButton* back_;
    QPushButton* next_;
    QPushButton* finish_;

    std::shared_ptr<NewChannel> newChannel_;
    bool needsParams_ = false;
    bool fetching_ = false;
    bool savedAllowEmptyFeeds_ = false;
    std::shared_ptr<FetchJob> job_;
    // Where a successful fetch moves on to.
    PropertyPage* afterFetch_ = nullptr;
    bool finished_ = false;
};

// What the main frame does for "Create a new channel" (empty address) and a
// subscription from a web page: refuses while a wizard runs (bringing that
// one up), else runs one. Returns the wizard's result.
int startNewChannelWizard(QWidget* parent, const std::string& url);

// Waits for the test fetches of wizards that were closed while fetching
// (the program does this before it quits).
void waitForTestFetches();

}  // namespace dialogs
