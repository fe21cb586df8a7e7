// channelcare in-process with the message-box answerer: a program folder of
// the test's own with two users and their channel files, and the lock it
// shares with the main program in a runtime folder of the test's own.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QtTest>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/core/singleInstance.h"
#include "widgets/base/messageBox.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"
#include "utilities/channelcare/channelCare.h"
#include "utilities/channelcare/channelCareDlg.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

const char kSettings[] =
    "[Config]\nConfirmChanges=1\nNotifyChanges=1\nDefaultSelectAllChannels=1\n"
    "[Update interval]\nSectionName=Settings\nKeyName=AutoUpdateInterval\n"
    "Description=Seconds between updates.\\nA new line.\n"
    "[Item limit]\nSectionName=Settings\nKeyName=MaxFeedItems\nDescription=Items kept.\n"
    "[Display name]\nSectionName=Config\nKeyName=PreferredChannelDisplayName\nDescription=The name shown.\n";

// What the dialog shows and lets the test do.
struct Dialog {
    QDialog& d;
    QComboBox* user() { return d.findChild<QComboBox*>("userCombo"); }
    QListWidget* channels() { return d.findChild<QListWidget*>("channelList"); }
    QComboBox* setting() { return d.findChild<QComboBox*>("settingCombo"); }
    QLineEdit* value() { return d.findChild<QLineEdit*>("valueEdit"); }
    QPushButton* set() { return d.findChild<QPushButton*>("setButton"); }
    QLabel* description() { return d.findChild<QLabel*>("descriptionLabel"); }
    QStringList items(QComboBox* combo) {
        QStringList list;
        for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
        return list;
    }
    QStringList rows(bool selectedOnly = false) {
        QStringList list;
        for (int i = 0; i < channels()->count(); ++i)
            if (!selectedOnly || channels()->item(i)->isSelected()) list << channels()->item(i)->text();
        return list;
    }
    void choose(QComboBox* combo, const QString& text) { combo->setCurrentIndex(combo->findText(text)); }
};

}  // namespace

class ChannelCareTest : public QObject {
    Q_OBJECT

    testsupport::TempDir* dir_ = nullptr;
    std::string program_;
    std::string aliceChannels_;
    QStringList boxes_;  // texts of the message boxes shown, in order
    int confirmAnswer_ = dialogs::IDOK;
    std::function<void(Dialog&)> drive_;  // what the user does in the dialog
    bool dialogShown_ = false;

    // Answers message boxes (the confirmation with confirmAnswer_, others
    // with OK) and hands the main dialog to drive_.
    dialogs::ModalAnswerer answerer() {
        return [this](QDialog& dialog) {
            if (dialogs::isMessageBox(dialog)) {
                const QString text = dialogs::messageText(dialog);
                boxes_ << text;
                QCOMPARE(dialog.windowTitle(), QString("channelcare"));
                dialogs::pressAnswer(
                    dialog, text.startsWith("This change cannot be undone!") ? confirmAnswer_ : int(dialogs::IDOK));
                return;
            }
            dialogShown_ = true;
            QCOMPARE(dialog.windowTitle(), QString("channelcare"));
            Dialog d{dialog};
            if (drive_) drive_(d);
            dialog.reject();
        };
    }

    int run() {
        dialogs::ScopedModalAnswerer scoped(answerer());
        return channelcare::run(program_);
    }

