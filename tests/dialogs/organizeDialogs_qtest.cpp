// The organize dialogs of favourites, filters and reports with their hotkeys,
// the channel filter dialog and the channel report dialog: what each stores
// in config.ini at OK, at a removal and at Cancel, the checks in their
// order, the filter a report selects, hotkeys switched off through a chain
// of nested dialogs, and a report generated from the organize dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <deque>
#include <map>

#include "app/core/commandIds.h"
#include "app/core/programObjects.h"
#include "app/reports/channelReportGenerator.h"
#include "dialogs/organize/channelFilterDlg.h"
#include "dialogs/organize/channelReportConfigDlg.h"
#include "dialogs/organize/keyAssign.h"
#include "dialogs/organize/organizeDialogs.h"
#include "dialogs/small/selectChannelDlg.h"
#include "tests/dialogs/channel_dialogs_fixture.h"
#include "tools/ini.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "widgets/helpers/desktopServices.h"

using namespace dialogs;
using namespace dialogtest;

namespace {

// Answers what the dialogs open: message boxes with the queued answers (OK
// when none is queued), hints with OK, and other dialogs with the next
// handler queued under their object name (rejected when there is none).
struct Driver {
    QStringList messages;
    QStringList hints;
    std::deque<int> answers;
    std::map<QString, std::deque<std::function<void(QDialog&)>>> handlers;
    std::function<void(QFileDialog&)> files;  // file browsers (rejected when empty)

    void on(const char* dialogName, std::function<void(QDialog&)> handler) {
        handlers[QString::fromLatin1(dialogName)].push_back(std::move(handler));
    }

    ModalAnswerer answerer() {
        return [this](QDialog& dialog) {
            if (isMessageBox(dialog)) {
                messages << messageText(dialog);
                int answer = IDOK;
                if (!answers.empty()) {
                    answer = answers.front();
                    answers.pop_front();
                }
                pressAnswer(dialog, answer);
            } else if (!hintIdentifier(dialog).isEmpty()) {
                hints << hintIdentifier(dialog);
                pressHint(dialog, IDOK);
            } else if (auto* browser = qobject_cast<QFileDialog*>(&dialog)) {
                if (files) files(*browser);
            } else {
                auto& queue = handlers[dialog.objectName()];
                if (queue.empty()) return;
                auto handler = std::move(queue.front());
                queue.pop_front();
                handler(dialog);
            }
        };
    }
};

template <typename T>
T& as(QDialog& dialog) {
    T* typed = qobject_cast<T*>(&dialog);
    if (!typed) qFatal("unexpected dialog %s", qPrintable(dialog.objectName()));
    return *typed;
}

QStringList rows(const CHotkeyTableDlg& dialog, int column = 0) {
    QStringList texts;
    for (int row = 0; row < dialog.rowCount(); ++row) texts << dialog.rowText(row, column);
    return texts;
}

void click(QWidget& parent, const char* name) {
    auto* button = parent.findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (!button) qFatal("no button %s", name);
    button->click();
}

void setText(QWidget& parent, const char* name, const QString& text) {
    if (auto* edit = parent.findChild<QLineEdit*>(QString::fromLatin1(name))) {
        edit->setText(text);
        return;
    }
    auto* combo = parent.findChild<QComboBox*>(QString::fromLatin1(name));
    if (!combo) qFatal("no field %s", name);
    combo->setCurrentText(text);
}

// A filter dialog answer: give the filter this name and press OK.
std::function<void(QDialog&)> nameFilter(const QString& name) {
    return [name](QDialog& dialog) {
        setText(dialog, "filterNameEdit", name);
        click(dialog, "okButton");
    };
}

// Presses the keys in the dialog's hotkey box and assigns them to the selected row.
void assignKeys(CHotkeyTableDlg& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(dialog.hotkeyBox(), key, modifiers);
    dialog.onAssign();
}

ChannelFilter filterNamed(const std::string& name) {
    ChannelFilter filter;
    filter.setFilterName(name);
    return filter;
}

// What config.ini holds: the names of the numbered sections and the keys of
// a hotkey section ("1=Ctrl+1").
QStringList storedNames(const std::string& file, const std::string& stem, const std::string& key) {
    QStringList names;
    for (int n = 1; n < 50; ++n) {
        const std::string name = tools::getIniString(file, stem + std::to_string(n), key, "", true);
        if (name.empty()) break;
        names << QString::fromStdString(name);
    }
    return names;
}

QStringList storedHotkeys(const std::string& file, const std::string& section) {
    QStringList keys;
    for (const std::string& key : tools::getIniKeyNames(file, section))
        keys << QString::fromStdString(key + "=" + tools::getIniString(file, section, key, "", true));
    return keys;
}

QStringList names(const std::vector<ChannelFilter>& filters) {
    QStringList list;
    for (const ChannelFilter& filter : filters) list << QString::fromStdString(filter.getFilterName());
    return list;
}

// Captures the pages that would open in simple-browser windows.
struct BrowserCatcher : DesktopServices {
    QStringList shown;
    void urlOpened(const std::string&, channels::Channel*) override {}
    void showInSimpleBrowser(const std::string& title, const std::string& url, bool) override {
        shown << QString::fromStdString(title + " | " + url);
    }
};

}  // namespace

class OrganizeDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Environment> env_;
    std::string config_;

    GlobalOptions& options() { return GlobalOptions::instance(); }

    // Stores the filters (with a hotkey text per filter, "" for none).
    void storeFilters(const std::vector<std::pair<std::string, std::string>>& filters) {
        options().ChannelFilters.clear();
        options().ChannelFilterHotkeys.clear();
        for (const auto& [name, key] : filters) {
            ChannelFilter filter = filterNamed(name);
            filter.setSearchText(name);
            filter.setSearchTextInChannelUrl(true);
            options().ChannelFilters.push_back(filter);
            Hotkey hotkey;
            if (!key.empty()) hotkey.fromString(key);
            options().ChannelFilterHotkeys.appendHotkey(hotkey);
        }
        options().ChannelFilterHotkeys.buildAcceleratorTable();
        options().saveChannelFilters();
    }

    ChannelReportConfig report(const std::string& name, const std::string& filter) {
        ChannelReportConfig r;
        r.setReportName(name);
        r.setChannelFilterName(filter);
        return r;
    }

    void storeReports(const std::vector<ChannelReportConfig>& reports, const std::vector<std::string>& keys) {
        options().ChannelReportConfigs = reports;
        options().ChannelReportHotkeys.clear();
        for (std::size_t i = 0; i < reports.size(); ++i) {
            Hotkey hotkey;
            if (i < keys.size() && !keys[i].empty()) hotkey.fromString(keys[i]);
            options().ChannelReportHotkeys.appendHotkey(hotkey);
        }
        options().ChannelReportHotkeys.buildAcceleratorTable();
        options().saveChannelReportConfigs();
    }

