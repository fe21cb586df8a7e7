#include "dialogs/wizard/newChannelWizard.h"

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <list>
#include <mutex>
#include <set>
#include <thread>

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QCheckBox>
#include <QComboBox>

#include "app/core/commandIds.h"
#include "app/core/messageGroups.h"
#include "app/core/programObjects.h"
#include "app/listeners/localPortListener.h"
#include "app/options/globalOptions.h"
#include "app/postedText.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/appPlugins/appPlugin.h"
#include "channels/channel.h"
#include "channels/channelFile.h"
#include "channels/channelManager.h"
#include "channels/channelSettings.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "channels/plugin/pluginChannel.h"
#include "channels/rss/rssChannel.h"
#include "widgets/base/messageBox.h"
#include "widgets/base/resizer.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelDetailsPage.h"
#include "dialogs/channel/channelParamsPage.h"
#include "dialogs/channel/channelSearchPage.h"
#include "dialogs/files/fileBrowser.h"
#include "dialogs/hints/hintDlg.h"
#include "dialogs/small/httpAuthDlg.h"
#include "dialogs/wizard/rssFeedErrorDlg.h"
#include "lib/log/messageLog.h"
#include "lib/misc/threadSafety.h"
#include "platform/messages.h"
#include "tools/files.h"
#include "tools/httpAuth.h"
#include "widgets/helpers/clipboard.h"
#include "app/core/seams.h"
#include "widgets/helpers/dialogWindowOps.h"

namespace dialogs {

namespace {

constexpr int kParamsHelpContext = 0x2F031;
constexpr int kDetailsHelpContext = 0x2F021;
constexpr int kConfigHelpContext = 0x2F011;
constexpr int kSearchHelpContext = 0x2F041;
constexpr int kManyChannels = 20;

CNewChannelWizard* g_existingWizard = nullptr;

// The channel windows hold back their summary-page hint while the wizard is open.
void tellWizardOpen(bool open) {
    if (const auto& tell = dialogWindowOps().setNewChannelWizardOpen)
        tell(open);
    else
        seams::missing("DialogWindowOps::setNewChannelWizardOpen");
}
CNewChannelWizard* g_runningWizard = nullptr;

bool startsWithNoCase(const QString& text, const char* prefix) {
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

// Addresses the wizard makes an RSS channel of; anything else names a
// plug-in script.
bool isFeedAddress(const QString& text) {
    return startsWithNoCase(text, "http://") || startsWithNoCase(text, "https://") || startsWithNoCase(text, "file://");
}

// Channel files chosen by wizards whose channels still live (a test fetch
// may outlive its wizard): no second wizard takes the same name, and so the
// same feed log file, meanwhile.
std::mutex& reservedFilesLock() {
    static std::mutex lock;
    return lock;
}
std::set<std::string>& reservedFiles() {
    static std::set<std::string> files;
    return files;
}

// The threads of test fetches. A fetch is never interrupted (the download
// runs in the manager's session, whose cancel flag stops every download);
// the threads that ended are joined when the next starts, the rest when
// the program quits.
class FetchThreads {
public:
    void start(std::function<void()> work) {
        reap();
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), done]() mutable {
            work();
            done->store(true);
        });
        std::lock_guard<std::mutex> guard(lock_);
        threads_.push_back({std::move(thread), done});
    }

    void joinAll() {
        std::list<Entry> all;
        {
            std::lock_guard<std::mutex> guard(lock_);
            all.swap(threads_);
        }
        for (Entry& entry : all) entry.thread.join();
    }

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void reap() {
        std::list<Entry> ended;
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (auto it = threads_.begin(); it != threads_.end();) {
                auto next = std::next(it);
                if (it->done->load()) ended.splice(ended.end(), threads_, it);
                it = next;
            }
        }
        for (Entry& entry : ended) entry.thread.join();
    }

    std::mutex lock_;
    std::list<Entry> threads_;
};

FetchThreads& fetchThreads() {
    static FetchThreads threads;
    static const bool joinedAtQuit = [] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, [] { fetchThreads().joinAll(); });
        return true;
    }();
    (void)joinedAtQuit;
    return threads;
}

