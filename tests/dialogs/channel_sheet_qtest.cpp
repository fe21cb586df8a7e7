// The channel property sheet: which pages a channel gets, what OK and Cancel
// leave in the channel file, the pages' checks in their order, and what the
// pages hand to the channel, the global options and the channel's hooks.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QtTest>

#include "app/core/commandIds.h"
#include "channels/channelConfig.h"
#include "dialogs/channel/channelConfigPage.h"
#include "dialogs/channel/channelDetailsPage.h"
#include "dialogs/channel/channelErrorsPage.h"
#include "dialogs/channel/channelPageCommon.h"
#include "dialogs/channel/channelParamsPage.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/channel/channelSearchPage.h"
#include "dialogs/hooks/channelHooksPage.h"
#include "tests/dialogs/channel_dialogs_fixture.h"
#include "tools/ini.h"
#include "widgets/controls/paramsGrid.h"

using namespace dialogs;
using namespace dialogtest;

namespace {

// Runs the channel's sheet: `act` works on the sheet; message boxes are
// recorded and answered with messageAnswer; hints get hintAnswer (by id, else
// their Cancel), other dialogs are rejected.
struct SheetRun {
    std::vector<QString> messages;
    std::vector<QString> hints;
    int messageAnswer = IDOK;
    std::map<QString, int> hintAnswers;
    bool activeDuringRun = false;

    int run(channels::Channel* channel, const std::function<void(CChannelPropSheet&)>& act) {
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                activeDuringRun = CChannelPropSheet::getActivePropSheet() == sheet;
                act(*sheet);
            } else if (isMessageBox(dialog)) {
                messages.push_back(messageText(dialog));
                pressAnswer(dialog, messageAnswer);
            } else if (!hintIdentifier(dialog).isEmpty()) {
                const QString id = hintIdentifier(dialog);
                hints.push_back(id);
                pressHint(dialog, hintAnswers.count(id) ? hintAnswers[id] : IDCANCEL);
            }
        });
        CChannelPropSheet sheet(nullptr, channel);
        return sheet.DoModal();
    }
};

template <typename Page>
Page* show(CChannelPropSheet& sheet, Page* page) {
    sheet.setActivePage(page);
    return page;
}

std::string fileText(channels::Channel* channel) { return testsupport::readFile(channel->getConfigFilename()); }

// A script hook that copies each request it gets into `recordDir`.
channels::ChannelHook* recordingScriptHook(Environment& env, const std::string& events) {
    const std::string recordDir = env.dir.file("rec");
    std::filesystem::create_directories(recordDir);
    writeExecutable(env.dir.file("record.sh"),
                    "#!/bin/sh\nn=$(ls '" + recordDir + "' | wc -l)\ncp \"$1\" '" + recordDir + "'/req-$n.ini\n");
    const std::string hookFile = env.dir.file("record.hook");
    testsupport::writeFile(hookFile, "[Config]\nScriptFilename=record.sh\nDisplayName=Recorder\n[Events]\n" + events);
    std::unique_ptr<channels::ChannelHook> hook = channels::createChannelHook(hookFile);
    hook->loadConfig(hookFile);
    return hook.release();
}

std::vector<std::string> recordedEvents(Environment& env) {
    std::vector<std::string> events;
    for (int n = 0;; ++n) {
        const std::string file = env.dir.file("rec/req-" + std::to_string(n) + ".ini");
        if (!std::filesystem::exists(file)) break;
        events.push_back(tools::getIniString(file, "Config", "EventName", "", false));
    }
    return events;
}

}  // namespace

class ChannelSheetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Environment> env_;

