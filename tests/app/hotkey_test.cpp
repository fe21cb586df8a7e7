// Hotkeys: the text form, hotkey tables in config.ini, accelerators.
#include <gtest/gtest.h>

#include "app/options/hotkey.h"
#include "tests/support/test_support.h"
#include "tools/ini.h"

namespace {

TEST(Hotkey, TextForm) {
    struct Case {
        const char* text;  // what is read
        bool parses;
        unsigned char flags;
        unsigned short key;
        const char* written;  // what is written back
    } cases[] = {
        {"Ctrl+Shift+Alt+F1", true, FCONTROL | FSHIFT | FALT | FVIRTKEY, 112, "Ctrl+Shift+Alt+F1"},
        {"alt+ctrl+f5", true, FALT | FCONTROL | FVIRTKEY, 116, "Ctrl+Alt+F5"},
        {"Ctrl+a", true, FCONTROL, 97, "Ctrl+a"},
        {"Ctrl+A", true, FCONTROL | FVIRTKEY, 65, "Ctrl+A"},
        {"Shift+7", true, FSHIFT | FVIRTKEY, 55, "Shift+7"},
        {"Ctrl+Num +", true, FCONTROL | FVIRTKEY, 107, "Ctrl+Num +"},
        {"Ctrl++", true, FCONTROL, '+', "Ctrl++"},
        {"Page Down", true, FVIRTKEY, 34, "Page down"},
        {"Ctrl+Print Screen", true, FCONTROL | FVIRTKEY, 44, "Ctrl+Print Screen"},
        {"Ctrl+F25", false, 0, 0, "<INVALID>"},
        {"Ctrl+", false, 0, 0, "<INVALID>"},
        {"", false, 0, 0, "<INVALID>"},
        {"Ctrl+A+B", false, 0, 0, "<INVALID>"},
        {"Ctrl+\x01", false, 0, 0, "<INVALID>"},
    };
    for (const auto& c : cases) {
        Hotkey hotkey(FALT, 9, 3);  // parsing starts from a cleared hotkey
        EXPECT_EQ(hotkey.fromString(c.text), c.parses) << c.text;
        EXPECT_EQ(hotkey.getAccel().fVirt, c.flags) << c.text;
        EXPECT_EQ(hotkey.getAccel().key, c.key) << c.text;
        EXPECT_EQ(hotkey.getAccel().cmd, 0) << c.text;
        EXPECT_EQ(hotkey.toString(), c.written) << c.text;
    }
    EXPECT_EQ(Hotkey(FVIRTKEY | FCONTROL, 200, 0).toString(), "Ctrl+INVALID");
    EXPECT_EQ(Hotkey(FCONTROL, 200, 0).toString(), "Ctrl+INVALID");
}

class TestOwner : public HotkeyTableOwner {
public:
    void getHotkeyItemDescription(const HotkeyTable*, int index, std::string& kind, std::string& name) const override {
        kind = "item";
        name = "item " + std::to_string(index);
    }
};

TEST(HotkeyTable, SlotsFollowTheItemsWithGaps) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("config.ini");
    TestOwner owner;
    HotkeyTable table(&owner, 109);
    for (int i = 0; i < 5; ++i) table.appendHotkey(Hotkey());
    table.getHotkey(1) = Hotkey(FCONTROL | FVIRTKEY, 'B', 0);
    table.getHotkey(4) = Hotkey(FALT | FVIRTKEY, 113, 0);
    table.save(ini, "Hotkeys");
    EXPECT_EQ(tools::getIniKeyNames(ini, "Hotkeys"), (std::vector<std::string>{"2", "5"}));