    std::map<std::string, std::string> snapshot(const std::string& folder) {
        std::map<std::string, std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            files[e.path().filename().string()] = readFile(e.path().string());
        return files;
    }

private slots:
    void init() {
        dir_ = new testsupport::TempDir;
        program_ = dir_->file("programs/channelcare");
        writeFile(dir_->file("programs/channelcare.ini"), kSettings);
        ::setenv("XDG_RUNTIME_DIR", dir_->str().c_str(), 1);
        // The users' folders are where the main program keeps them.
        ::setenv("XDG_DATA_HOME", dir_->file("data").c_str(), 1);
        // Alice: 20 channels, named by number, with settings of their own.
        aliceChannels_ = dir_->file("data/orvan/Users/Alice/Channels");
        for (int i = 1; i <= 20; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "feed%02d", i);
            const std::string ext = i <= 14 ? ".rss" : ".plugin";
            writeFile(aliceChannels_ + "/" + name + ext,
                      "[Config]\nRssChannelUrl=http://example.org/" + std::string(name) +
                          "\nPreferredChannelDisplayName=Feed " + std::to_string(100 + i) +
                          "\n[Settings]\nIsAutoUpdateEnabled=1\nAutoUpdateInterval=3600\nMaxFeedItems=50\n"
                          "[State]\nLastFetchTime=1700000000\n");
        }
        writeFile(aliceChannels_ + "/notes.txt", "not a channel\n");
        writeFile(dir_->file("data/orvan/Users/bob/Channels/only.rss"),
                  "[Config]\nRssChannelUrl=http://bob.example/\n[Cache]\nChannelDisplayName=Cached name\n");
        std::filesystem::create_directories(dir_->file("data/orvan/Users/carol"));
        boxes_.clear();
        confirmAnswer_ = dialogs::IDOK;
        drive_ = nullptr;
        dialogShown_ = false;
    }
    void cleanup() {
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("XDG_DATA_HOME");
        delete dir_;
        dir_ = nullptr;
    }

    void listsUsersSettingsAndChannelsAsTheUserSeesThem() {
        writeFile(dir_->file("data/orvan/Users/bob/Channels/plain.plugin"), "[Config]\nScriptFilename=x.py\n");
        drive_ = [](Dialog& d) {
            QCOMPARE(d.items(d.user()), QStringList({"carol", "bob", "Alice"}));
            QCOMPARE(d.user()->currentText(), QString("carol"));
            QCOMPARE(d.rows(), QStringList());
            QVERIFY(!d.set()->isEnabled());
            QCOMPARE(d.items(d.setting()), QStringList({"Display name", "Item limit", "Update interval"}));
            QCOMPARE(d.description()->text(), QString("The name shown."));
            d.choose(d.setting(), "Update interval");
            QCOMPARE(d.description()->text(), QString("Seconds between updates.\nA new line."));

            d.choose(d.user(), "bob");
            QCOMPARE(d.rows(), QStringList({"(plain.plugin)", "Cached name"}));
            QCOMPARE(d.rows(true), d.rows());
            QVERIFY(d.set()->isEnabled());
            d.channels()->clearSelection();
            QVERIFY(!d.set()->isEnabled());

            d.choose(d.user(), "Alice");
            QCOMPARE(d.rows().size(), 20);
            QCOMPARE(d.rows().first(), QString("Feed 101"));
            QCOMPARE(d.rows().last(), QString("Feed 120"));
        };
        QCOMPARE(run(), 0);
        QVERIFY(dialogShown_);
        QCOMPARE(boxes_, QStringList());
    }

    // The controls follow the window's edges by the layout table; the first
    // size is the smallest.
    void controlsFollowTheWindowsEdges() {
        drive_ = [](Dialog& d) {
            const QSize initial = d.d.size();
            QCOMPARE(d.d.minimumSize(), initial);
            auto* exit = d.d.findChild<QPushButton*>("exitButton");
            const QRect exitBefore = exit->geometry(), listBefore = d.channels()->geometry(),
                        settingBefore = d.setting()->geometry(), valueBefore = d.value()->geometry(),
                        descriptionBefore = d.description()->geometry(), setBefore = d.set()->geometry();
            QCOMPARE(exitBefore.right() + 1 + 15, initial.width());
            QCOMPARE(exitBefore.bottom() + 1 + 15, initial.height());
            d.d.resize(initial + QSize(100, 80));
            QCoreApplication::processEvents();
            QCOMPARE(exit->geometry(), exitBefore.translated(100, 80));
            QCOMPARE(d.set()->geometry(), setBefore.translated(100, 80));
            QCOMPARE(d.channels()->geometry(), listBefore.adjusted(0, 0, 100, 80));
            QCOMPARE(d.setting()->geometry(), settingBefore.adjusted(0, 80, 100, 80));
            QCOMPARE(d.value()->geometry(), valueBefore.adjusted(0, 80, 100, 80));
            QCOMPARE(d.description()->geometry(), descriptionBefore.adjusted(0, 80, 100, 80));
        };
        QCOMPARE(run(), 0);
        QVERIFY(dialogShown_);
    }

    // One setting into 15 of Alice's 20 channel files: those 15 change in that
    // one key; the other five and everybody else's files stay byte for byte.
    void oneSettingGoesIntoTheSelectedFilesOnly() {
        const auto before = snapshot(aliceChannels_);
        const std::string bobBefore = readFile(dir_->file("data/orvan/Users/bob/Channels/only.rss"));
        QStringList chosen;
        drive_ = [&chosen](Dialog& d) {
            d.choose(d.user(), "Alice");
            d.choose(d.setting(), "Update interval");
            for (int row = 0; row < 5; ++row) d.channels()->item(row * 4)->setSelected(false);
            chosen = d.rows(true);
            d.value()->setText("7200");
            QTest::mouseClick(d.set(), Qt::LeftButton);
        };
        QCOMPARE(run(), 0);
        QCOMPARE(chosen.size(), 15);
        QCOMPARE(boxes_, QStringList({"This change cannot be undone!\n\nDo you want to continue?",
                                      "The new setting has been applied to the 15 selected channels."}));
        const auto after = snapshot(aliceChannels_);
        int changed = 0;
        for (const auto& [name, text] : before) {
            const std::string path = aliceChannels_ + "/" + name;
            const QString shown = QString::fromStdString(channelcare::getChannelDisplayName(path));
            if (name == "notes.txt" || !chosen.contains(shown)) {
                QCOMPARE(after.at(name), text);
                continue;
            }
            ++changed;
            std::string expected = text;
            expected.replace(expected.find("AutoUpdateInterval=3600"), 23, "AutoUpdateInterval=7200");
            QCOMPARE(after.at(name), expected);
        }
        QCOMPARE(changed, 15);
        QCOMPARE(readFile(dir_->file("data/orvan/Users/bob/Channels/only.rss")), bobBefore);
    }

    void oneChannelAValueWithSpecialCharactersAndTheEnterKey() {
        writeFile(dir_->file("programs/channelcare.ini"),
                  std::string(kSettings).replace(std::string(kSettings).find("DefaultSelectAllChannels=1"), 26,
                                                 "DefaultSelectAllChannels=0"));
        drive_ = [this](Dialog& d) {
            d.choose(d.user(), "Alice");
            QCOMPARE(d.rows(true), QStringList());
            QVERIFY(!d.set()->isEnabled());
            d.channels()->item(2)->setSelected(true);
            QVERIFY(d.set()->isEnabled());
            d.choose(d.setting(), "Display name");
            d.value()->setText("Café 100% news");
            // Enter elsewhere does nothing; in the value edit it sets.
            d.channels()->setFocus();
            QTest::keyClick(&d.d, Qt::Key_Return);
            QCoreApplication::processEvents();
            QCOMPARE(boxes_.size(), 0);
            d.value()->setFocus();
            QTest::keyClick(d.value(), Qt::Key_Return);
            QTRY_COMPARE_WITH_TIMEOUT(boxes_.size(), 2, 5000);
        };
        QCOMPARE(run(), 0);
        QCOMPARE(boxes_, QStringList({"This change cannot be undone!\n\nDo you want to continue?",
                                      "The new setting has been applied to the selected channel."}));
        QVERIFY(readFile(aliceChannels_ + "/feed03.rss").find("PreferredChannelDisplayName=Caf%C3%A9 100%25 news\n") !=
                std::string::npos);
    }

    void cancelWritesNothingAndTheSwitchesSilenceTheBoxes() {
        const auto before = snapshot(aliceChannels_);
        drive_ = [](Dialog& d) {
            d.choose(d.user(), "Alice");
            d.value()->setText("1");
            QTest::mouseClick(d.set(), Qt::LeftButton);
        };
        confirmAnswer_ = dialogs::IDCANCEL;
        QCOMPARE(run(), 0);
        QCOMPARE(boxes_, QStringList({"This change cannot be undone!\n\nDo you want to continue?"}));
        QVERIFY(snapshot(aliceChannels_) == before);

        boxes_.clear();
        writeFile(dir_->file("programs/channelcare.ini"),
                  "[config]\nConfirmChanges=0\nNotifyChanges=0\n"
                  "[Item limit]\nSectionName=Settings\nKeyName=MaxFeedItems\nDescription=Items kept.\n");
        drive_ = [](Dialog& d) {
            QCOMPARE(d.items(d.setting()), QStringList({"Item limit"}));  // "config" is the configuration
            d.choose(d.user(), "Alice");
            d.value()->setText("10");
            QTest::mouseClick(d.set(), Qt::LeftButton);
        };
        QCOMPARE(run(), 0);
        QCOMPARE(boxes_, QStringList());
        QCOMPARE(tools::getIniString(aliceChannels_ + "/feed20.plugin", "Settings", "MaxFeedItems", "", true),
                 std::string("10"));
    }

    // A channel file that is gone, a folder where it was, or a read-only one
    // is reported by path; the other files are written.
    void filesThatCannotBeWrittenAreReported() {
        drive_ = [this](Dialog& d) {
            d.choose(d.user(), "Alice");
            d.value()->setText("60");
            std::filesystem::remove(aliceChannels_ + "/feed05.rss");
            std::filesystem::create_directories(aliceChannels_ + "/feed05.rss");
            QTest::mouseClick(d.set(), Qt::LeftButton);
        };
        // A read-only channel file (no write permission for its owner) is
        // left as it is, even for a user whom the system lets write it.
        const std::string readOnly = aliceChannels_ + "/feed07.rss";
        const std::string before = testsupport::readFile(readOnly);
        QCOMPARE(::chmod(readOnly.c_str(), 0444), 0);
        QCOMPARE(run(), 0);
        QCOMPARE(boxes_.size(), 2);
        QVERIFY2(boxes_[1].startsWith("The new setting could not be applied to 2 of the 20 selected channels.\n\n" +
                                      QString::fromStdString(aliceChannels_) + "/feed05.rss: Is a directory\n" +
                                      QString::fromStdString(readOnly) + ": Permission denied"),
                 qPrintable(boxes_[1]));
        QCOMPARE(testsupport::readFile(readOnly), before);
        struct stat st {};
        QCOMPARE(::stat(readOnly.c_str(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0444);
        QCOMPARE(tools::getIniString(aliceChannels_ + "/feed06.rss", "Config", "PreferredChannelDisplayName", "", true),
                 std::string("60"));
    }

    void startUpFailuresShowOneMessageAndNoDialog_data() {
        QTest::addColumn<QString>("settings");  // "" = no settings file
        QTest::addColumn<bool>("emptyUsers");
        QTest::addColumn<QString>("message");
        QTest::newRow("no settings file") << "" << false << "Can't find the settings file: %1/programs/channelcare.ini";
        QTest::newRow("entry without KeyName")
            << "[Config]\nNotifyChanges=1\n[Broken one]\nSectionName=Settings\nDescription=x\n"
            << false
            << "Couldn't initialize.\n\nInvalid settings file entry: Missing KeyName parameter in [Broken one].";
        QTest::newRow("entry without Description")
            << "[B]\nSectionName=S\nKeyName=K\n"
            << false << "Couldn't initialize.\n\nInvalid settings file entry: Missing Description parameter in [B].";
        QTest::newRow("no users") << QString(kSettings) << true
                                  << "Couldn't initialize.\n\nCan't find any user home directories.";
    }
    void startUpFailuresShowOneMessageAndNoDialog() {
        QFETCH(QString, settings);
        QFETCH(bool, emptyUsers);
        QFETCH(QString, message);
        std::filesystem::remove(dir_->file("programs/channelcare.ini"));
        if (!settings.isEmpty()) writeFile(dir_->file("programs/channelcare.ini"), settings.toStdString());
        if (emptyUsers) {
            std::filesystem::remove_all(dir_->file("data/orvan/Users"));
            std::filesystem::create_directories(dir_->file("data/orvan/Users"));
        }
        QCOMPARE(run(), 0);
        QVERIFY(!dialogShown_);
        QCOMPARE(boxes_, QStringList({message.replace("%1", QString::fromStdString(dir_->str()))}));
    }

    // channelcare and the main program never run at once: either one that
    // holds the shared lock keeps the other from starting.
    void itAndTheMainProgramExcludeEachOther() {
        {
            SingleInstance program(channelcare::kProductWord);
            QCOMPARE(program.start(false), SingleInstance::Started);
            const auto before = snapshot(aliceChannels_);
            QCOMPARE(run(), 0);
            QVERIFY(!dialogShown_);
            QCOMPARE(boxes_, QStringList({"Orvan is still running.\n\nPlease close it and wait for it to finish "
                                          "before running this program."}));
            QVERIFY(snapshot(aliceChannels_) == before);
        }
        boxes_.clear();
        SingleInstance::Result whileOpen = SingleInstance::Failed;
        drive_ = [&whileOpen](Dialog&) {
            SingleInstance program(channelcare::kProductWord);
            whileOpen = program.start(false);
        };
        QCOMPARE(run(), 0);
        QCOMPARE(whileOpen, SingleInstance::Busy);
        SingleInstance program(channelcare::kProductWord);
        QCOMPARE(program.start(false), SingleInstance::Started);
    }
};

QTEST_MAIN(ChannelCareTest)
#include "channelcare_qtest.moc"
