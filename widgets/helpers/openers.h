#pragma once
// Handing addresses and files to the outside world, and the pages the
// program generates: items and links open in the user's browser (or mail
// program), the welcome page and a channel's last raw feed in a simple-
// browser window. User-interface thread only.
//
// Only http, https and mailto addresses and the program's own pages (files
// in the program's, the user's or the temporary directory) are opened; any
// other link (javascript:, data:, an unknown scheme, a file elsewhere) is
// refused with a message, since links come from feeds.
#include <string>

class LinkButton;
class QUrl;
class QWebEngineView;

namespace channels {
class Channel;
}

// Whether an address may be opened (see above).
bool isOpenableUrl(const QUrl& url);

// Fires UrlOpened, then opens the address with the user's browser; failures
// are told in a message box.
void openItem(const std::string& url);
// Marks the item viewed (saving, updating the summary page), fires
// UrlOpened with the channel, then opens the address like openItem.
void openFeedItem(const std::string& url, channels::Channel* channel, const std::string& itemId);
// Starts a mail of the link: the options' subject, their body template with
// {%URL%} = the link ("\n" and "\t" written in the template become a line
// break and a tab).
void emailUrl(const std::string& url);
// Opens mailto:<address>?subject=...&body=... with subject and body
// percent-encoded as query values.
void startEmailProgram(const std::string& address, const std::string& subject, const std::string& body);
// Points a link button at an address ("mailto:" prefix, subject as query);
// an empty address clears and disables it.
void setupEmailLinkButton(LinkButton* button, const std::string& address, const std::string& subject);
// The welcome page in its own simple-browser window.
void showWelcomePage(bool isNewUser);
// The raw text of the channel's last fetched feed in a simple-browser
// window, as text (or as a page when it is an HTML page, not a feed).
void showLastFeed(channels::Channel* channel);
// The channel's summary page with the read, new and unread icons; returns
// the page file's name.
std::string generateChannelSummaryPage(channels::Channel* channel);
// The view's selected text in UTF-8; false when the view has no page.
bool getHtmlSelectedText(QWebEngineView* view, std::string& text);
