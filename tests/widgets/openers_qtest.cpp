// Opening items, links and mails: what would reach the user's browser or mail
// program is captured by URL handlers (nothing is launched).
#include <QDesktopServices>
#include <QUrlQuery>
#include <QtTest>

#include "app/core/programObjects.h"
#include "app/core/programPaths.h"
#include "app/options/globalOptions.h"
#include "app/settings/channelDesktopSettings.h"
#include "widgets/base/messageBox.h"
#include "tests/app/app_fixture.h"
#include "widgets/helpers/desktopServices.h"
#include "widgets/helpers/openers.h"
#include "widgets/controls/linkButton.h"

class Capture : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

struct RecordingServices : DesktopServices {
    QStringList events;
    void urlOpened(const std::string& url, channels::Channel* channel) override {
        events << QString::fromStdString(url) + (channel != nullptr ? " +channel" : "");
    }
    void showInSimpleBrowser(const std::string& title, const std::string& url, bool) override {
        events << QString::fromStdString(title + " -> " + url);
    }
};

class OpenersTest : public QObject {
    Q_OBJECT
private:
    Capture capture;
    RecordingServices services;

private slots:
    void initTestCase() {
        for (const char* scheme : {"http", "https", "mailto", "file", "javascript", "data", "ftp", "smb"}) {
            QDesktopServices::setUrlHandler(scheme, &capture, "open");
        }
        setDesktopServices(&services);
    }
    void cleanupTestCase() {
        resetProgramObjectsForTests();
        for (const char* scheme : {"http", "https", "mailto", "file", "javascript", "data", "ftp", "smb"}) {
            QDesktopServices::unsetUrlHandler(scheme);
        }
    }
    void init() {
        capture.urls.clear();
        services.events.clear();
    }