// One wizard at a time: the running one comes up instead.
void refuseSecondWizard(QWidget* parent) {
    showMessage(parent, QObject::tr("Please finish or close the other Channel Wizard first."));
    if (CNewChannelWizard* running = g_runningWizard) {
        running->raise();
        running->activateWindow();
    }
}

}  // namespace

// The channel under construction with its desktop settings. Held by the
// wizard and by a running test fetch; whoever lets go last while it was never
// handed to the manager removes what it left on disk: the feed log of its
// test fetch and a channel file that a refused Finish had begun to write.
struct CNewChannelWizard::NewChannel {
    explicit NewChannel(std::string channelFile) : file(std::move(channelFile)) {
        std::lock_guard<std::mutex> guard(reservedFilesLock());
        reservedFiles().insert(file);
    }

    ~NewChannel() {
        if (channel) {
            channel->setDesktopSettings(nullptr);
            std::error_code error;
            if (fetchStarted.load()) std::filesystem::remove(channel->getFeedLogFilename(), error);
            if (fileWritten) std::filesystem::remove(file, error);
        }
        std::lock_guard<std::mutex> guard(reservedFilesLock());
        reservedFiles().erase(file);
    }

    std::string file;
    std::unique_ptr<channels::Channel> channel;
    std::unique_ptr<ChannelDesktopSettings> desktop;
    std::atomic<bool> fetchStarted{false};
    bool fileWritten = false;
};

// One test fetch as the user-interface thread sees it: the wizard waiting
// for it, or null once the wizard has let it go.
struct CNewChannelWizard::FetchJob {
    CNewChannelWizard* wizard = nullptr;
};

// --- source page