private slots:
    void init() {
        env_ = std::make_unique<Environment>();
        for (const char* hint : {"UsingChannelCategories", "AutoUpdateInterval", "GlobalChannelHookParams"})
            setHintEnabled(hint, false);
        CChannelConfigPropPage::resetIntervalHintShown();
    }
    void cleanup() { env_.reset(); }

    void pagesFollowTheChannelKind() {
        channels::Channel* rss = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channels::Channel* plugin = env_->addPluginChannel("scripted", "#!/bin/sh\n", "[Config]\nAuthorName=A\n");
        CChannelPropSheet rssSheet(nullptr, rss);
        QCOMPARE(pageCaptions(rssSheet), QStringList({"Channel", "Details", "Hooks", "Search", "Errors"}));
        QCOMPARE(rssSheet.pageIconBitmap(), 270);
        QVERIFY(rssSheet.windowTitle().contains("http://127.0.0.1:9/news.xml"));
        CChannelPropSheet pluginSheet(nullptr, plugin);
        QCOMPARE(pageCaptions(pluginSheet), QStringList({"Channel", "Details", "Plugin", "Hooks", "Search", "Errors"}));
        QCOMPARE(pluginSheet.pageIconBitmap(), 276);
    }

    // The Details page's labels show no "&": each hands its mnemonic to its
    // field (Alt+letter goes there). Enter on the channel picture's button is
    // the sheet's OK, never the picture's home page.
    void detailsLabelsAndEnter() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channel->getChannelConfig().setPreferredHomeUrl("http://127.0.0.1:9/home");
        QStringList shown;
        QStringList focused;
        SheetRun run;
        const int result = run.run(channel, [&](CChannelPropSheet& sheet) {
            CChannelDetailsPropPage* page = show(sheet, sheet.detailsPage());
            QCoreApplication::sendPostedEvents();
            for (QLabel* label : page->findChildren<QLabel*>())
                if (label->text().contains('&') && !label->buddy()) shown << label->text();
            QApplication::setActiveWindow(&sheet);
            QVERIFY(QTest::qWaitForWindowActive(&sheet));
            for (const auto& [key, field] :
                 {std::pair{Qt::Key_I, "imageEdit"}, {Qt::Key_W, "widthEdit"}, {Qt::Key_T, "heightEdit"}}) {
                QTest::keyClick(&sheet, key, Qt::AltModifier);
                focused << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString()) + "/" +
                               field;
            }
            auto* picture = show(sheet, sheet.configPage())->findChild<ChannelImageButton*>();
            QVERIFY(picture != nullptr);
            picture->setFocus(Qt::TabFocusReason);
            QTest::keyClick(picture, Qt::Key_Return);
        });
        QCOMPARE(shown, QStringList());
        QCOMPARE(focused, (QStringList{"imageEdit/imageEdit", "widthEdit/widthEdit", "heightEdit/heightEdit"}));
        QCOMPARE(result, int(IDOK));
    }

    void cancelLeavesTheChannelOkSavesAndAnnouncesOnce() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channels::ChannelHook* hook = recordingScriptHook(*env_, "ChannelConfigChanged=1\n");
        channel->getChannelSettings().setChannelHooks({hook});
        channel->save();
        const std::string before = fileText(channel);

        SheetRun cancelled;
        const int cancelResult = cancelled.run(channel, [](CChannelPropSheet& sheet) {
            child<QLineEdit>(*sheet.configPage(), "maxItemsEdit")->setText("42");
            show(sheet, sheet.searchPage())->listBox()->insertItem("Sports");
            show(sheet, sheet.hooksPage())->hooksList()->selectRow(0);
            sheet.hooksPage()->hooksList()->deleteButton()->click();
            sheet.cancelButton()->click();
        });
        QCOMPARE(cancelResult, int(IDCANCEL));
        QCOMPARE(fileText(channel), before);
        QCOMPARE(channel->getChannelSettings().getChannelHooks(), std::vector<channels::ChannelHook*>{hook});
        QVERIFY(recordedEvents(*env_).empty());

        SheetRun confirmed;
        const int okResult = confirmed.run(channel, [](CChannelPropSheet& sheet) {
            QTest::keyClicks(child<QLineEdit>(*sheet.configPage(), "maxItemsEdit"), "100");
            sheet.okButton()->click();
        });
        QCOMPARE(okResult, int(IDOK));
        QVERIFY(confirmed.activeDuringRun);
        QVERIFY(CChannelPropSheet::getActivePropSheet() == nullptr);
        QVERIFY(confirmed.messages.empty());
        QCOMPARE(tools::getIniInt(channel->getConfigFilename(), "Settings", "MaxFeedItems", 0), 100);
        QCOMPARE(recordedEvents(*env_), std::vector<std::string>{"ChannelConfigChanged"});
    }

    void configPageChecksInOrder_data() {
        QTest::addColumn<bool>("autoUpdate");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("maxItems");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("storedInterval");
        QTest::addColumn<int>("storedMax");
        const QString range = "Please enter a valid maximum number of feed items (1-100).\n\nThis field is optional.";
        QTest::newRow("minutes, no limit") << true << "90 minutes"
                                           << ""
                                           << "" << 5400 << -1;
        QTest::newRow("days, the largest limit") << true << "3 days"
                                                 << "100"
                                                 << "" << 259200 << 100;
        QTest::newRow("no unit") << true << "soon"
                                 << "5"
                                 << "Please choose how often you would like this channel to be updated." << 0 << 0;
        QTest::newRow("interval checked before the limit")
            << true << "soon"
            << "0"
            << "Please choose how often you would like this channel to be updated." << 0 << 0;
        QTest::newRow("zero") << true << "hour"
                              << "0" << range << 0 << 0;
        QTest::newRow("above the largest") << true << "hour"
                                           << "101" << range << 0 << 0;
        QTest::newRow("off keeps the interval") << false << "soon"
                                                << "7"
                                                << "" << -1 << 7;
    }
    void configPageChecksInOrder() {
        QFETCH(bool, autoUpdate);
        QFETCH(QString, interval);
        QFETCH(QString, maxItems);
        QFETCH(QString, message);
        QFETCH(int, storedInterval);
        QFETCH(int, storedMax);
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channel->getChannelSettings().setAutoUpdateInterval(7200);
        if (storedInterval < 0) storedInterval = 7200;
        SheetRun run;
        bool stayedOpen = false;
        const int result = run.run(channel, [&](CChannelPropSheet& sheet) {
            QWidget& page = *sheet.configPage();
            child<QCheckBox>(page, "autoUpdateCheck")->setChecked(autoUpdate);
            child<QComboBox>(page, "intervalCombo")->setEditText(interval);
            child<QLineEdit>(page, "maxItemsEdit")->setText(maxItems);
            sheet.okButton()->click();
            stayedOpen = sheet.isVisible();
            if (stayedOpen) sheet.cancelButton()->click();
        });
        if (message.isEmpty()) {
            QCOMPARE(result, int(IDOK));
            QVERIFY(run.messages.empty());
            const std::string file = channel->getConfigFilename();
            QCOMPARE(tools::getIniInt(file, "Settings", "AutoUpdateInterval", 0), storedInterval);
            QCOMPARE(tools::getIniInt(file, "Settings", "MaxFeedItems", 0), storedMax);
            QCOMPARE(tools::getIniBool(file, "Settings", "IsAutoUpdateEnabled", !autoUpdate), autoUpdate);
        } else {
            QVERIFY(stayedOpen);
            QCOMPARE(result, int(IDCANCEL));
            QCOMPARE(run.messages, std::vector<QString>{message});
        }
    }

    void maxItemsFieldTakesThreeDigits() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        SheetRun run;
        run.run(channel, [](CChannelPropSheet& sheet) {
            QLineEdit* field = child<QLineEdit>(*sheet.configPage(), "maxItemsEdit");
            field->clear();
            QTest::keyClicks(field, "1x005");
            QCOMPARE(field->text(), QString("100"));
            sheet.cancelButton()->click();
        });
    }

    void disabledUpdatesGreyTheGroup() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        SheetRun run;
        run.run(channel, [](CChannelPropSheet& sheet) {
            QWidget& page = *sheet.configPage();
            auto* autoUpdate = child<QCheckBox>(page, "autoUpdateCheck");
            if (autoUpdate->isChecked()) autoUpdate->click();
            QVERIFY(autoUpdate->isEnabled());
            for (const char* name : {"intervalCombo", "animateCheck", "soundCheck", "balloonCheck", "consolidateCheck",
                                     "changeSoundButton", "resetSoundButton"})
                QVERIFY2(!child<QWidget>(page, name)->isEnabled(), name);
            autoUpdate->click();
            auto* sound = child<QCheckBox>(page, "soundCheck");
            if (sound->isChecked()) sound->click();
            QVERIFY(child<QWidget>(page, "intervalCombo")->isEnabled());
            QVERIFY(!child<QWidget>(page, "changeSoundButton")->isEnabled());
            sound->click();
            QVERIFY(child<QWidget>(page, "changeSoundButton")->isEnabled());
            auto* menu = child<QCheckBox>(page, "quickMenuCheck");
            if (menu->isChecked()) menu->click();
            QVERIFY(!child<QWidget>(page, "subMenuCheck")->isEnabled());
            sheet.cancelButton()->click();
        });
    }

    void updateRequestedOnlyWhenTurnedOnForAHeldChannel() {
        channels::Channel* held = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        auto turnOn = [](CChannelPropSheet& sheet) {
            child<QCheckBox>(*sheet.configPage(), "autoUpdateCheck")->setChecked(true);
            sheet.okButton()->click();
        };
        SheetRun first;
        QCOMPARE(first.run(held, turnOn), int(IDOK));
        QCOMPARE(env_->manager->updateRequests, 1);
        SheetRun again;
        QCOMPARE(again.run(held, turnOn), int(IDOK));
        QCOMPARE(env_->manager->updateRequests, 1);
        // A channel its manager doesn't hold yet (as in the new-channel wizard).
        channels::RssChannel loose(env_->manager.get(), env_->dir.file("Channels/loose.rss"));
        getChannelDesktopSettingsTable().add(&loose);
        SheetRun looseRun;
        QCOMPARE(looseRun.run(&loose, turnOn), int(IDOK));
        QCOMPARE(env_->manager->updateRequests, 1);
        getChannelDesktopSettingsTable().remove(&loose);
    }

    void soundHintSwitchesTheGlobalOption_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("globalOff");
        QTest::addColumn<bool>("channelSound");
        QTest::newRow("yes") << int(IDYES) << true << false << true;
        QTest::newRow("no") << int(IDNO) << true << true << true;
        QTest::newRow("cancel") << int(IDCANCEL) << false << true << false;
    }
    void soundHintSwitchesTheGlobalOption() {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(bool, globalOff);
        QFETCH(bool, channelSound);
        GlobalOptions::instance().DisableAllSound = true;
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        SheetRun run;
        run.hintAnswers["GlobalSoundIsDisabled"] = answer;
        const int result = run.run(channel, [](CChannelPropSheet& sheet) {
            child<QCheckBox>(*sheet.configPage(), "autoUpdateCheck")->setChecked(true);
            child<QCheckBox>(*sheet.configPage(), "soundCheck")->setChecked(true);
            sheet.okButton()->click();
            if (sheet.isVisible()) sheet.cancelButton()->click();
        });
        QCOMPARE(result, closed ? int(IDOK) : int(IDCANCEL));
        QCOMPARE(run.hints, std::vector<QString>{"GlobalSoundIsDisabled"});
        QCOMPARE(GlobalOptions::instance().DisableAllSound, globalOff);
        QCOMPARE(getChannelDesktopSettings(channel)->getPlaySoundOnNewItem(), channelSound);
        GlobalOptions::instance().DisableAllSound = false;
    }

    void detailsPageOverridesAndRanges_data() {
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("storedHome");
        QTest::addColumn<int>("storedWidth");
        QTest::addColumn<int>("storedHeight");
        QTest::newRow("prefixed, largest sizes") << "example.com/x"
                                                 << "144"
                                                 << "400"
                                                 << ""
                                                 << "http://example.com/x" << 144 << 400;
        QTest::newRow("other scheme, no sizes") << "ftp://example.com"
                                                << ""
                                                << ""
                                                << ""
                                                << "ftp://example.com" << -1 << -1;
        QTest::newRow("width too large") << ""
                                         << "145"
                                         << ""
                                         << "Please enter a valid channel image width (1-144 "
                                            "pixels).\n\nThis field is optional."
                                         << "" << 0 << 0;
        QTest::newRow("height too large") << ""
                                          << "10"
                                          << "401"
                                          << "Please enter a valid channel image height (1-400 "
                                             "pixels).\n\nThis field is optional."
                                          << "" << 0 << 0;
    }
    void detailsPageOverridesAndRanges() {
        QFETCH(QString, home);
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, message);
        QFETCH(QString, storedHome);
        QFETCH(int, storedWidth);
        QFETCH(int, storedHeight);
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        SheetRun run;
        const int result = run.run(channel, [&](CChannelPropSheet& sheet) {
            QWidget& page = *show(sheet, sheet.detailsPage());
            QCOMPARE(child<QLineEdit>(page, "addressEdit")->text(), QString("http://127.0.0.1:9/news.xml"));
            child<QLineEdit>(page, "homePageEdit")->setText(home);
            child<QLineEdit>(page, "widthEdit")->setText(width);
            child<QLineEdit>(page, "heightEdit")->setText(height);
            sheet.okButton()->click();
            if (sheet.isVisible()) sheet.cancelButton()->click();
        });
        if (!message.isEmpty()) {
            QCOMPARE(result, int(IDCANCEL));
            QCOMPARE(run.messages, std::vector<QString>{message});
            return;
        }
        QCOMPARE(result, int(IDOK));
        const std::string file = channel->getConfigFilename();
        QCOMPARE(QString::fromStdString(tools::getIniString(file, "Config", "PreferredChannelHomeUrl", "", false)),
                 storedHome);
        QCOMPARE(tools::getIniInt(file, "Config", "PreferredImageWidth", 0), storedWidth);
        QCOMPARE(tools::getIniInt(file, "Config", "PreferredImageHeight", 0), storedHeight);
    }

    void scheduleTellsTheSkipTimes() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        CChannelPropSheet sheet(nullptr, channel);
        QCOMPARE(sheet.detailsPage()->scheduleText(),
                 QString("The channel publisher has specified that this channel may be automatically updated at any "
                         "time."));
        {
            channels::ChannelConfig& config = channel->getChannelConfig();
            ExclusiveLockGuard guard(&config.getLock(), __FILE__, __LINE__);
            config.getChannelHeader().SkipHours = {3, 4};
        }
        const QString text = sheet.detailsPage()->scheduleText();
        QVERIFY2(text.contains("\tDays:\t(none)\n"), qPrintable(text));
        QVERIFY2(text.endsWith("All times are GMT."), qPrintable(text));
    }

    void categoriesAreCheckedAndDefinedOnRequest() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channel->getChannelSettings().setChannelCategories({"News", "Local"});
        SheetRun run;
        run.hintAnswers["UndefinedChannelCategories"] = IDCANCEL;
        bool refused = false;
        const int result = run.run(channel, [&](CChannelPropSheet& sheet) {
            CChannelSearchPropPage* page = show(sheet, sheet.searchPage());
            CChannelCategoriesCtrlEditListBox* list = page->listBox();
            QCOMPARE(list->count(), 2);
            // The menu offers the defined categories not listed.
            QCOMPARE(page->categoriesMenu()->actions().size(), 1);
            QCOMPARE(page->categoriesMenu()->actions()[0]->text(), QString("Tech"));
            page->onCategoriesMenuResult(page->categoriesMenu()->actions()[0]->data().toInt());
            QVERIFY(!page->menuButton()->isEnabled());
            // Typed entries are trimmed; a duplicate in another case goes again.
            list->addTypedItem("  Sports ");
            list->addTypedItem("NEWS");
            // An entry emptied in place keeps its name.
            list->renameItem(0, "   ");
            QStringList names;
            for (int i = 0; i < list->count(); ++i) names << list->itemText(i);
            // A category from the menu goes to the top when nothing is selected,
            // the typed one after the selected entry.
            QCOMPARE(names, QStringList({"Tech", "Sports", "News", "Local"}));
            QCOMPARE(list->selectedItem(), 0);
            sheet.okButton()->click();
            refused = sheet.isVisible();
            run.hintAnswers["UndefinedChannelCategories"] = IDYES;
            sheet.okButton()->click();
        });
        QVERIFY(refused);
        QCOMPARE(result, int(IDOK));
        QCOMPARE(run.messages,
                 std::vector<QString>({"This channel category is already defined.", "Invalid channel category."}));
        QCOMPARE(GlobalOptions::instance().ChannelCategories,
                 std::vector<std::string>({"News", "Tech", "Sports", "Local"}));
        QCOMPARE(channel->getChannelSettings().getChannelCategories(),
                 std::vector<std::string>({"Tech", "Sports", "News", "Local"}));
        QVERIFY(GlobalOptions::instance().isChannelCategory("Local"));
    }

    void categoryMenuHoldsAtMostTwentyOne() {
        std::vector<std::string>& defined = GlobalOptions::instance().ChannelCategories;
        defined.clear();
        for (int i = 1; i <= 25; ++i) defined.push_back("C" + std::to_string(i));
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        SheetRun run;
        run.run(channel, [](CChannelPropSheet& sheet) {
            CChannelSearchPropPage* page = show(sheet, sheet.searchPage());
            QCOMPARE(page->categoriesMenu()->actions().size(), 21);
            page->onCategoriesMenuResult(kCmdFirstCategoryMenuItem);
            QCOMPARE(page->categoriesMenu()->actions().size(), 21);
            QCOMPARE(page->categoriesMenu()->actions().last()->text(), QString("C22"));
            page->listBox()->selectItem(0);
            page->listBox()->deleteSelected();
            QCoreApplication::sendPostedEvents();
            QCOMPARE(page->categoriesMenu()->actions().first()->text(), QString("C1"));
            sheet.cancelButton()->click();
        });
    }

    void errorsPageShowsTheRunsErrors() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        getChannelDesktopSettings(channel)->setChannelErrorText("Download failed: 404");
        getChannelDesktopSettings(channel)->setChannelErrorText("Empty RSS feed.");
        SheetRun run;
        run.run(channel, [](CChannelPropSheet& sheet) {
            QTextEdit* log = child<QTextEdit>(*show(sheet, sheet.errorsPage()), "errorLog");
            QCoreApplication::sendPostedEvents();
            QVERIFY(log->isReadOnly());
            QCOMPARE(log->toPlainText(), QString("Download failed: 404\nEmpty RSS feed.\n"));
            QCOMPARE(log->textCursor().position(), 0);
            QVERIFY(!log->textCursor().hasSelection());
            sheet.cancelButton()->click();
        });
    }

    void pluginChannelParametersReachTheRequest() {
        const std::string request = env_->dir.file("request.ini");
        channels::Channel* channel =
            env_->addPluginChannel("scripted",
                                   "#!/bin/sh\ncp \"$1\" '" + request +
                                       "'\n"
                                       "printf '<rss version=\"2.0\"><channel><title>T</title></channel></rss>'\n",
                                   "[Config]\nAuthorName=Ann\nPluginNotes=one\\ntwo\n"
                                   "[ChannelParameterDefinition-1]\nName=City\nType=string\nDefaultValue=Oslo\n"
                                   "[ChannelParameterDefinition-2]\nName=ServerPassword\nType=string\n");
        SheetRun run;
        const int result = run.run(channel, [](CChannelPropSheet& sheet) {
            CChannelParamsPropPage* page = show(sheet, sheet.paramsPage());
            ParamsGrid* grid = page->grid();
            QCOMPARE(grid->propertyCount(), 2);
            QCOMPARE(grid->propertyName(0), QString("City"));
            QCOMPARE(grid->propertyKind(1), ParamsGrid::Kind::Password);
            auto* password = qobject_cast<QLineEdit*>(grid->editor(1));
            QVERIFY(password && password->echoMode() == QLineEdit::Password);
            // No plug-in parameters: nothing to edit globally.
            QVERIFY(!page->globalButton()->isEnabled());
            grid->setValue(0, "Bergen");
            grid->setValue(1, "s3cret");
            sheet.okButton()->click();
        });
        QCOMPARE(result, int(IDOK));
        std::string feed;
        bool unchanged = false;
        channel->update(feed, true, unchanged);
        QCOMPARE(tools::getIniString(request, "ChannelParameters", "City", "", false), std::string("Bergen"));
        QCOMPARE(tools::getIniString(request, "ChannelParameters", "ServerPassword", "", false), std::string("s3cret"));
    }

    void pluginDetailsAndGlobalParameters() {
        channels::Channel* channel = env_->addPluginChannel(
            "scripted", "#!/bin/sh\n",
            "[Config]\nAuthorName=Ann\nAuthorEmailAddress=ann@example.com\nPluginNotes=one\\ntwo\n"
            "[PluginParameterDefinition-1]\nName=ApiKey\nType=string\nDefaultValue=k0\n");
        setHintEnabled("GlobalChannelPluginParams", false);
        ScopedModalAnswerer answerer([](QDialog& dialog) {
            if (dialog.objectName() == "pluginDetailsDialog") {
                QCOMPARE(dialog.windowTitle(), QString("scripted.sh properties"));
                QCOMPARE(child<QPlainTextEdit>(dialog, "notesEdit")->toPlainText(), QString("one\ntwo"));
                QVERIFY(child<QWidget>(dialog, "emailLink")->isEnabled());
                dialog.accept();
            } else if (dialog.objectName() == "pluginParamsDialog") {
                QCOMPARE(dialog.windowTitle(), QString("scripted.sh plugin properties"));
                ParamsGrid* grid = child<ParamsGrid>(dialog, "paramsGrid");
                QCOMPARE(grid->valueText(0), QString("k0"));
                grid->setValue(0, "k1");
                child<QPushButton>(dialog, "okButton")->click();
            }
        });
        CChannelPropSheet sheet(nullptr, channel);
        sheet.show();
        sheet.setActivePage(sheet.paramsPage());
        QVERIFY(sheet.paramsPage()->globalButton()->isEnabled());
        sheet.paramsPage()->detailsButton()->click();
        sheet.paramsPage()->globalButton()->click();
        QCOMPARE(answerer.count(), 2);
        channels::ParamValues values;
        static_cast<channels::PluginChannel*>(channel)->getPluginChannelConfig().getPluginParams(nullptr, &values);
        QCOMPARE(values["ApiKey"], std::string("k1"));
        sheet.reject();
    }
};

QTEST_MAIN(ChannelSheetTest)
#include "channel_sheet_qtest.moc"
