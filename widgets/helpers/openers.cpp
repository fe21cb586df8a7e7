#include "widgets/helpers/openers.h"
#include "app/core/seams.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/misc/programFiles.h"
#include "app/settings/channelDesktopSettings.h"
#include "channels/channel.h"
#include "channels/channelState.h"
#include "channels/feed/feed.h"
#include "lib/log/messageLog.h"
#include "lib/text/templateProcessor.h"
#include "tools/tempFile.h"
#include "widgets/base/messageBox.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/controls/linkButton.h"

namespace {

DesktopServices* g_services = nullptr;

// A query value: everything but the unreserved characters percent-encoded
// (so "#", "+", "&" and line breaks reach the mail as they are).
QString queryValue(const std::string& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(text)));
}

bool isInside(const QString& file, const std::string& directory) {
    if (directory.empty()) return false;
    const QString dir = QDir::cleanPath(QString::fromStdString(directory));
    return file.startsWith(dir + "/");
}

void refuseLink(const QUrl& url) {
    showDesktopMessage(nullptr,
                       "This link can't be opened: only web pages (http, https) and mail addresses "
                       "are opened from the program.\n\n" +
                           url.toString().left(200).toStdString());
}

// What the user reads when the desktop's opener refuses an address: nothing
// on the system is set up to open that kind of address. The opener's own
// code stays in the log.
std::string openerFailureText(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    const std::string address = url.toDisplayString().left(200).toStdString();
    if (scheme == "mailto")
        return "No email program is set up on this computer to send mail to this address:\n\n" + address;
    return "No web browser is set up on this computer to open this address:\n\n" + address +
           "\n\nSet up a default web browser for your desktop and try again.";
}

bool openWithShell(const QUrl& url) {
    if (QDesktopServices::openUrl(url)) return true;
    ORVAN_LOG_ANY() << "Can't open the requested item (rc=0): " << url.toDisplayString().left(200).toStdString()
                    << std::endl;
    showDesktopMessage(nullptr, openerFailureText(url));
    return false;
}

QUrl toUrl(const std::string& text) { return QUrl(QString::fromStdString(text), QUrl::TolerantMode); }

}  // namespace

void setDesktopServices(DesktopServices* services) { g_services = services; }
const seams::Registration g_desktopServicesSeam(
    "DesktopServices", [] { return g_services != nullptr; }, [] { setDesktopServices(nullptr); });
DesktopServices* getDesktopServices() { return g_services; }

void showDesktopMessage(QWidget* parent, const std::string& text) {
    dialogs::showMessage(parent, QString::fromStdString(text), dialogs::MessageButtons::Ok,
                         dialogs::MessageIcon::Warning);
}

bool isOpenableUrl(const QUrl& url) {
    if (!url.isValid()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == "http" || scheme == "https") return !url.host().isEmpty();
    if (scheme == "mailto") return true;
    if (scheme != "file" || !url.host().isEmpty()) return false;
    // The program's own pages: summary pages, reports, the last feed shown.
    const QString file = QDir::cleanPath(url.toLocalFile());
    const ProgramPaths& p = programPaths();
    if (isInside(file, p.programDir) || isInside(file, p.usersDir)) return true;
    for (const char* variable : {"TMP", "TMPDIR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && isInside(file, value)) return true;
    }
    return isInside(file, "/tmp");
}

void openItem(const std::string& url) {
    const QUrl address = toUrl(url);
    if (!isOpenableUrl(address)) {
        refuseLink(address);
        return;
    }
    if (g_services != nullptr) g_services->urlOpened(url, nullptr);
    openWithShell(address);
}

void openFeedItem(const std::string& url, channels::Channel* channel, const std::string& itemId) {
    const QUrl address = toUrl(url);
    if (!isOpenableUrl(address)) {
        refuseLink(address);
        return;
    }
    if (ChannelDesktopSettings* settings = getChannelDesktopSettings(channel)) {
        settings->setFeedItemViewed(itemId, true, true, true);
    }
    if (g_services != nullptr) g_services->urlOpened(url, channel);
    openWithShell(address);
}

void emailUrl(const std::string& url) {
    templateProcessor::TemplateProcessor processor;
    processor.setValue("URL", url);
    std::istringstream in(GlobalOptions::instance().EmailUrlBodyTemplate);
    std::ostringstream out;
    processor.run(in, out);
    std::string body = out.str();
    std::string expanded;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\\' && i + 1 < body.size() && (body[i + 1] == 'n' || body[i + 1] == 't')) {
            expanded += body[i + 1] == 'n' ? '\n' : '\t';
            ++i;
        } else {
            expanded += body[i];
        }
    }
    startEmailProgram("", GlobalOptions::instance().EmailUrlSubjectLine, expanded);
}