CNewChannelPropPage::CNewChannelPropPage(QWidget* parent) : CAppPropertyPage(parent) {
    setWindowTitle(tr("New channel"));
    setObjectName(QStringLiteral("newChannelPage"));
    auto* prompt = new QLabel(tr("Please specify where the RSS feed will come from:"), this);
    addressEdit_ = new QLineEdit(this);
    addressEdit_->setObjectName(QStringLiteral("addressEdit"));
    setControlId(addressEdit_, 225);
    browseButton_ = new QPushButton(tr("Change"), this);
    browseButton_->setObjectName(QStringLiteral("browseButton"));
    setControlId(browseButton_, 1065);
    auto* help = new QLabel(tr("You can enter either the Internet address of an RSS feed (which must start with "
                               "\"http://\") or browse for a plugin on your hard drive."),
                            this);
    help->setWordWrap(true);
    authButton_ = new QPushButton(tr("Server &authentication"), this);
    authButton_->setObjectName(QStringLiteral("serverAuthButton"));
    setControlId(authButton_, 1211);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(addressEdit_, 1);
    addressRow->addWidget(browseButton_);
    auto* authRow = new QHBoxLayout;
    authRow->addStretch(1);
    authRow->addWidget(authButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addWidget(prompt);
    layout->addLayout(addressRow);
    layout->addWidget(help);
    layout->addLayout(authRow);
    layout->addStretch(1);

    connect(browseButton_, &QPushButton::clicked, this, &CNewChannelPropPage::onBrowse);
    connect(authButton_, &QPushButton::clicked, this, &CNewChannelPropPage::onServerAuthentication);
}

CNewChannelPropPage::~CNewChannelPropPage() = default;

std::string& CNewChannelPropPage::rememberedScriptDirectory() {
    static std::string directory;
    return directory;
}

void CNewChannelPropPage::setAddress(const QString& address) {
    address_ = address;
    if (isInitialised()) addressEdit_->setText(address_);
}

void CNewChannelPropPage::initDialog() {
    if (address_.isEmpty()) {
        std::string text;
        if (getClipboardText(text, this)) {
            const QString clip = QString::fromStdString(text);
            if (isFeedAddress(clip))
                address_ = clip;
            else if (!text.empty() && tools::isFile(text))
                address_ = QStringLiteral("file://") + clip;
        }
    }
    addressEdit_->setText(address_);
}

bool CNewChannelPropPage::onKillActive() {
    const QString text = addressEdit_->text();
    if (text.size() > kMaxAddressLength) {
        showMessage(this, tr("Please enter no more than %1 characters.").arg(kMaxAddressLength));
        addressEdit_->setFocus(Qt::OtherFocusReason);
        addressEdit_->selectAll();
        return false;
    }
    address_ = text;
    return CAppPropertyPage::onKillActive();
}

void CNewChannelPropPage::onBrowse() {
    FileFilter filter;
    QStringList patterns;
    const auto& types = GlobalOptions::instance().ScriptFileTypes;
    for (const auto& type : types) patterns << QStringLiteral("*") + QString::fromStdString(type.first);
    filter.emplace_back(tr("All scripts"), patterns.join(QLatin1Char(';')));
    for (const auto& type : types) {
        const QString extension = QString::fromStdString(type.first);
        filter.emplace_back(QString::fromStdString(type.second) + QStringLiteral(" (*") + extension + QLatin1Char(')'),
                            QStringLiteral("*") + extension);
    }
    filter.emplace_back(tr("All files (*.*)"), QStringLiteral("*.*"));
    OpenFileBrowserDlg browser(this, tr("Channel plugin script"), filter, &rememberedScriptDirectory());
    std::string path;
    if (!browser.browse(path)) return;
    addressEdit_->setText(QString::fromStdString(path));
}

void CNewChannelPropPage::onServerAuthentication() {
    CHttpAuthDlg dialog(tr("Server authentication"), siteAuth_.get(), this);
    if (dialog.DoModal() == IDOK) siteAuth_.reset(dialog.detachHttpAuth());
}

// --- confirm page

CNewChannelConfirmPropPage::CNewChannelConfirmPropPage(CNewChannelWizard* wizard)
    : CAppPropertyPage(wizard), wizard_(wizard) {
    setWindowTitle(tr("Confirm"));
    setObjectName(QStringLiteral("newChannelConfirmPage"));
    auto value = [this](const char* name, int id) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        setControlId(label, id);
        return label;
    };
    addressLabel_ = new QLabel(tr("Address:"), this);
    setControlId(addressLabel_, 1057);
    nameLabel_ = new QLabel(tr("Name:"), this);
    setControlId(nameLabel_, 1058);
    address_ = value("confirmAddress", 225);
    name_ = value("confirmName", 215);
    update_ = value("confirmUpdate", 234);

    auto* form = new QFormLayout;
    form->addRow(addressLabel_, address_);
    form->addRow(nameLabel_, name_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addWidget(new QLabel(tr("The new channel details are as follows:"), this));
    layout->addLayout(form);
    layout->addWidget(update_);
    layout->addStretch(1);
    layout->addWidget(new QLabel(tr("Press the Finish button to add it to My Channels."), this));
}

bool CNewChannelConfirmPropPage::onSetActive() {
    if (!fontsMade_) {
        fontsMade_ = true;
        QFont upright(QStringLiteral("Arial"));
        const QFont own = font();
        if (own.pointSize() > 0)
            upright.setPointSize(own.pointSize() * 5 / 4);
        else
            upright.setPixelSize(own.pixelSize() * 5 / 4);
        QFont italic = upright;
        italic.setItalic(true);
        addressLabel_->setFont(upright);
        nameLabel_->setFont(upright);
        address_->setFont(italic);
        name_->setFont(italic);
        update_->setFont(italic);
    }
    address_->setText(wizard_->sourcePage()->address());
    auto* nameEdit = wizard_->detailsPage()->findChild<QLineEdit*>(QStringLiteral("nameEdit"));
    name_->setText(nameEdit ? nameEdit->text() : QString());
    auto* autoUpdate = wizard_->configPage()->findChild<QCheckBox*>(QStringLiteral("autoUpdateCheck"));
    auto* interval = wizard_->configPage()->findChild<QComboBox*>(QStringLiteral("intervalCombo"));
    if (autoUpdate && autoUpdate->isChecked())
        update_->setText(tr("This channel will update automatically every ") +
                         (interval ? interval->currentText() : QString()) + QLatin1Char('.'));
    else
        update_->setText(tr("This channel must be updated manually."));
    return CAppPropertyPage::onSetActive();
}

// --- the wizard

CNewChannelWizard* CNewChannelWizard::getExistingWizard() { return g_existingWizard; }
CNewChannelWizard* CNewChannelWizard::getRunningWizard() { return g_runningWizard; }

CNewChannelWizard::CNewChannelWizard(QWidget* parent, const std::string& initialAddress)
    : CAppPropertySheet(tr("New channel"), parent, 0) {
    setWindowTitle(tr("New Channel"));
    setObjectName(QStringLiteral("newChannelWizard"));
    sourcePage_ = new CNewChannelPropPage(this);
    paramsPage_ = new CChannelParamsPropPage(this);
    detailsPage_ = new CChannelDetailsPropPage(this);
    configPage_ = new CChannelConfigPropPage(this);
    searchPage_ = new CChannelSearchPropPage(this);
    confirmPage_ = new CNewChannelConfirmPropPage(this);
    paramsPage_->setWizardSheet(this);
    paramsPage_->setHelpContext(kParamsHelpContext);
    detailsPage_->setWizardSheet(this);
    detailsPage_->setHelpContext(kDetailsHelpContext);
    configPage_->setWizardSheet(this);
    configPage_->setHelpContext(kConfigHelpContext);
    searchPage_->setWizardSheet(this);
    searchPage_->setHelpContext(kSearchHelpContext);
    order_ = {sourcePage_, paramsPage_, detailsPage_, configPage_, searchPage_, confirmPage_};
    for (PropertyPage* page : order_) addPage(page);
    sourcePage_->setAddress(QString::fromStdString(initialAddress));

    // A wizard walks its pages with Back and Next: no tabs, no OK.
    tabWidget()->tabBar()->hide();
    tabWidget()->installEventFilter(this);
    okButton()->hide();
    back_ = new QPushButton(tr("< &Back"), this);
    back_->setObjectName(QStringLiteral("backButton"));
    next_ = new QPushButton(tr("&Next >"), this);
    next_->setObjectName(QStringLiteral("nextButton"));
    finish_ = new QPushButton(tr("Finish"), this);
    finish_->setObjectName(QStringLiteral("finishButton"));
    for (int i = 0; i < layout()->count(); ++i) {
        auto* row = qobject_cast<QBoxLayout*>(layout()->itemAt(i)->layout());
        const int at = row ? row->indexOf(cancelButton()) : -1;
        if (at < 0) continue;
        row->insertWidget(at, finish_);
        row->insertWidget(at, next_);
        row->insertWidget(at, back_);
        break;
    }
    connect(back_, &QPushButton::clicked, this, &CNewChannelWizard::onBack);
    connect(next_, &QPushButton::clicked, this, &CNewChannelWizard::onNext);
    connect(finish_, &QPushButton::clicked, this, &CNewChannelWizard::onFinish);

    g_existingWizard = this;
    tellWizardOpen(true);
}

CNewChannelWizard::~CNewChannelWizard() {
    if (job_) job_->wizard = nullptr;
    releaseChannel();
    if (g_existingWizard == this) {
        g_existingWizard = nullptr;
        tellWizardOpen(false);
    }
    if (g_runningWizard == this) g_runningWizard = nullptr;
}

channels::Channel* CNewChannelWizard::channel() const { return newChannel_ ? newChannel_->channel.get() : nullptr; }

bool CNewChannelWizard::hasParamsPage() const {
    return std::find(order_.begin(), order_.end(), paramsPage_) != order_.end();
}

int CNewChannelWizard::DoModal() {
    if (g_runningWizard != nullptr && g_runningWizard != this) {
        refuseSecondWizard(parentWidget());
        return IDCANCEL;
    }
    g_runningWizard = this;
    runModal(*this);
    g_runningWizard = nullptr;
    if (!finished_) return IDCANCEL;

    CHintDlg("NewChannelMayBeFiltered", parentWidget()).DoModal();
    channels::ChannelManager* manager = getChannelManager();
    if (manager != nullptr && manager->getChannelCount() >= kManyChannels &&
        CHintDlg("ManagingChannels", parentWidget()).DoModal() == IDYES) {
        if (const auto& post = dialogWindowOps().postMainFrameCommand)
            post(kCmdOrganizeFilters);
        else
            seams::missing("DialogWindowOps::postMainFrameCommand");
    }
    return ID_WIZFINISH;
}

void CNewChannelWizard::initDialog() {
    CAppPropertySheet::initDialog();
    updateButtons();
}

bool CNewChannelWizard::eventFilter(QObject* watched, QEvent* event) {
    // The tab widget's own page keys would walk the pages past the wizard.
    if (watched == tabWidget() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & Qt::ControlModifier) &&
            (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_PageUp ||
             key->key() == Qt::Key_PageDown))
            return true;
    }
    return CAppPropertySheet::eventFilter(watched, event);
}