    HotkeyTable loaded(&owner, 109);
    loaded.load(ini, "Hotkeys", 5);
    ASSERT_EQ(loaded.getHotkeyCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(loaded.getHotkey(i), table.getHotkey(i)) << i;
    EXPECT_EQ(loaded.getAccelerators(),
              (std::vector<Accel>{{FCONTROL | FVIRTKEY, 'B', 110}, {FALT | FVIRTKEY, 113, 113}}));

    loaded.load(ini, "Hotkeys", 3);  // fewer items: the fifth is dropped
    EXPECT_EQ(loaded.getHotkeyCount(), 3);
    EXPECT_EQ(loaded.getAccelerators().size(), 1u);

    testsupport::writeFile(ini, "[Hotkeys]\n1=Ctrl+F25\n2=Ctrl+\n3=\n4=Shift+F2\n");
    loaded.load(ini, "Hotkeys", 4);
    EXPECT_FALSE(loaded.getHotkey(0).isValid());
    EXPECT_FALSE(loaded.getHotkey(1).isValid());
    EXPECT_FALSE(loaded.getHotkey(2).isValid());
    EXPECT_EQ(loaded.getHotkey(3).toString(), "Shift+F2");
}

TEST(HotkeyTable, OnlyTheCommandRangeGetsAcceleratorsAndTranslation) {
    TestOwner owner;
    HotkeyTable table(&owner, 109);
    for (int i = 0; i < 25; ++i)
        table.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, static_cast<unsigned short>('A' + i), 0));
    table.buildAcceleratorTable();
    ASSERT_EQ(table.getAccelerators().size(), 20u);
    EXPECT_EQ(table.getAccelerators().back().cmd, 128);

    std::vector<unsigned> commands;
    const Hotkey ctrlC(FCONTROL | FVIRTKEY, 'C', 0);
    EXPECT_FALSE(HotkeyTable::translateAccelerator(ctrlC));  // no main window yet
    HotkeyTable::setCommandTarget([&](unsigned command) { commands.push_back(command); });
    EXPECT_TRUE(HotkeyTable::translateAccelerator(ctrlC));
    EXPECT_FALSE(HotkeyTable::translateAccelerator(Hotkey(FCONTROL | FVIRTKEY, 'Y', 0)));  // 25th item
    EXPECT_FALSE(HotkeyTable::translateAccelerator(Hotkey(FCONTROL | FSHIFT | FVIRTKEY, 'C', 0)));
    HotkeyTable::setHotkeysEnabled(false);
    EXPECT_FALSE(HotkeyTable::translateAccelerator(ctrlC));
    HotkeyTable::setHotkeysEnabled(true);
    HotkeyTable::setCommandTarget(nullptr);
    EXPECT_EQ(commands, std::vector<unsigned>{111});

    HotkeyTable empty(&owner, 149);
    empty.appendHotkey(Hotkey());
    empty.buildAcceleratorTable();
    EXPECT_TRUE(empty.getAccelerators().empty());
}

TEST(HotkeyTable, SwitchingOffNests) {
    // Three dialogs that capture keys, one opened from the other: hotkeys
    // come back only when the outermost one closes, whatever the order.
    TestOwner owner;
    HotkeyTable table(&owner, 109);
    table.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, 'C', 0));
    table.buildAcceleratorTable();
    int commands = 0;
    HotkeyTable::setCommandTarget([&](unsigned) { ++commands; });
    const Hotkey ctrlC(FCONTROL | FVIRTKEY, 'C', 0);
    {
        HotkeySuspension outer;
        {
            HotkeySuspension middle;
            HotkeyTable::setHotkeysEnabled(false);  // the innermost, by hand
            HotkeyTable::setHotkeysEnabled(true);
            EXPECT_FALSE(HotkeyTable::getHotkeysEnabled());
        }
        EXPECT_FALSE(HotkeyTable::getHotkeysEnabled());
        EXPECT_FALSE(HotkeyTable::translateAccelerator(ctrlC));
    }
    EXPECT_TRUE(HotkeyTable::getHotkeysEnabled());
    // An unmatched switch-on does not bank a later switch-off.
    HotkeyTable::setHotkeysEnabled(true);
    HotkeyTable::setHotkeysEnabled(false);
    EXPECT_FALSE(HotkeyTable::getHotkeysEnabled());
    HotkeyTable::setHotkeysEnabled(true);
    EXPECT_TRUE(HotkeyTable::translateAccelerator(ctrlC));
    HotkeyTable::setCommandTarget(nullptr);
    EXPECT_EQ(commands, 1);
}

TEST(HotkeyTable, FindsAndRemovesAcrossTables) {
    TestOwner owner;
    HotkeyTable first(&owner, 109), second(&owner, 149);
    first.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, 'A', 0));
    second.appendHotkey(Hotkey());
    second.appendHotkey(Hotkey(FCONTROL | FVIRTKEY, 'B', 0));
    second.buildAcceleratorTable();

    std::string kind, name;
    const Hotkey ctrlB(FCONTROL | FVIRTKEY, 'B', 0);
    EXPECT_FALSE(HotkeyTable::deleteHotkeyInOtherTables(ctrlB, &second, false, kind, name));
    EXPECT_TRUE(HotkeyTable::deleteHotkeyInOtherTables(ctrlB, &first, false, kind, name));
    EXPECT_EQ(name, "item 1");
    EXPECT_TRUE(second.getHotkey(1).isValid());  // only looked

    EXPECT_TRUE(second.deleteHotkey(ctrlB, true, kind, name));
    EXPECT_FALSE(second.getHotkey(1).isValid());
    EXPECT_TRUE(second.getAccelerators().empty());
    EXPECT_FALSE(second.deleteHotkey(ctrlB, false, kind, name));
}

}  // namespace
