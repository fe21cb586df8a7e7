// The user's hotkeys bound to the windows: key presses as the stored forms,
// and a hotkey taken before the focus widget's own key.
#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/core/programPaths.h"
#include "desktop/desktopWiring.h"
#include "app/options/globalOptions.h"
#include "widgets/base/messageBox.h"
#include "dialogs/organize/keyAssign.h"
#include "tests/support/test_support.h"
#include "ui/bars/controlCenterPanes.h"
#include "ui/bars/workspaceBar.h"
#include "ui/events/uiHandler.h"
#include "ui/frame/mainFrame.h"
#include "widgets/hotkeys/hotkeyBinding.h"

namespace {

std::string text(const Hotkey& hotkey) { return hotkey.isValid() ? hotkey.toString() : std::string(); }

}  // namespace

class HotkeysTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setUiHandler(true);
        wiring.install();
    }

    // A key press as the two forms a stored hotkey can take; each stored
    // form leads back to a key press that gives it.
    void keyPressesAsStoredHotkeys() {
        struct Case {
            int key;
            Qt::KeyboardModifiers modifiers;
            quint32 scanCode;
            const char* virtualForm;
            const char* characterForm;
        };
        const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier,
                                    keypad = Qt::KeypadModifier;
        const std::vector<Case> cases = {
            {Qt::Key_A, ctrl, 0, "Ctrl+A", "Ctrl+a"},
            {Qt::Key_A, ctrl | shift, 0, "Ctrl+Shift+A", ""},
            {Qt::Key_Exclam, ctrl | shift, 0, "Ctrl+Shift+1", "Ctrl+!"},
            {Qt::Key_ParenRight, alt | shift, 0, "Shift+Alt+0", "Alt+)"},
            // Another layout's Shift+2, known by its scan code.
            {Qt::Key_QuoteDbl, ctrl | shift, 11, "Ctrl+Shift+2", "Ctrl+\""},
            {Qt::Key_Plus, ctrl | keypad, 0, "Ctrl+Num +", ""},
            {Qt::Key_Comma, ctrl | keypad, 0, "Ctrl+Separator", ""},
            {Qt::Key_Period, ctrl | keypad, 0, "Ctrl+Decimal", ""},
            {Qt::Key_SysReq, alt, 0, "Alt+Print Screen", ""},
            {Qt::Key_5, keypad, 0, "Num 5", ""},
            {Qt::Key_Home, keypad, 0, "Home", ""},
            {Qt::Key_Enter, keypad, 0, "Enter", ""},
            {Qt::Key_F5, ctrl | alt, 0, "Ctrl+Alt+F5", ""},
            {Qt::Key_F24, {}, 0, "F24", ""},
            {Qt::Key_Backtab, shift, 0, "Shift+Tab", ""},
            {Qt::Key_Print, {}, 0, "Print Screen", ""},
            {Qt::Key_Space, ctrl, 0, "Ctrl+Space", "Ctrl+ "},
            {Qt::Key_Semicolon, ctrl, 0, "", "Ctrl+;"},
            {Qt::Key_A, Qt::MetaModifier, 0, "", ""},
            {Qt::Key_Control, ctrl, 0, "", ""},
        };
        for (const Case& c : cases) {
            Hotkey virtualForm, characterForm;
            const bool any = ui::hotkeysFromKeyPress(c.key, c.modifiers, c.scanCode, virtualForm, characterForm);
            const QString what = QString("key %1").arg(c.key, 0, 16);
            QVERIFY2(text(virtualForm) == c.virtualForm,
                     qPrintable(what + " gives " + QString::fromStdString(text(virtualForm))));
            QVERIFY2(text(characterForm) == c.characterForm, qPrintable(what));
            QCOMPARE(any, *c.virtualForm != 0 || *c.characterForm != 0);
            // The stored text pressed again gives the same hotkey.
            for (const char* stored : {c.virtualForm, c.characterForm}) {
                if (*stored == 0) continue;
                Hotkey hotkey;
                QVERIFY(hotkey.fromString(stored));
                const QKeyCombination combination = ui::qtKeyFromHotkey(hotkey);
                Hotkey again, againCharacter;
                ui::hotkeysFromKeyPress(combination.key(), combination.keyboardModifiers(), 0, again, againCharacter);
                QVERIFY2(again == hotkey || againCharacter == hotkey, stored);
            }
        }
    }

    // Every key the stored form can name, pressed into the organize dialogs'
    // hotkey box: the box shows the stored text, and that text, stored in a
    // hotkey table, fires on the same key press.
    void everyKeyFromTheBoxToTheBinding() {
        struct NoOwner : HotkeyTableOwner {
            void getHotkeyItemDescription(const HotkeyTable*, int, std::string&, std::string&) const override {}
        } owner;
        HotkeyTable table(&owner, 33100);
        std::vector<unsigned> fired;
        ui::installHotkeyBinding([&](unsigned command) { fired.push_back(command); });
        dialogs::CKeyAssign box;
        int keys = 0;
        for (unsigned short code = 1; code < 256; ++code) {
            const bool letterOrDigit = (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z');
            if (!letterOrDigit && Hotkey::keyName(code).empty()) continue;
            const Hotkey wanted(FVIRTKEY | FCONTROL, code, 0);
            const QString what = QString::fromStdString(wanted.toString());
            const QKeyCombination press = ui::qtKeyFromHotkey(wanted);
            QVERIFY2(press.key() != Qt::Key_unknown, qPrintable(what + " has no key"));

            box.setHotkey(Hotkey());
            // With no text: QTest has no characters for most of these keys.
            QTest::sendKeyEvent(QTest::Click, &box, press.key(), QString(), press.keyboardModifiers());
            // Shift, Control and Menu are modifiers: alone they are no hotkey.
            if (code == 16 || code == 17 || code == 18) {
                QVERIFY2(box.text().isEmpty(), qPrintable(what + " shown as " + box.text()));
                continue;
            }
            QCOMPARE(box.text(), what);
            Hotkey stored;
            QVERIFY(stored.fromString(box.text().toStdString()));

            table.clear();
            table.appendHotkey(stored);
            table.buildAcceleratorTable();
            QKeyEvent event(QEvent::KeyPress, press.key(), press.keyboardModifiers());
            QVERIFY2(ui::findHotkeyCommand(event) == 33100, qPrintable(what + " does not fire"));
            ++keys;
        }
        table.clear();
        ui::removeHotkeyBinding();
        QCOMPARE(keys, 10 + 26 + 66 - 3);
        QVERIFY(fired.empty());  // looked up, never run
    }

    // Ctrl+A typed into a line edit: the user's filter hotkey takes it, not
    // the line edit's select-all nor a menu shortcut; switched off, or under
    // a modal dialog, the key is the widget's again.
    void hotkeyBeforeTheFocusWidget() {
        testsupport::TempDir dir;
        programPaths().userConfigFile = dir.file("config.ini");
        GlobalOptions& options = GlobalOptions::instance();
        options.ChannelFilters.clear();
        options.ChannelFilterHotkeys.clear();
        for (const char* name : {"All", "Mine"}) {
            ChannelFilter filter;
            filter.setFilterName(name);
            options.ChannelFilters.push_back(filter);
        }
        Hotkey stored;
        QVERIFY(stored.fromString("Ctrl+a"));
        options.ChannelFilterHotkeys.appendHotkey(Hotkey());
        options.ChannelFilterHotkeys.appendHotkey(stored);
        options.ChannelFilterHotkeys.buildAcceleratorTable();

        CMainFrame::Setup setup;
        setup.appName = "Orvan";
        setup.logsDir = dir.str();
        setup.trayAttempts = 1;
        auto frame = std::make_unique<CMainFrame>();
        QVERIFY(frame->create(setup));
        int menuShortcut = 0;
        QAction* shortcut = frame->addCommand(33001, "Select everything");
        shortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
        frame->addAction(shortcut);
        connect(shortcut, &QAction::triggered, [&] { ++menuShortcut; });
        auto* edit = new QLineEdit(QStringLiteral("hello"), frame.get());
        edit->move(300, 300);
        frame->show();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        CControlCenterMyChannelsWnd* list = frame->getWorkspaceBar()->getMyChannelsWnd();

        edit->deselect();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTRY_COMPARE(list->getChannelFilter().getFilterName(), std::string("Mine"));
        QCOMPARE(edit->selectedText(), QString());
        QCOMPARE(menuShortcut, 0);
        // The same from a widget that leaves Ctrl+A to the shortcuts.
        list->setChannelFilter(options.ChannelFilters[0]);
        auto* button = new QPushButton(QStringLiteral("button"), frame.get());
        button->show();
        button->setFocus();
        QTRY_VERIFY(button->hasFocus());
        QTest::keyClick(button, Qt::Key_A, Qt::ControlModifier);
        QTRY_COMPARE(list->getChannelFilter().getFilterName(), std::string("Mine"));
        QCOMPARE(menuShortcut, 0);
        edit->setFocus();

        // Hotkeys off: the line edit selects all.
        list->setChannelFilter(options.ChannelFilters[0]);
        HotkeyTable::setHotkeysEnabled(false);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        HotkeyTable::setHotkeysEnabled(true);
        QCOMPARE(edit->selectedText(), QString("hello"));
        QCoreApplication::processEvents();
        QCOMPARE(list->getChannelFilter().getFilterName(), std::string("All"));

        // A modal dialog keeps its keys.
        QString selectedInDialog;
        dialogs::ScopedModalAnswerer answerer([&](QDialog& dialog) {
            auto* field = dialog.findChild<QLineEdit*>();
            field->setFocus();
            QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            selectedInDialog = field->selectedText();
            dialog.reject();
        });
        {
            QDialog dialog(frame.get());
            new QLineEdit(QStringLiteral("typed"), &dialog);
            dialogs::runModal(dialog);
        }
        QCOMPARE(selectedInDialog, QString("typed"));
        QCoreApplication::processEvents();
        QCOMPARE(list->getChannelFilter().getFilterName(), std::string("All"));

        frame.reset();
        options.ChannelFilterHotkeys.clear();
        options.ChannelFilters.clear();
    }

private:
    DesktopWiring wiring;
};

QTEST_MAIN(HotkeysTest)
#include "hotkeys_qtest.moc"