private slots:
    void init() {
        env_ = std::make_unique<Environment>();
        config_ = env_->dir.file("config.ini");
        setChannelManager(env_->manager.get());
        setChannelFilterLookup([](const std::string& name) -> const ChannelFilter* {
            return GlobalOptions::instance().findChannelFilter(name);
        });
        options().ChannelFavorites.clear();
        options().ChannelFavoriteHotkeys.clear();
        storeFilters({});
        storeReports({}, {});
    }

    void cleanup() {
        resetProgramObjectsForTests();
        ChannelReportConfig::deleteTempOutputFiles();
        env_.reset();
        QVERIFY(HotkeyTable::getHotkeysEnabled());
    }

    // Renaming, adding and reordering stay in the dialog until OK; each
    // confirmed removal is stored at once on its own (later removals find
    // their item after the earlier ones); Cancel drops everything else.
    void filtersAddRenameDeleteCancelAndOk() {
        storeFilters({{"A", "Ctrl+1"}, {"B", ""}, {"C", "Ctrl+3"}, {"E", "Ctrl+5"}});
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        QStringList rowsBeforeCancel;
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Organize channel filters"));
            QCOMPARE(rows(dialog, 1), (QStringList{"Ctrl+1", "", "Ctrl+3", "Ctrl+5"}));
            driver.on("channelFilterDialog", nameFilter("B2"));
            dialog.selectRow(1);
            dialog.runCommand(kCmdHotkeyProperties);
            driver.on("channelFilterDialog", nameFilter("D"));
            dialog.runCommand(kCmdHotkeyNew);
            dialog.selectRow(2);
            assignKeys(dialog, Qt::Key_9, Qt::ControlModifier);  // C gets Ctrl+9, not stored
            dialog.selectRow(0);
            dialog.runCommand(kCmdHotkeyRemove);  // A
            QCOMPARE(storedNames(config_, "Channel Filter ", "FilterName"), (QStringList{"B", "C", "E"}));
            QCOMPARE(storedHotkeys(config_, "Channel Filter Hotkeys"), (QStringList{"2=Ctrl+3", "3=Ctrl+5"}));
            dialog.selectRow(2);
            dialog.runCommand(kCmdHotkeyRemove);  // E, stored third now
            rowsBeforeCancel = rows(dialog);
            click(dialog, "cancelButton");
        });
        QVERIFY(!organizeChannelFilters(nullptr));
        QCOMPARE(driver.messages, (QStringList{"Remove A?", "Remove E?"}));
        QCOMPARE(rowsBeforeCancel, (QStringList{"B2", "C", "D"}));
        QCOMPARE(storedNames(config_, "Channel Filter ", "FilterName"), (QStringList{"B", "C"}));
        QCOMPARE(storedHotkeys(config_, "Channel Filter Hotkeys"), (QStringList{"2=Ctrl+3"}));
        QCOMPARE(names(options().ChannelFilters), (QStringList{"B", "C"}));

        // OK stores the rows in their order, each hotkey with its item.
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            dialog.selectRow(1);
            dialog.runCommand(kCmdHotkeyMoveUp);
            QCOMPARE(rows(dialog), (QStringList{"C", "B"}));
            assignKeys(dialog, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            dialog.selectRow(1);
            assignKeys(dialog, Qt::Key_F2, Qt::AltModifier);
            click(dialog, "okButton");
        });
        QVERIFY(organizeChannelFilters(nullptr));
        QCOMPARE(storedNames(config_, "Channel Filter ", "FilterName"), (QStringList{"C", "B"}));
        QCOMPARE(storedHotkeys(config_, "Channel Filter Hotkeys"), (QStringList{"1=Ctrl+Shift+C", "2=Alt+F2"}));
        const std::vector<Accel>& accelerators = options().ChannelFilterHotkeys.getAccelerators();
        QCOMPARE(accelerators.size(), std::size_t(2));
        QCOMPARE(accelerators[1].cmd, static_cast<unsigned short>(110));
    }

    // A removal whose store fails leaves the stored list as it was; the row
    // stays removed from the dialog.
    void failedRemovalStoresNothing() {
        storeFilters({{"A", "Ctrl+1"}, {"B", ""}});
        const std::string before = testsupport::readFile(config_);
        testsupport::writeFile(env_->dir.file("blocker"), "");
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            programPaths().userConfigFile = env_->dir.file("blocker/config.ini");  // a folder that is a file
            dialog.selectRow(0);
            dialog.runCommand(kCmdHotkeyRemove);
            programPaths().userConfigFile = config_;
            QCOMPARE(rows(dialog), QStringList{"B"});
            click(dialog, "cancelButton");
        });
        organizeChannelFilters(nullptr);
        QCOMPARE(driver.messages.size(), 2);
        QVERIFY2(driver.messages[1].startsWith("Can't save the new channel filters:\n\n"),
                 qPrintable(driver.messages[1]));
        QCOMPARE(names(options().ChannelFilters), (QStringList{"A", "B"}));
        QCOMPARE(options().ChannelFilterHotkeys.getHotkey(0).toString(), std::string("Ctrl+1"));
        QCOMPARE(options().ChannelFilterHotkeys.getAccelerators().size(), std::size_t(1));
        QCOMPARE(testsupport::readFile(config_), before);
    }

    // Favourites: a picked channel joins at OK only, a removal is not stored
    // at once, and a favourite whose channel is gone is dropped.
    void favoritesAddDeleteAndCancel() {
        channels::Channel* alpha = env_->addRssChannel("alpha", "http://alpha.example/rss");
        channels::Channel* beta = env_->addRssChannel("beta", "http://beta.example/rss");
        options().ChannelFavorites = {alpha->getConfigFilename(), env_->dir.file("Channels/gone.rss")};
        options().ChannelFavoriteHotkeys.clear();
        options().ChannelFavoriteHotkeys.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, 'A', 0));
        options().ChannelFavoriteHotkeys.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, 'G', 0));
        options().saveChannelFavorites();
        auto pickBeta = [&](QDialog& d) {
            auto* list = d.findChild<QListWidget*>(QStringLiteral("channelList"));
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->data(Qt::UserRole).value<void*>() == beta) list->setCurrentRow(i);
            click(d, "okButton");
        };

        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeFavoritesDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFavoritesDlg>(d);
            QCOMPARE(dialog.rowCount(), 1);
            QCOMPARE(dialog.selectedRow(), 0);
            QCOMPARE(dialog.rowText(0, 1), QStringLiteral("Ctrl+A"));
            driver.on("selectChannelDialog", pickBeta);
            dialog.runCommand(kCmdHotkeyNew);
            driver.on("selectChannelDialog", pickBeta);  // the same channel again: its row is selected
            dialog.runCommand(kCmdHotkeyNew);
            QCOMPARE(dialog.rowCount(), 2);
            QCOMPARE(dialog.selectedRow(), 1);
            dialog.selectRow(0);
            dialog.runCommand(kCmdHotkeyRemove);
            QCOMPARE(dialog.rowCount(), 1);
            QCOMPARE(tools::getIniString(config_, "Channel Favorites", "1", "", true), alpha->getConfigFilename());
            click(dialog, "cancelButton");
        });
        QVERIFY(!organizeChannelFavorites(nullptr));
        QCOMPARE(options().ChannelFavorites.size(), std::size_t(2));

        driver.on("organizeFavoritesDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFavoritesDlg>(d);
            driver.on("selectChannelDialog", pickBeta);
            dialog.runCommand(kCmdHotkeyNew);
            click(dialog, "okButton");
        });
        QVERIFY(organizeChannelFavorites(nullptr));
        QCOMPARE(options().ChannelFavorites,
                 (std::vector<std::string>{alpha->getConfigFilename(), beta->getConfigFilename()}));
        QCOMPARE(storedHotkeys(config_, "Channel Favorite Hotkeys"), QStringList{"1=Ctrl+A"});
    }

    // A hotkey held by another row or by another list is taken only when the
    // user agrees; one without Ctrl or Alt needs the hint's OK.
    void assigningHotkeys() {
        storeFilters({{"A", "Ctrl+1"}, {"B", ""}});
        storeReports({report("Daily", "A")}, {"Ctrl+R"});
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            QVERIFY(driver.hints.contains("AssigningHotkeys", Qt::CaseInsensitive));
            dialog.selectRow(1);
            driver.answers = {IDCANCEL};
            assignKeys(dialog, Qt::Key_1, Qt::ControlModifier);
            QCOMPARE(rows(dialog, 1), (QStringList{"Ctrl+1", ""}));
            driver.answers = {IDOK};
            assignKeys(dialog, Qt::Key_1, Qt::ControlModifier);
            QCOMPARE(rows(dialog, 1), (QStringList{"", "Ctrl+1"}));

            assignKeys(dialog, Qt::Key_R, Qt::ControlModifier);
            QCOMPARE(driver.messages.last(),
                     QStringLiteral(
                         "This hotkey is already defined for channel report 'Daily'\n\nClear the other definition?"));
            QCOMPARE(rows(dialog, 1), (QStringList{"", "Ctrl+R"}));

            driver.hints.clear();
            assignKeys(dialog, Qt::Key_F5, Qt::NoModifier);
            QCOMPARE(driver.hints, QStringList{"AltCtrlHotkey"});
            QCOMPARE(rows(dialog, 1), (QStringList{"", "F5"}));
            driver.hints.clear();
            assignKeys(dialog, Qt::Key_F5, Qt::ControlModifier);
            QVERIFY(driver.hints.isEmpty());

            // An emptied box clears the row's hotkey.
            QTest::keyClick(dialog.hotkeyBox(), Qt::Key_Backspace);
            dialog.onAssign();
            QCOMPARE(rows(dialog, 1), (QStringList{"", ""}));
            click(dialog, "cancelButton");
        });
        organizeChannelFilters(nullptr);
        // The report's hotkey went at once, though the filters were cancelled.
        QVERIFY(!options().ChannelReportHotkeys.getHotkey(0).isValid());
        QVERIFY(storedHotkeys(config_, "Channel Report Hotkeys").isEmpty());
        QCOMPARE(storedHotkeys(config_, "Channel Filter Hotkeys"), QStringList{"1=Ctrl+1"});
    }

    // The list's keys: Space opens the selected item, Alt+Up and Alt+Down
    // move it (not past the ends), Delete asks to remove it.
    void listKeys() {
        storeFilters({{"A", ""}, {"B", ""}});
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        int opened = 0;
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            QTreeWidget* list = dialog.list();
            dialog.selectRow(0);
            QVERIFY(!dialog.commandAction(kCmdHotkeyMoveUp)->isEnabled());
            QTest::keyClick(list, Qt::Key_Up, Qt::AltModifier);
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rows(dialog), (QStringList{"A", "B"}));
            QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rows(dialog), (QStringList{"B", "A"}));
            QCOMPARE(dialog.selectedRow(), 1);
            QVERIFY(!dialog.commandAction(kCmdHotkeyMoveDown)->isEnabled());
            QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rows(dialog), (QStringList{"B", "A"}));
            driver.on("channelFilterDialog", [&](QDialog& f) {
                ++opened;
                QCOMPARE(f.findChild<QLineEdit*>("filterNameEdit")->text(), QStringLiteral("A"));
                f.done(QDialog::Rejected);
            });
            QTest::keyClick(list, Qt::Key_Space);
            QCoreApplication::sendPostedEvents();
            driver.answers = {IDCANCEL};
            QTest::keyClick(list, Qt::Key_Delete);
            QCoreApplication::sendPostedEvents();
            QCOMPARE(rows(dialog), (QStringList{"B", "A"}));
            click(dialog, "cancelButton");
        });
        organizeChannelFilters(nullptr);
        QCOMPARE(opened, 1);
        QCOMPARE(driver.messages, QStringList{"Remove A?"});
    }

    // The key box writes what was pressed in the stored text form.
    void keyPressesAsHotkeys() {
        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            const char* text;
        } cases[] = {
            {Qt::Key_A, Qt::ControlModifier, "Ctrl+A"},
            {Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+1"},
            {Qt::Key_7, Qt::AltModifier | Qt::KeypadModifier, "Alt+Num 7"},
            {Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier, "Ctrl+Num +"},
            {Qt::Key_Comma, Qt::ControlModifier | Qt::KeypadModifier, "Ctrl+Separator"},
            {Qt::Key_Period, Qt::ControlModifier | Qt::KeypadModifier, "Ctrl+Decimal"},
            {Qt::Key_F12, Qt::ShiftModifier, "Shift+F12"},
            {Qt::Key_PageDown, Qt::ControlModifier, "Ctrl+Page down"},
            {Qt::Key_Control, Qt::ControlModifier, "<INVALID>"},
            {Qt::Key_Eacute, Qt::ControlModifier, "<INVALID>"},
        };
        for (const auto& c : cases)
            QCOMPARE(QString::fromStdString(hotkeyFromKey(c.key, c.modifiers).toString()), QString::fromLatin1(c.text));
    }

    // The filter dialog's checks run in their order; the first failure is
    // shown and focused and keeps the dialog open.
    void filterDialogValidationOrder() {
        const struct {
            const char* name;
            const char* search;
            bool regExps;
            bool inUrl;
            int duplicateAnswer;
            const char* message;  // "" when none
            const char* focus;
            bool accepted;
            const char* storedSearch;
        } cases[] = {
            {"", "(", true, false, IDOK, "Please enter a valid regular expression.", "searchTextEdit", false, ""},
            {"", "", true, false, IDOK, "Please enter a filter name.", "filterNameEdit", false, ""},
            {"N", "x", false, false, IDOK, "You must choose at least one place to search for the specified text.",
             "searchUrlCheck", false, ""},
            {" n ", "   ", false, false, IDOK, "", "", true, ""},
            {"other", "x", false, true, IDCANCEL, "There is already a channel filter with this name.", "filterNameEdit",
             false, ""},
            {"OTHER", "x", false, true, IDOK, "There is already a channel filter with this name.", "", true, "x"},
        };
        for (const auto& c : cases) {
            Driver driver;
            ScopedModalAnswerer answerer(driver.answerer());
            driver.answers = {c.duplicateAnswer};
            QString focused;
            driver.on("channelFilterDialog", [&](QDialog& dialog) {
                QCOMPARE(dialog.findChild<QCheckBox*>("searchUrlCheck")->isEnabled(), false);
                setText(dialog, "filterNameEdit", QString::fromLatin1(c.name));
                setText(dialog, "searchTextEdit", QString::fromLatin1(c.search));
                dialog.findChild<QCheckBox*>("useRegExpsCheck")->setChecked(c.regExps);
                dialog.findChild<QCheckBox*>("searchUrlCheck")->setChecked(c.inUrl);
                click(dialog, "okButton");
                if (dialog.isVisible()) {
                    focused = dialog.focusWidget() ? dialog.focusWidget()->objectName() : QString();
                    dialog.done(QDialog::Rejected);
                }
            });
            CChannelFilterDlg dialog(ChannelFilter(), {"Other"});
            const bool accepted = runModal(dialog) == QDialog::Accepted;
            QVERIFY2(accepted == c.accepted,
                     qPrintable(QString::fromLatin1(c.name) + ": " + driver.messages.join("|")));
            QCOMPARE(driver.messages.isEmpty() ? QString() : driver.messages.first(), QString::fromLatin1(c.message));
            if (!c.accepted) QCOMPARE(focused, QString::fromLatin1(c.focus));
            if (c.accepted) {
                QCOMPARE(dialog.getFilter().getSearchText(), std::string(c.storedSearch));
                QCOMPARE(QString::fromStdString(dialog.getFilter().getFilterName()),
                         QString::fromLatin1(c.name).trimmed());
            }
        }
    }

    // Reset keeps the name only; Cancel asks only when the form differs from
    // the filter it was opened with.
    void filterDialogResetAndCancel() {
        ChannelFilter filter = filterNamed("Tech");
        filter.setSearchText("tech");
        filter.setSearchTextInChannelName(true);
        filter.setChannelCategories({"News"}, ChannelFilter::AnyCategory);
        filter.setSortOrder(ChannelFilter::UnreadItems);
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("channelFilterDialog", [&](QDialog& d) {
            auto& dialog = as<CChannelFilterDlg>(d);
            QCOMPARE(dialog.findChild<QComboBox*>("sortOrderCombo")->currentText(), QStringLiteral("Unread items"));
            QCOMPARE(dialog.listBox()->count(), 1);
            click(dialog, "cancelButton");  // unchanged: closes without a question
        });
        CChannelFilterDlg unchanged(filter, {});
        QCOMPARE(runModal(unchanged), int(QDialog::Rejected));
        QVERIFY(driver.messages.isEmpty());

        driver.on("channelFilterDialog", [&](QDialog& d) {
            auto& dialog = as<CChannelFilterDlg>(d);
            setText(dialog, "filterNameEdit", "Renamed");
            click(dialog, "resetButton");
            QCOMPARE(dialog.listBox()->count(), 0);
            QCOMPARE(dialog.findChild<QLineEdit*>("searchTextEdit")->text(), QString());
            QCOMPARE(dialog.findChild<QComboBox*>("sortOrderCombo")->currentText(), QStringLiteral("Default"));
            QCOMPARE(dialog.findChild<QLineEdit*>("filterNameEdit")->text(), QStringLiteral("Renamed"));
            driver.answers = {IDCANCEL};
            click(dialog, "cancelButton");
            QVERIFY(dialog.isVisible());
            driver.answers = {IDOK};
            click(dialog, "cancelButton");
        });
        CChannelFilterDlg changed(filter, {});
        QCOMPARE(runModal(changed), int(QDialog::Rejected));
        QCOMPARE(driver.messages, (QStringList{"Reset this channel filter?",
                                               "This channel filter has been changed.\n\nDiscard the changes?",
                                               "This channel filter has been changed.\n\nDiscard the changes?"}));
    }

    // A report on "Tech" selects "Tech", not "Tech news"; a filter name that
    // no filter has exactly selects none, and OK then asks for one.
    void reportDialogSelectsItsFilterExactly() {
        storeFilters({{"Tech", ""}, {"Tech news", ""}, {"Sports", ""}});
        const struct {
            const char* stored;
            const char* selected;
        } cases[] = {{"Tech", "Tech"}, {"tech NEWS", "Tech news"}, {"Sports", "Sports"}, {"Tec", ""}, {"", ""}};
        for (const auto& c : cases) {
            Driver driver;
            ScopedModalAnswerer answerer(driver.answerer());
            QString selected;
            driver.on("channelReportDialog", [&](QDialog& dialog) {
                selected = dialog.findChild<QComboBox*>("filterCombo")->currentText();
                click(dialog, "okButton");
                if (dialog.isVisible()) dialog.done(QDialog::Rejected);
            });
            CChannelReportConfigDlg dialog(report("R", c.stored), {});
            const bool accepted = runModal(dialog) == QDialog::Accepted;
            QCOMPARE(selected, QString::fromLatin1(c.selected));
            QCOMPARE(accepted, *c.selected != 0);
            if (accepted) {
                QCOMPARE(QString::fromStdString(dialog.getReportConfig().getChannelFilterName()),
                         QString::fromLatin1(c.selected));
            } else {
                QCOMPARE(driver.messages,
                         QStringList{
                             "Please choose a filter that will determine which channels are included in this report."});
            }
        }
    }

    // The report dialog's OK checks, in order, and what OK stores.
    void reportDialogChecks() {
        storeFilters({{"Tech", ""}});
        const std::string templateFile = env_->dir.file("r.template");
        testsupport::writeFile(templateFile, "x");
        const std::string folder = env_->dir.file("Channels");
        const struct {
            const char* name;
            bool workpad;
            std::string templatePath;
            const char* output;
            bool show;
            const char* interval;
            const char* message;
            int storedInterval;
        } cases[] = {
            {" ", false, "", "", true, "disabled", "Please enter a name for this report.", 0},
            {"R", false, folder, "", true, "disabled", "Cannot find this template file: ", 0},
            {"R", false, env_->dir.file("missing.template"), "", true, "disabled",
             "Cannot find this template file: ", 0},
            {"R", false, "", "", false, "disabled",
             "If you do not want to see the report when it is generated, you must specify a file to store the report "
             "in.",
             0},
            {"R", false, "", "", true, "soon", "Invalid auto-generate interval.", 0},
            {"R", false, templateFile, "out.html", true, "30 minutes",
             "Reports cannot be generated more than once an hour.", 0},
            {"R", true, "", "", true, "day", "Auto-generated reports must have an output file specified.", 0},
            {"R", true, "", "out.html", true, "hour", "", 3600},
            {"R", false, templateFile, "", true, "DISABLED", "", 0},
        };
        for (const auto& c : cases) {
            Driver driver;
            ScopedModalAnswerer answerer(driver.answerer());
            driver.on("channelReportDialog", [&](QDialog& dialog) {
                setText(dialog, "reportNameEdit", QString::fromLatin1(c.name));
                dialog.findChild<QRadioButton*>(c.workpad ? "workpadRadio" : "filterRadio")->click();
                QCOMPARE(dialog.findChild<QComboBox*>("filterCombo")->isEnabled(), !c.workpad);
                setText(dialog, "templateEdit", QString::fromStdString(c.templatePath));
                setText(dialog, "outputEdit", QString::fromLatin1(c.output));
                dialog.findChild<QCheckBox*>("showResultsCheck")->setChecked(c.show);
                setText(dialog, "intervalCombo", QString::fromLatin1(c.interval));
                click(dialog, "okButton");
                if (dialog.isVisible()) dialog.done(QDialog::Rejected);
            });
            CChannelReportConfigDlg dialog(report("", "Tech"), {});
            const bool accepted = runModal(dialog) == QDialog::Accepted;
            const QString expected = QString::fromLatin1(c.message);
            QCOMPARE(accepted, expected.isEmpty());
            if (!accepted) {
                QCOMPARE(driver.messages.size(), 1);
                QVERIFY2(driver.messages.first().startsWith(expected), qPrintable(driver.messages.first()));
            } else {
                QCOMPARE(dialog.getReportConfig().getAutoUpdateInterval(), c.storedInterval);
                QCOMPARE(dialog.getReportConfig().getChannelFilterName(), std::string("Tech"));
                QCOMPARE(dialog.getReportConfig().getDataSource(), c.workpad ? 1 : 0);
            }
        }
    }

    // The browse buttons put the chosen file into their box; a cancelled
    // browse changes nothing.
    void reportDialogBrowse() {
        const std::string templateFile = env_->dir.file("mine.template");
        testsupport::writeFile(templateFile, "x");
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        QStringList titles;
        driver.on("channelReportDialog", [&](QDialog& dialog) {
            setText(dialog, "reportNameEdit", "R");
            driver.files = [&](QFileDialog& files) {
                titles << files.windowTitle();
                files.selectFile(QString::fromStdString(templateFile));
                static_cast<QDialog&>(files).accept();
            };
            click(dialog, "templateBrowseButton");
            QCOMPARE(dialog.findChild<QLineEdit*>("templateEdit")->text(), QString::fromStdString(templateFile));
            QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("templateEdit"));
            driver.files = [&](QFileDialog& files) {
                titles << files.windowTitle();
                QCOMPARE(files.acceptMode(), QFileDialog::AcceptSave);
            };
            click(dialog, "outputBrowseButton");
            QCOMPARE(dialog.findChild<QLineEdit*>("outputEdit")->text(), QString());
            QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("outputBrowseButton"));
            click(dialog, "okButton");
        });
        CChannelReportConfigDlg dialog(report("", "Tech"), {});
        storeFilters({{"Tech", ""}});
        QCOMPARE(runModal(dialog), int(QDialog::Accepted));
        QCOMPARE(titles, (QStringList{"Channel report template", "Channel report file"}));
        QCOMPARE(dialog.getReportConfig().getTemplateFilename(), templateFile);
    }

    // organize reports -> a report -> its filter button -> organize filters:
    // hotkeys stay off until the outermost dialog has closed.
    void nestedHotkeyDialogs() {
        storeFilters({{"Tech", "Ctrl+T"}, {"Tech news", ""}});
        storeReports({report("Daily", "Tech")}, {"Ctrl+R"});
        QVERIFY(HotkeyTable::getHotkeysEnabled());
        QStringList states;
        auto note = [&](const char* where) {
            states << QString::fromLatin1(where) + (HotkeyTable::getHotkeysEnabled() ? " on" : " off");
        };
        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeReportsDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelReportsDlg>(d);
            note("reports");
            driver.on("channelReportDialog", [&](QDialog& report) {
                note("report");
                driver.on("organizeFiltersDialog", [&](QDialog& f) {
                    auto& filters = as<COrganizeChannelFiltersDlg>(f);
                    note("filters");
                    filters.selectRow(1);
                    click(filters, "okButton");
                });
                click(report, "organizeFiltersButton");
                note("report after filters");
                QCOMPARE(report.findChild<QComboBox*>("filterCombo")->currentText(), QStringLiteral("Tech news"));
                // OK without a selected filter keeps the report's filter.
                driver.on("organizeFiltersDialog", [&](QDialog& f) {
                    auto& filters = as<COrganizeChannelFiltersDlg>(f);
                    filters.list()->clearSelection();
                    click(filters, "okButton");
                });
                click(report, "organizeFiltersButton");
                QCOMPARE(report.findChild<QComboBox*>("filterCombo")->currentText(), QStringLiteral("Tech news"));
                click(report, "okButton");
            });
            dialog.selectRow(0);
            dialog.runCommand(kCmdHotkeyProperties);
            note("reports after report");
            click(dialog, "cancelButton");
        });
        QVERIFY(!organizeChannelReports(nullptr));
        note("closed");
        QCOMPARE(states, (QStringList{"reports off", "report off", "filters off", "report after filters off",
                                      "reports after report off", "closed on"}));
        // The report's edit was cancelled with its dialog.
        QCOMPARE(options().ChannelReportConfigs[0].getChannelFilterName(), std::string("Tech"));
    }

    // OK in the reports dialog generates the chosen report: into its file
    // (announced) or into a simple-browser window; without a choice it asks.
    void reportGeneratedAtOk() {
        channels::Channel* tech = env_->addRssChannel("tech", "http://tech.example/rss");
        env_->addRssChannel("other", "http://other.example/rss");
        (void)tech;
        storeFilters({{"tech", ""}});
        const std::string templateFile = env_->dir.file("urls.template");
        testsupport::writeFile(templateFile, "{%REPEAT%Channels}[{%CHANNEL-URL%}]{%/REPEAT%}");
        ChannelReportConfig saved = report("Saved", "Tech");
        saved.setTemplateFilename(templateFile);
        saved.setOutputFilename(env_->dir.file("saved.html"));
        saved.setShowResults(false);
        ChannelReportConfig shown = report("Shown", "Tech");
        shown.setTemplateFilename(templateFile);
        storeReports({saved, shown}, {});
        BrowserCatcher browser;
        setDesktopServices(&browser);

        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeReportsDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelReportsDlg>(d);
            QCOMPARE(dialog.selectedRow(), -1);
            // Generated by the timer while the dialog is open: storing the rows
            // keeps that time.
            options().ChannelReportConfigs[1].setLastUpdateTimeNow(1700000000);
            click(dialog, "okButton");
            QVERIFY(dialog.isVisible());
            QCOMPARE(options().ChannelReportConfigs[1].getLastUpdateTime(), 1700000000);
            QCOMPARE(tools::getIniString(config_, "Channel Report Config 2", "LastUpdateTime", "", true),
                     std::string("1700000000"));
            dialog.selectRow(0);
            click(dialog, "okButton");
        });
        QVERIFY(organizeChannelReports(nullptr));
        QCOMPARE(driver.messages, (QStringList{"Please choose a report to generate.",
                                               "The report has been generated and saved in " +
                                                   QString::fromStdString(env_->dir.file("saved.html"))}));
        QCOMPARE(QString::fromStdString(testsupport::readFile(env_->dir.file("saved.html"))),
                 QStringLiteral("[http://tech.example/rss]"));

        driver.messages.clear();
        driver.on("organizeReportsDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelReportsDlg>(d);
            dialog.selectRow(1);
            click(dialog, "okButton");
        });
        QVERIFY(organizeChannelReports(nullptr));
        setDesktopServices(nullptr);
        QVERIFY(driver.messages.isEmpty());
        QCOMPARE(browser.shown.size(), 1);
        QVERIFY2(browser.shown[0].startsWith("Channel report: Shown | file:///"), qPrintable(browser.shown[0]));
        const QString page = browser.shown[0].section(" | ", 1);
        QCOMPARE(QString::fromStdString(testsupport::readFile(QUrl(page).toLocalFile().toStdString())),
                 QStringLiteral("[http://tech.example/rss]"));

        // A report that cannot be generated says why.
        storeReports({report("Broken", "No such filter")}, {});
        driver.on("organizeReportsDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelReportsDlg>(d);
            dialog.selectRow(0);
            click(dialog, "okButton");
        });
        QVERIFY(organizeChannelReports(nullptr));
        QCOMPARE(driver.messages.size(), 1);
        QVERIFY(driver.messages[0].startsWith("Can't generate the channel report.\n\n"));
    }

    // The filters dialog and My Channels: the applied filter is pre-selected,
    // Apply and Clear act at once, OK applies the chosen filter.
    void filtersAndMyChannels() {
        env_->addRssChannel("tech", "http://tech.example/rss");
        env_->addRssChannel("other", "http://other.example/rss");
        storeFilters({{"tech", ""}, {"other", ""}});
        CWorkspaceBar bar(nullptr);
        CControlCenterMyChannelsWnd* myChannels = bar.getMyChannelsWnd();
        myChannels->setChannelFilter(options().ChannelFilters[1]);
        bar.tabs()->setCurrentIndex(1);
        auto shownName = [&] { return QString::fromStdString(myChannels->getChannelFilter().getFilterName()); };

        Driver driver;
        ScopedModalAnswerer answerer(driver.answerer());
        driver.on("organizeFiltersDialog", [&](QDialog& d) {
            auto& dialog = as<COrganizeChannelFiltersDlg>(d);
            QCOMPARE(dialog.selectedRow(), 1);
            dialog.selectRow(0);
            click(dialog, "applyButton");
            QCOMPARE(shownName(), QStringLiteral("tech"));
            QCOMPARE(myChannels->topLevelItemCount(), 1);
            QCOMPARE(bar.tabs()->currentIndex(), 0);
            click(dialog, "extraButton");
            QCOMPARE(dialog.extraButton()->text(), QStringLiteral("&Clear"));
            QCOMPARE(myChannels->topLevelItemCount(), 2);
            QCOMPARE(dialog.selectedRow(), -1);
            QVERIFY(!dialog.applyButton()->isEnabled());
            // The filter dialog's Apply tries an unnamed form without storing it.
            driver.on("channelFilterDialog", [&](QDialog& f) {
                setText(f, "filterNameEdit", "");
                setText(f, "searchTextEdit", "other");
                f.findChild<QCheckBox*>("searchUrlCheck")->setChecked(true);
                click(f, "applyButton");
                QCOMPARE(myChannels->topLevelItemCount(), 1);
                f.done(QDialog::Rejected);
            });
            dialog.selectRow(0);
            dialog.runCommand(kCmdHotkeyProperties);
            QCOMPARE(dialog.rowText(0), QStringLiteral("tech"));
            dialog.selectRow(1);
            click(dialog, "okButton");
        });
        bar.tabs()->setCurrentIndex(1);
        QVERIFY(organizeChannelFilters(nullptr));
        QCOMPARE(shownName(), QStringLiteral("other"));
        QCOMPARE(bar.tabs()->currentIndex(), 0);
        QCOMPARE(names(options().ChannelFilters), (QStringList{"tech", "other"}));
    }
};

QTEST_MAIN(OrganizeDialogsTest)
#include "organizeDialogs_qtest.moc"