void CNewChannelWizard::updateButtons() {
    PropertyPage* page = activePage();
    const bool last = page == confirmPage_;
    // The details page offers no way back: the channel is built by then.
    back_->setEnabled(!fetching_ && page != sourcePage_ && page != detailsPage_);
    next_->setVisible(!last);
    next_->setEnabled(!fetching_);
    next_->setDefault(!last);
    finish_->setVisible(last);
    finish_->setEnabled(!fetching_);
    finish_->setDefault(last);
}

void CNewChannelWizard::showPage(PropertyPage* page) {
    if (!page) return;
    setActivePage(page);
    updateButtons();
}

void CNewChannelWizard::onBack() {
    if (fetching_ || !back_->isEnabled()) return;
    const auto it = std::find(order_.begin(), order_.end(), activePage());
    if (it == order_.end() || it == order_.begin()) return;
    showPage(*std::prev(it));
}

void CNewChannelWizard::onNext() {
    if (fetching_) return;
    PropertyPage* page = activePage();
    if (page == sourcePage_) {
        if (!sourcePage_->onKillActive() || !createChannel(sourcePage_->siteAuth())) return;
        if (needsParams_) {
            showPage(paramsPage_);
            return;
        }
        afterFetch_ = detailsPage_;
        fetchChannelFeed();
        return;
    }
    if (page == paramsPage_) {
        if (!paramsPage_->onKillActive() || !paramsPage_->storeValues()) return;
        afterFetch_ = detailsPage_;
        fetchChannelFeed();
        return;
    }
    const auto it = std::find(order_.begin(), order_.end(), page);
    if (it != order_.end() && std::next(it) != order_.end()) showPage(*std::next(it));
}