    void schemes_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("opened");
        QTest::newRow("http") << "http://example.com/a?b=1#c" << true;
        QTest::newRow("https upper case") << "HTTPS://example.com/" << true;
        QTest::newRow("mailto") << "mailto:someone@example.com" << true;
        QTest::newRow("own page in the temp dir") << "file:///tmp/orvanABC.html" << true;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("javascript mixed case") << "JavaScript:alert(1)" << false;
        QTest::newRow("data") << "data:text/html,<script>1</script>" << false;
        QTest::newRow("unknown scheme") << "smb://server/share" << false;
        QTest::newRow("ftp") << "ftp://example.com/file" << false;
        QTest::newRow("a file elsewhere") << "file:///etc/passwd" << false;
        QTest::newRow("escaping the temp dir") << "file:///tmp/../etc/passwd" << false;
        QTest::newRow("relative") << "/article/1" << false;
        QTest::newRow("http without host") << "http:///nothing" << false;
    }
    void schemes() {
        QFETCH(QString, link);
        QFETCH(bool, opened);
        QStringList boxes;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& box) {
            boxes << dialogs::messageText(box);
            dialogs::pressAnswer(box, dialogs::IDOK);
        });
        openItem(link.toStdString());
        QCOMPARE(capture.urls.size(), opened ? 1 : 0);
        QCOMPARE(boxes.size(), opened ? 0 : 1);
        QCOMPARE(services.events.size(), opened ? 1 : 0);
        if (!opened) QVERIFY(boxes.first().startsWith("This link can't be opened"));
    }

    // With nothing on the desktop to open an address (no URL handler here,
    // and the offscreen platform opens nothing), the user reads what is
    // missing in plain words, never an internal code.
    void nothingSetUpToOpenTheAddress_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("expected");
        QTest::newRow("web page") << "http://example.com/a"
                                  << "No web browser is set up on this computer to open this address:\n\n"
                                     "http://example.com/a\n\nSet up a default web browser for your desktop and try "
                                     "again.";
        QTest::newRow("mail address") << "mailto:someone@example.com"
                                      << "No email program is set up on this computer to send mail to this "
                                         "address:\n\nmailto:someone@example.com";
    }
    void nothingSetUpToOpenTheAddress() {
        QFETCH(QString, link);
        QFETCH(QString, expected);
        const QString scheme = QUrl(link).scheme();
        QDesktopServices::unsetUrlHandler(scheme);
        QStringList boxes;
        {
            dialogs::ScopedModalAnswerer answerer([&](QDialog& box) {
                boxes << dialogs::messageText(box);
                dialogs::pressAnswer(box, dialogs::IDOK);
            });
            openItem(link.toStdString());
        }
        QDesktopServices::setUrlHandler(scheme, &capture, "open");
        QCOMPARE(boxes, QStringList{expected});
        QVERIFY(!boxes.first().contains("rc="));
    }

    void feedItemIsMarkedViewedThenOpened() {
        apptest::DesktopFixture f;
        auto* channel = f.addChannel("c", apptest::numberedItems("c", 2));
        openFeedItem("http://example.com/c/2", channel, "id-2");
        QVERIFY(getChannelDesktopSettings(channel)->isFeedItemViewed("id-2"));
        QCOMPARE(services.events, QStringList{"http://example.com/c/2 +channel"});
        QCOMPARE(capture.urls, QList<QUrl>{QUrl("http://example.com/c/2")});

        // A refused link changes nothing.
        dialogs::ScopedModalAnswerer answerer([](QDialog& box) { dialogs::pressAnswer(box, dialogs::IDOK); });
        openFeedItem("javascript:void(0)", channel, "id-1");
        QVERIFY(!getChannelDesktopSettings(channel)->isFeedItemViewed("id-1"));
        QCOMPARE(answerer.count(), 1);
    }

    void mailOfALinkKeepsHashAndPlus() {
        emailUrl("http://example.com/a?x=1&y=C++#frag");
        QCOMPARE(capture.urls.size(), 1);
        const QUrl mail = capture.urls.first();
        QCOMPARE(mail.scheme(), QString("mailto"));
        const QUrlQuery query(mail);
        QCOMPARE(query.queryItemValue("body", QUrl::FullyDecoded), QString("http://example.com/a?x=1&y=C++#frag"));
        QVERIFY(mail.fragment().isEmpty());
    }

    // The mail of a link takes its subject and body from the options.
    void mailOfALinkFollowsTheOptions() {
        GlobalOptions& options = GlobalOptions::instance();
        const std::string subject = options.EmailUrlSubjectLine, body = options.EmailUrlBodyTemplate;
        options.EmailUrlSubjectLine = "Worth a look";
        options.EmailUrlBodyTemplate = "See {%URL%}\\n-- sent by me";
        emailUrl("http://example.com/x");
        options.EmailUrlSubjectLine = subject;
        options.EmailUrlBodyTemplate = body;
        QCOMPARE(capture.urls.size(), 1);
        const QUrlQuery query(capture.urls.first());
        QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded), QString("Worth a look"));
        QCOMPARE(query.queryItemValue("body", QUrl::FullyDecoded), QString("See http://example.com/x\n-- sent by me"));
    }

    void mailBodyAndSubjectAsQueryValues() {
        startEmailProgram("a@example.com", "News & views #3 + more", "Line 1\nLine\t2 \u00e9 100%");
        QCOMPARE(capture.urls.size(), 1);
        const QUrl mail = capture.urls.first();
        QCOMPARE(mail.path(), QString("a@example.com"));
        const QUrlQuery query(mail);
        QCOMPARE(query.queryItemValue("subject", QUrl::FullyDecoded), QString("News & views #3 + more"));
        QCOMPARE(query.queryItemValue("body", QUrl::FullyDecoded), QString("Line 1\nLine\t2 \u00e9 100%"));
    }

    void linkButton() {
        LinkButton button;
        setupEmailLinkButton(&button, "", "ignored");
        QVERIFY(!button.isEnabled());
        QVERIFY(button.text().isEmpty() && button.url().isEmpty() && button.urlPrefix().isEmpty());
        setupEmailLinkButton(&button, "help@example.com", "Hello there");
        QVERIFY(button.isEnabled());
        QCOMPARE(button.text(), QString("help@example.com"));
        QCOMPARE(button.urlPrefix(), QString("mailto:"));
        button.click();
        QCOMPARE(capture.urls.size(), 1);
        QCOMPARE(QUrlQuery(capture.urls.first()).queryItemValue("subject", QUrl::FullyDecoded), QString("Hello there"));
    }

    void lastFeedShownAsText_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("extension");
        QTest::newRow("feed") << "<?xml?><rss><channel/></rss>"
                              << ".txt";
        QTest::newRow("feed with html inside") << "<rss><description><html></html></description></rss>"
                                               << ".txt";
        QTest::newRow("page") << "<HTML><body>gateway login</body></HTML>"
                              << ".html";
        QTest::newRow("other") << "Feed update failed: timeout"
                               << ".txt";
    }
    void lastFeedShownAsText() {
        QFETCH(QString, raw);
        QFETCH(QString, extension);
        apptest::DesktopFixture f;
        auto* channel = f.addChannel("news", apptest::numberedItems("news", 1));
        testsupport::writeFile(channel->getFeedLogFilename(), raw.toStdString());
        showLastFeed(channel);
        QCOMPARE(services.events.size(), 1);
        const QString event = services.events.first();
        QVERIFY2(event.startsWith("Last feed for news -> file://"), qPrintable(event));
        QVERIFY2(event.endsWith(extension), qPrintable(event));
        const QString path = QUrl(event.mid(event.indexOf("file://"))).toLocalFile();
        QCOMPARE(QString::fromStdString(testsupport::readFile(path.toStdString())), raw);
        showLastFeed(channel);  // the one shown before goes
        QVERIFY(!QFile::exists(path));
    }

    void welcomePage() {
        programPaths().appName = "Orvan";
        programPaths().welcomeUrl = "http://www.orvan.example/GettingStarted/";
        showWelcomePage(true);
        showWelcomePage(false);
        QCOMPARE(services.events,
                 (QStringList{"Welcome to Orvan -> http://www.orvan.example/GettingStarted/?isNewUser=1",
                              "Welcome to Orvan -> http://www.orvan.example/GettingStarted/"}));
    }
};

QTEST_MAIN(OpenersTest)
#include "openers_qtest.moc"
