// The Hooks page and a hook's own property sheet: attaching a script hook
// and a library hook, editing their names and parameters, detaching, a
// second OK after a page refused the first, Cancel after a partial apply, and
// a hook library that opens the sheet itself and is detached from it.
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QtTest>

#include "channels/hooks/channelHook.h"
#include "dialogs/channel/channelPropSheet.h"
#include "dialogs/channel/channelSearchPage.h"
#include "dialogs/hooks/channelHookSheet.h"
#include "dialogs/hooks/channelHooksPage.h"
#include "tests/dialogs/channel_dialogs_fixture.h"
#include "tools/ini.h"
#include "tools/tempFile.h"
#include "widgets/controls/paramsGrid.h"

using namespace dialogs;
using namespace dialogtest;

namespace {

// The requests a recording hook saved under `prefix` in recordDir, as event
// names, in call order.
std::vector<std::string> recordedEvents(const std::string& recordDir, const std::string& prefix) {
    std::vector<std::string> events;
    for (int n = 0;; ++n) {
        const std::string file = recordDir + "/" + prefix + std::to_string(n) + ".ini";
        if (!std::filesystem::exists(file)) break;
        events.push_back(tools::getIniString(file, "Config", "EventName", "", false));
    }
    return events;
}

int rowOf(ParamsGrid* grid, const QString& name) {
    for (int row = 0; row < grid->propertyCount(); ++row)
        if (grid->propertyName(row) == name) return row;
    return -1;
}

// Whether the hook object still exists: its log file goes with it.
bool exists(const std::string& logFile) { return std::filesystem::exists(logFile); }

class HooksTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Environment> env_;
    std::string recordDir_;

    // A script hook's definition file; the script records every request it
    // gets as req-<n>.ini.
    std::string scriptHookFile() {
        writeExecutable(
            env_->dir.file("record.sh"),
            "#!/bin/sh\nn=$(ls '" + recordDir_ + "' | grep -c '^req-')\ncp \"$1\" '" + recordDir_ + "'/req-$n.ini\n");
        const std::string file = env_->dir.file("record.hook");
        testsupport::writeFile(file,
                               "[Config]\nScriptFilename=record.sh\nDisplayName=Recorder\nAuthorName=Rita\n"
                               "Notes=first\\nsecond\n"
                               "[Events]\nChannelHookAttached=1\nChannelHookDetached=1\nChannelConfigChanged=1\n"
                               "[ChannelHookParameterDefinition-1]\nName=Target\nType=string\nDefaultValue=none\n"
                               "[ChannelHookParameterDefinition-2]\nName=SmtpPassword\nType=string\n"
                               "[GlobalChannelHookParameterDefinition-1]\nName=Server\nType=string\n"
                               "DefaultValue=mail.example.com\n");
        return file;
    }

    // The engine tests' hook library; it records its requests as lib-<n>.ini.
    std::string libraryHookFile() {
        const std::string file = env_->dir.file("library.hook");
        testsupport::writeFile(file, "[Config]\nScriptFilename=" + testLibrary("hooktest_good") +
                                         "\nDisplayName=Library\n[Events]\nChannelHookDetached=1\n"
                                         "[ChannelHookParameterDefinition-1]\nName=RecordDir\nType=string\n"
                                         "DefaultValue=" +
                                         recordDir_ + "\n");
        return file;
    }

    channels::ChannelHook* loadedHook(const std::string& hookFile) {
        std::unique_ptr<channels::ChannelHook> hook = channels::createChannelHook(hookFile);
        hook->loadConfig(hookFile);
        return hook.release();
    }

private slots:
    void init() {
        env_ = std::make_unique<Environment>();
        recordDir_ = env_->dir.file("rec");
        std::filesystem::create_directories(recordDir_);
        for (const char* hint : {"UsingChannelCategories", "GlobalChannelHookParams"}) setHintEnabled(hint, false);
    }
    void cleanup() { env_.reset(); }

    void attachEditAndDetach() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channels::ChannelHook* library = loadedHook(libraryHookFile());
        channel->getChannelSettings().setChannelHooks({library});
        const std::string libraryLog = library->getLogFile().getFilename();
        const std::string scriptFile = scriptHookFile();
        CChannelHooksPropPage::rememberedHookDirectory() = env_->dir.str();