std::string CNewChannelWizard::chooseChannelFile(const std::string& address, const std::string& extension) const {
    channels::ChannelManager* manager = getChannelManager();
    std::string directory = manager->getChannelsDir();
    if (!directory.empty() && directory.back() != '/') directory += '/';
    const std::string base = channels::makeChannelFileName(address);
    std::lock_guard<std::mutex> guard(reservedFilesLock());
    std::string path = directory + base + extension;
    for (unsigned n = 1;; ++n) {
        std::error_code error;
        if (!std::filesystem::exists(path, error) && !reservedFiles().count(path)) return path;
        path = directory + base + "-" + std::to_string(n) + extension;
    }
}

bool CNewChannelWizard::createChannel(const tools::HttpAuth* siteAuth) {
    QString address = sourcePage_->address().trimmed();
    auto refuse = [this](const QString& message) {
        showPage(sourcePage_);
        sourcePage_->addressEdit()->setFocus(Qt::OtherFocusReason);
        showMessage(this, message);
        return false;
    };
    if (address.isEmpty()) return refuse(tr("Please specify where the RSS feed will come from."));
    const std::string url = address.toStdString();
    const bool rss = isFeedAddress(address);
    if (!rss && !tools::isFile(url)) return refuse(tr("Please enter a valid script or plugin filename"));

    channels::ChannelManager* manager = getChannelManager();
    if (manager == nullptr) return refuse(tr("Can't create the channel: the channel manager is not running."));
    if (manager->findChannel(url) != nullptr &&
        showMessage(this, tr("This channel is already defined.\n\nDo you want to continue creating a new channel?"),
                    MessageButtons::OkCancel, MessageIcon::Question, IDCANCEL) != IDOK) {
        reject();
        return false;
    }

    auto created = std::make_shared<NewChannel>(chooseChannelFile(url, rss ? ".rss" : ".plugin"));
    bool needsParams = false;
    try {
        if (rss) {
            auto* channel = new channels::RssChannel(manager, created->file);
            created->channel.reset(channel);
            channel->getRssChannelConfig().setRssChannelUrl(url);
            const channels::AppPlugin* plugin = channel->getAppPlugin();
            needsParams = plugin != nullptr && plugin->getChannelParamDefCount() > 0;
        } else {
            auto* channel = new channels::PluginChannel(manager, created->file);
            created->channel.reset(channel);
            channel->getPluginChannelConfig().loadPluginDefinition(url);
            needsParams = channel->getPluginChannelConfig().getChannelParamDefCount() > 0;
        }
        channels::Channel& channel = *created->channel;
        {
            channels::ChannelConfig& config = channel.getChannelConfig();
            ExclusiveLockGuard guard(&config.getLock(), __FILE__, __LINE__);
            config.setHttpAuth(tools::cloneHttpAuth(siteAuth));
        }
        created->desktop = std::make_unique<ChannelDesktopSettings>(&channel);
        channel.setDesktopSettings(created->desktop.get());
        const GlobalOptions& options = GlobalOptions::instance();
        const channels::ChannelSettings& defaults =
            options.DefaultChannelSettings ? *options.DefaultChannelSettings : manager->getDefaultChannelSettings();
        channel.getChannelSettings().assign(defaults, false);
        if (const ChannelDesktopSettings* templ = getChannelDesktopSettingsTemplate())
            created->desktop->copyFrom(*templ);
    } catch (const std::exception& e) {
        return refuse(QString::fromStdString(e.what()));
    }

    // The earlier pass's channel goes now, with whatever it left behind.
    newChannel_ = std::move(created);
    needsParams_ = needsParams;
    if (needsParams_ && !hasParamsPage()) order_.insert(order_.begin() + 1, paramsPage_);
    if (needsParams_ && paramsPage_->isInitialised()) {
        // The page was built for the earlier channel's parameters: a fresh one
        // takes its place.
        auto* fresh = new CChannelParamsPropPage(this);
        fresh->setWizardSheet(this);
        fresh->setHelpContext(kParamsHelpContext);
        addPage(fresh);
        std::replace(order_.begin(), order_.end(), static_cast<PropertyPage*>(paramsPage_),
                     static_cast<PropertyPage*>(fresh));
        paramsPage_->setChannel(nullptr);
        paramsPage_ = fresh;
    }
    giveChannelToPages();
    return true;
}