void startEmailProgram(const std::string& address, const std::string& subject, const std::string& body) {
    const QString text = "mailto:" + queryValue(address).replace("%40", "@") + "?subject=" + queryValue(subject) +
                         "&body=" + queryValue(body);
    const QUrl url = QUrl::fromEncoded(text.toLatin1(), QUrl::StrictMode);
    if (QDesktopServices::openUrl(url)) return;
    ORVAN_LOG_ANY() << "Can't start your email program (rc=0)." << std::endl;
    showDesktopMessage(nullptr, "No email program is set up on this computer to write this message.");
}

void setupEmailLinkButton(LinkButton* button, const std::string& address, const std::string& subject) {
    if (button == nullptr) return;
    if (address.empty()) {
        button->setUrlPrefix(QString());
        button->setUrl(QString());
        button->setText(QString());
        button->setEnabled(false);
        return;
    }
    button->setUrlPrefix("mailto:");
    QString url = QString::fromStdString(address);
    if (!subject.empty()) url += "?subject=" + queryValue(subject);
    button->setUrl(url);
    button->setText(QString::fromStdString(address));
    button->setEnabled(true);
    button->sizeToContent();
}

void showWelcomePage(bool isNewUser) {
    const ProgramPaths& p = programPaths();
    if (g_services == nullptr) return;
    g_services->showInSimpleBrowser("Welcome to " + p.appName, p.welcomeUrl + (isNewUser ? "?isNewUser=1" : ""), false);
}

void showLastFeed(channels::Channel* channel) {
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    if (channel == nullptr) return;
    std::unique_ptr<tools::TempFile> file;
    std::string title;
    {
        SharedLockGuard guard(&channel->getLock(), __FILE__, __LINE__);
        std::ifstream in(channel->getFeedLogFilename(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const bool isFeed = text.find("<RSS") != std::string::npos || text.find("<rss") != std::string::npos;
        const bool isPage = text.find("<HTML") != std::string::npos || text.find("<html") != std::string::npos;
        file = std::make_unique<tools::TempFile>(!isFeed && isPage ? ".html" : ".txt");
        file->open();
        *file << text;
        file->close();
        title = "Last feed for " + channel->getDisplayName();
    }
    const std::string url = QUrl::fromLocalFile(QString::fromStdString(file->getFilename())).toString().toStdString();
    if (g_services != nullptr) g_services->showInSimpleBrowser(title, url, false);
    if (settings != nullptr) settings->setLastFeedTempFile(std::move(file));
}

std::string generateChannelSummaryPage(channels::Channel* channel) {
    ChannelDesktopSettings* settings = getChannelDesktopSettings(channel);
    const ChannelDesktopSettings::ViewedIdSet viewed =
        settings != nullptr ? settings->copyViewedFeedItems() : ChannelDesktopSettings::ViewedIdSet();
    std::map<std::string, std::string> icons;
    {
        const channels::ChannelState& state = channel->getChannelState();
        SharedLockGuard stateGuard(&state.getLock(), __FILE__, __LINE__);
        if (const channels::Feed* feed = state.getLastFeed()) {
            SharedLockGuard feedGuard(&feed->getLock(), __FILE__, __LINE__);
            for (const channels::FeedItem& item : feed->getFeedItems()) {
                std::string id(item.getId());
                const bool isViewed = viewed.count(id) != 0;
                icons[std::move(id)] = feedItemIconUrl(isViewed, state.isNewFeedItem(item.getId()));
            }
        }
    }
    channel->generateSummaryPage(GlobalOptions::instance().ShowBriefChannelSummaries, viewed, icons);
    return channel->getSummaryPageFilename();
}

bool getHtmlSelectedText(QWebEngineView* view, std::string& text) {
    if (view == nullptr || view->page() == nullptr) return false;
    text = view->selectedText().toStdString();
    return true;
}