        std::vector<QString> messages;
        int hookSheets = 0;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (auto* browser = qobject_cast<QFileDialog*>(&dialog)) {
                QCOMPARE(browser->windowTitle(), QString("Channel hook"));
                QCOMPARE(browser->directory().absolutePath(), QString::fromStdString(env_->dir.str()));
                browser->selectFile(QString::fromStdString(scriptFile));
                static_cast<QDialog*>(browser)->accept();
            } else if (auto* hookSheet = qobject_cast<CChannelHookPropSheet*>(&dialog)) {
                ++hookSheets;
                // It opens on the Parameters page.
                QCOMPARE(hookSheet->activeIndex(), 1);
                auto* params = static_cast<CChannelHookParamsPropPage*>(hookSheet->page(1));
                ParamsGrid* grid = params->grid();
                const int password = rowOf(grid, "SmtpPassword");
                QCOMPARE(grid->propertyKind(password), ParamsGrid::Kind::Password);
                QCOMPARE(qobject_cast<QLineEdit*>(grid->editor(password))->echoMode(), QLineEdit::Password);
                grid->setValue(rowOf(grid, "Target"), "desk");
                params->nameEdit()->setText("   ");
                hookSheet->okButton()->click();
                QVERIFY(hookSheet->isVisible());
                params->nameEdit()->setText("  Desk recorder ");
                hookSheet->setActivePage(0);
                QCOMPARE(hookSheet->page(0)->findChild<QPlainTextEdit*>("notesEdit")->toPlainText(),
                         QString("first\nsecond"));
                hookSheet->setActivePage(2);
                auto* global = static_cast<CGlobalChannelHookParamsPropPage*>(hookSheet->page(2));
                global->grid()->setValue(rowOf(global->grid(), "Server"), "smtp.example.org");
                hookSheet->setActivePage(3);
                QVERIFY(hookSheet->page(3)->findChild<QTextEdit*>("logText")->toPlainText().isEmpty());
                hookSheet->okButton()->click();
            } else if (isMessageBox(dialog)) {
                messages.push_back(messageText(dialog));
                pressAnswer(dialog, IDOK);
            } else if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                CChannelHooksPropPage* page = sheet->hooksPage();
                sheet->setActivePage(page);
                ChannelHooksEditListBox* list = page->hooksList();
                QCOMPARE(list->count(), 1);
                QVERIFY(!page->propertiesButton()->isEnabled());
                list->newButton()->click();
                QCoreApplication::sendPostedEvents();  // the new hook's sheet opens
                QCOMPARE(list->count(), 2);
                QCOMPARE(list->rowText(1), QString("Desk recorder"));
                // Nothing reaches the channel before OK.
                QCOMPARE(channel->getChannelSettings().getChannelHooks().size(), size_t(1));
                list->selectRow(0);
                list->deleteButton()->click();
                sheet->okButton()->click();
            }
        });
        {
            CChannelPropSheet sheet(nullptr, channel);
            QCOMPARE(sheet.DoModal(), int(IDOK));
        }
        QCOMPARE(hookSheets, 1);
        QCOMPARE(messages, std::vector<QString>{"You must enter a name for this channel hook."});

        const std::vector<channels::ChannelHook*> hooks = channel->getChannelSettings().getChannelHooks();
        QCOMPARE(hooks.size(), size_t(1));
        QCOMPARE(hooks[0]->getDisplayName(), std::string("Desk recorder"));
        const std::string file = channel->getConfigFilename();
        QCOMPARE(tools::getIniString(file, "Channel Hooks", "ChannelHook1", "", false), scriptFile);
        QCOMPARE(tools::getIniString(file, "Channel Hooks", "ChannelHook2", "(none)", false), std::string("(none)"));
        QCOMPARE(tools::getIniString(file, "ChannelHookConfig-1", "Target", "", false), std::string("desk"));
        QCOMPARE(tools::getIniString(file, "ChannelHookConfig-1", "_DisplayName", "", false),
                 std::string("Desk recorder"));
        // The global value is what every hook of that definition file sends.
        channels::ChannelHook* other = loadedHook(scriptFile);
        channels::ParamDefs defs;
        channels::ParamValues values;
        other->getGlobalParams(defs, values);
        QCOMPARE(values["Server"], std::string("smtp.example.org"));
        channels::ChannelHook::releaseReference(other);

        QCOMPARE(recordedEvents(recordDir_, "lib-"), std::vector<std::string>{"ChannelHookDetached"});
        QCOMPARE(recordedEvents(recordDir_, "req-"),
                 std::vector<std::string>({"ChannelHookAttached", "ChannelConfigChanged"}));
        // The detached hook goes once control is back in the event loop.
        QVERIFY(exists(libraryLog));
        QTRY_VERIFY_WITH_TIMEOUT(!exists(libraryLog), 5000);
    }

    void cancelDropsWhatWasAttached() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        const std::string before = testsupport::readFile(channel->getConfigFilename());
        std::string attachedLog;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                sheet->setActivePage(sheet->hooksPage());
                QVERIFY(sheet->hooksPage()->attachHook(QString::fromStdString(scriptHookFile())));
                QVERIFY(!sheet->hooksPage()->attachHook(QString::fromStdString(env_->dir.file("missing.hook"))));
                attachedLog = sheet->hooksPage()->hooksList()->hook(0)->getLogFile().getFilename();
                sheet->cancelButton()->click();
            } else if (isMessageBox(dialog)) {
                QVERIFY(messageText(dialog).startsWith("Can't load the channel hook.\n\n"));
                pressAnswer(dialog, IDOK);
            }
            // The new hook's own sheet is dismissed.
        });
        {
            CChannelPropSheet sheet(nullptr, channel);
            QCOMPARE(sheet.DoModal(), int(IDCANCEL));
        }
        QVERIFY(channel->getChannelSettings().getChannelHooks().empty());
        QCOMPARE(testsupport::readFile(channel->getConfigFilename()), before);
        QVERIFY(recordedEvents(recordDir_, "req-").empty());
        QTRY_VERIFY_WITH_TIMEOUT(!exists(attachedLog), 5000);
    }

    void okAgainAfterARefusedOk_data() {
        QTest::addColumn<bool>("thenCancel");
        QTest::newRow("second OK") << false;
        QTest::newRow("cancel after the partial apply") << true;
    }
    void okAgainAfterARefusedOk() {
        QFETCH(bool, thenCancel);
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        channels::ChannelHook* first = loadedHook(libraryHookFile());
        channel->getChannelSettings().setChannelHooks({first});
        const std::string firstLog = first->getLogFile().getFilename();
        const std::string scriptFile = scriptHookFile();
        int undefinedHints = 0;
        bool refused = false;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                CChannelHooksPropPage* page = sheet->hooksPage();
                sheet->setActivePage(page);
                page->hooksList()->selectRow(0);
                page->hooksList()->deleteButton()->click();
                page->attachHook(QString::fromStdString(scriptFile));
                QCoreApplication::sendPostedEvents();
                sheet->setActivePage(sheet->searchPage());
                sheet->searchPage()->listBox()->addTypedItem("Undefined");
                sheet->okButton()->click();  // the Hooks page applies, the Search page refuses
                refused = sheet->isVisible();
                if (thenCancel) {
                    sheet->cancelButton()->click();
                } else {
                    sheet->okButton()->click();
                }
            } else if (hintIdentifier(dialog) == "UndefinedChannelCategories") {
                pressHint(dialog, ++undefinedHints == 1 ? IDCANCEL : IDNO);
            }
        });
        {
            CChannelPropSheet sheet(nullptr, channel);
            QCOMPARE(sheet.DoModal(), thenCancel ? int(IDCANCEL) : int(IDOK));
        }
        QVERIFY(refused);
        QCOMPARE(undefinedHints, thenCancel ? 1 : 2);
        // Applied once: the first hook heard of its detachment once, the new one
        // of its attachment once.
        QCOMPARE(recordedEvents(recordDir_, "lib-"), std::vector<std::string>{"ChannelHookDetached"});
        std::vector<std::string> scriptEvents = recordedEvents(recordDir_, "req-");
        QCOMPARE(std::count(scriptEvents.begin(), scriptEvents.end(), "ChannelHookAttached"), 1L);
        const std::vector<channels::ChannelHook*> hooks = channel->getChannelSettings().getChannelHooks();
        QCOMPARE(hooks.size(), size_t(1));
        QCOMPARE(hooks[0]->getConfigFilename(), scriptFile);
        QTRY_VERIFY_WITH_TIMEOUT(!exists(firstLog), 5000);
        // The remaining hook is the settings' alone: the clean-up destroys it,
        // and AddressSanitizer sees neither a leak nor a second release.
    }

    void hookOpensTheSheetAndIsDetachedFromIt() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        const std::string trace = env_->dir.file("trace.txt");
        const std::string hookFile = env_->dir.file("opener.hook");
        testsupport::writeFile(hookFile, "[Config]\nScriptFilename=" + testLibrary("dialogtest_openhook") +
                                             "\nDisplayName=Opener\n"
                                             "[ChannelHookParameterDefinition-1]\nName=Trace\nType=string\n"
                                             "DefaultValue=" +
                                             trace + "\n");
        channels::ChannelHook* hook = loadedHook(hookFile);
        channel->getChannelSettings().setChannelHooks({hook});
        const std::string hookLog = hook->getLogFile().getFilename();

        int opened = 0;
        env_->onOpenChannelProperties = [&](const ChannelHookCallbackCookies& cookies) {
            ++opened;
            channels::Channel* found = channels::findChannelByCookie(*env_->manager, cookies.hChannelCookie);
            QVERIFY(found == channel);
            // The main frame holds the hook it found while the sheet runs.
            channels::ChannelHookRef named = channels::findChannelHookByCookie(*found, cookies.hChannelHookCookie);
            QVERIFY(named.get() == hook);
            openChannelProperties(nullptr, found, named.get());
            // A second request while the sheet is open would be refused; none is.
        };
        int hookSheets = 0;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (auto* hookSheet = qobject_cast<CChannelHookPropSheet*>(&dialog)) {
                ++hookSheets;
                QCOMPARE(hookSheet->activeIndex(), 1);
                hookSheet->cancelButton()->click();
            } else if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                QVERIFY(sheet->activePage() == sheet->hooksPage());
                ChannelHooksEditListBox* list = sheet->hooksPage()->hooksList();
                QCOMPARE(list->selectedRow(), 0);
                QVERIFY(list->hook(0) == hook);
                list->deleteButton()->click();
                sheet->okButton()->click();
                QVERIFY(!sheet->isVisible());
            }
        });
        bool failed = true;
        hook->executeCommand(channel, "OpenProperties", &failed);
        QVERIFY(!failed);
        QCOMPARE(opened, 1);
        QCOMPARE(hookSheets, 1);
        // The library ran on after the sheet closed, and its hook still exists
        // until control is back in the event loop.
        QCOMPARE(testsupport::readFile(trace), std::string("returned\n"));
        QVERIFY(exists(hookLog));
        QVERIFY(channel->getChannelSettings().getChannelHooks().empty());
        QTRY_VERIFY_WITH_TIMEOUT(!exists(hookLog), 5000);
    }

    void secondSheetIsRefusedWhileOneIsOpen() {
        channels::Channel* channel = env_->addRssChannel("news", "http://127.0.0.1:9/news.xml");
        std::vector<QString> messages;
        int nestedResult = -1;
        ScopedModalAnswerer answerer([&](QDialog& dialog) {
            if (isMessageBox(dialog)) {
                messages.push_back(messageText(dialog));
                pressAnswer(dialog, IDOK);
            } else if (auto* sheet = qobject_cast<CChannelPropSheet*>(&dialog)) {
                nestedResult = openChannelProperties(nullptr, channel, nullptr);
                sheet->cancelButton()->click();
            }
        });
        QCOMPARE(openChannelProperties(nullptr, channel, nullptr), int(IDCANCEL));
        QCOMPARE(nestedResult, 0);
        QCOMPARE(messages, std::vector<QString>{"Please close this channel properties dialog first."});
    }
};

}  // namespace

QTEST_MAIN(HooksTest)
#include "channel_hooks_qtest.moc"