void CNewChannelWizard::giveChannelToPages() {
    channels::Channel* current = channel();
    paramsPage_->setChannel(current);
    detailsPage_->setChannel(current);
    configPage_->setChannel(current);
    searchPage_->setChannel(current);
}

bool CNewChannelWizard::fetchChannelFeed() {
    if (!newChannel_ || fetching_) return false;
    channels::Channel* current = channel();
    {
        channels::ChannelSettings& settings = current->getChannelSettings();
        ExclusiveLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        savedAllowEmptyFeeds_ = settings.getAllowEmptyFeeds();
        // An empty feed counts as a success here.
        settings.setAllowEmptyFeeds(true);
    }
    fetching_ = true;
    updateButtons();
    if (PropertyPage* page = activePage()) page->setEnabled(false);
    setCursor(Qt::BusyCursor);

    job_ = std::make_shared<FetchJob>();
    job_->wizard = this;
    newChannel_->fetchStarted.store(true);
    fetchThreads().start([holder = newChannel_, job = job_]() mutable {
        bool ok = false;
        std::string error;
        try {
            std::unique_ptr<channels::Feed> feed = holder->channel->getLatestFeed(true, nullptr);
            holder->channel->getChannelState().setLastFeed(std::move(feed));
            ok = true;
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
        }
        // When the wizard has let go, this was the last reference: the channel
        // and its feed log go here.
        holder.reset();
        QMetaObject::invokeMethod(
            qApp,
            [job, ok, error] {
                if (job->wizard) job->wizard->onFetchDone(ok, error);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void CNewChannelWizard::onFetchDone(bool ok, const std::string& error) {
    job_->wizard = nullptr;
    job_.reset();
    fetching_ = false;
    unsetCursor();
    if (PropertyPage* page = activePage()) page->setEnabled(true);
    channels::Channel* current = channel();
    {
        channels::ChannelSettings& settings = current->getChannelSettings();
        ExclusiveLockGuard guard(&settings.getLock(), __FILE__, __LINE__);
        settings.setAllowEmptyFeeds(savedAllowEmptyFeeds_);
    }
    if (ok) {
        if (!needsParams_) order_.erase(std::remove(order_.begin(), order_.end(), paramsPage_), order_.end());
        showPage(afterFetch_);
    } else {
        CRssFeedErrorDlg dialog(current->getSourceUrl(), error, current->getFeedLogFilename(), this);
        dialog.DoModal();
        updateButtons();
    }
    emit fetchFinished(ok);
}

void CNewChannelWizard::onFinish() {
    if (fetching_ || !newChannel_ || activePage() != confirmPage_) return;
    if (!finishChannel()) return;
    finished_ = true;
    accept();
}

bool CNewChannelWizard::finishChannel() {
    if (!confirmPage_->onKillActive()) return false;
    channels::Channel* current = channel();
    // From here on the pages write into the channel file.
    newChannel_->fileWritten = true;
    for (PropertyPage* page : order_) {
        if (!page->isInitialised() || page->onApply()) continue;
        // The page refused (its message is shown): it comes up, and nothing is
        // created.
        showPage(page);
        if (QWidget* focus = page->focusWidget()) focus->setFocus(Qt::OtherFocusReason);
        return false;
    }
    try {
        current->save();
    } catch (const std::exception& e) {
        showMessage(this, tr("Can't save the channel details.\n\n") + QString::fromStdString(e.what()));
        return false;
    }
    // Written by the channel's next save.
    current->getChannelState().setCreationTime(std::time(nullptr));

    // The desktop settings enter the program's table before the worker can
    // see the channel: its callbacks and the windows' ChannelCreated handlers
    // find them there, never the wizard's own copy.
    ChannelDesktopSettingsTable& table = getChannelDesktopSettingsTable();
    table.add(current)->copyFrom(*newChannel_->desktop);
    try {
        current->getManager()->addChannel(current);
    } catch (const std::exception& e) {
        table.remove(current);
        current->setDesktopSettings(newChannel_->desktop.get());
        showMessage(this, QString::fromStdString(e.what()));
        return false;
    }
    newChannel_->channel.release();
    newChannel_->fileWritten = false;
    current->requestUpdate();
    if (const auto& fire = dialogWindowOps().fireChannelCreated)
        fire(current);
    else
        seams::missing("DialogWindowOps::fireChannelCreated");
    return true;
}

void CNewChannelWizard::reject() {
    // A running fetch is left to end on its own; its reference keeps the
    // channel until then, and the last holder removes what it wrote.
    if (job_) {
        job_->wizard = nullptr;
        job_.reset();
        fetching_ = false;
    }
    CAppPropertySheet::reject();
    releaseChannel();
}

void CNewChannelWizard::releaseChannel() {
    paramsPage_->setChannel(nullptr);
    detailsPage_->setChannel(nullptr);
    configPage_->setChannel(nullptr);
    searchPage_->setChannel(nullptr);
    if (newChannel_ && newChannel_->channel) {
        // The desktop settings (and the picture they may cache) go here, on this
        // thread, even when a running fetch holds the channel a while longer.
        newChannel_->channel->setDesktopSettings(nullptr);
        newChannel_->desktop.reset();
    }
    newChannel_.reset();
}

// --- entry points

int startNewChannelWizard(QWidget* parent, const std::string& url) {
    if (CNewChannelWizard::getRunningWizard() != nullptr) {
        refuseSecondWizard(parent);
        return IDCANCEL;
    }
    CNewChannelWizard wizard(parent, url);
    return wizard.DoModal();
}

void waitForTestFetches() { fetchThreads().joinAll(); }

}  // namespace dialogs
