#pragma once
// Keyboard shortcuts of channel favourites, filters and reports.
//
// A Hotkey is one key combination in the accelerator form (flags, key,
// command); its text form is "Ctrl+Shift+Alt+<key>" with the key as a digit,
// a capital letter, a printable character or a key name ("F1", "Num +").
// A HotkeyTable holds one slot per item of its owner's list, stores the
// slots in one INI section (key "i" = text of slot i, from 1; empty slots
// leave no key) and keeps the accelerators built from them: slot i gives the
// command base + i. A command range holds 20 items, so only the first 20
// slots get accelerators.
//
// The desktop offers each key press to HotkeyTable::translateAccelerator,
// which hands the command of the first table that knows the key to the
// command target that the main window installs (none: nothing is
// translated).
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

// Accelerator flags (the stored values).
enum : unsigned char { FVIRTKEY = 1, FSHIFT = 4, FCONTROL = 8, FALT = 16 };

// One accelerator entry.
struct Accel {
    unsigned char fVirt = 0;
    unsigned short key = 0;
    unsigned short cmd = 0;
    bool operator==(const Accel&) const = default;
};

class Hotkey {
public:
    Hotkey() = default;
    explicit Hotkey(const Accel& accel) : accel_(accel) {}
    Hotkey(unsigned char flags, unsigned short key, unsigned short command) : accel_{flags, key, command} {}
    Hotkey(const Hotkey& other) = default;
    Hotkey& operator=(const Hotkey& other) = default;
    virtual ~Hotkey() = default;

    bool isValid() const { return accel_.key > 0; }
    bool isCtrl() const { return (accel_.fVirt & FCONTROL) != 0; }
    bool isShift() const { return (accel_.fVirt & FSHIFT) != 0; }
    bool isAlt() const { return (accel_.fVirt & FALT) != 0; }
    const Accel& getAccel() const { return accel_; }
    void clear() { accel_ = Accel(); }

    bool operator==(const Hotkey& other) const { return accel_ == other.accel_; }
    bool operator!=(const Hotkey& other) const { return !(*this == other); }

    // "<INVALID>" for an invalid hotkey; else the modifiers (Ctrl+, Shift+,
    // Alt+ in that order) and the key ("INVALID" for a key without a name).
    void writeTo(std::ostream& os) const;
    std::string toString() const;
    // Parses the text form; false (and the hotkey cleared) when it is none.
    bool readFrom(std::istream& is);
    bool fromString(const std::string& text);

    // The name of a virtual-key code outside digits and letters, or "".
    static std::string keyName(unsigned short virtualKey);

private:
    Accel accel_;
};

std::ostream& operator<<(std::ostream& os, const Hotkey& hotkey);

class HotkeyTable;

// The owner of a hotkey table's items.
class HotkeyTableOwner {
public:
    virtual ~HotkeyTableOwner() = default;
    // The kind of item ("channel filter", ...) and its name, for slot index
    // of the table; both stay untouched when the owner knows no such item.
    virtual void getHotkeyItemDescription(const HotkeyTable* table, int index, std::string& kind,
                                          std::string& name) const = 0;
};

class HotkeyTable {
public:
    // Receives the command of a translated key press.
    using CommandTarget = std::function<void(unsigned command)>;

    HotkeyTable(HotkeyTableOwner* owner, unsigned baseCommandId);
    virtual ~HotkeyTable();
    HotkeyTable(const HotkeyTable&) = delete;
    HotkeyTable& operator=(const HotkeyTable&) = delete;

    // Reads keys "1".."itemCount" of the section: one slot per item, empty
    // where a key is missing or does not parse; then builds the accelerators.
    virtual void load(const std::string& iniFile, const std::string& section, int itemCount);
    // Rewrites the section with one key per valid slot.
    virtual void save(const std::string& iniFile, const std::string& section) const;
    virtual void clear();
    virtual void appendHotkey(const Hotkey& hotkey);
    virtual void buildAcceleratorTable();
    // Finds the slot holding the hotkey: with remove false it only describes
    // the slot's item; with remove true it clears the slot, saves the owner
    // when it is the global options, and rebuilds the accelerators. False
    // when no slot holds it.
    virtual bool deleteHotkey(const Hotkey& hotkey, bool remove, std::string& kind, std::string& name);

    int getHotkeyCount() const { return static_cast<int>(hotkeys_.size()); }
    Hotkey& getHotkey(int index) { return hotkeys_.at(static_cast<std::size_t>(index)); }
    const Hotkey& getHotkey(int index) const { return hotkeys_.at(static_cast<std::size_t>(index)); }
    void erase(int index) { hotkeys_.erase(hotkeys_.begin() + index); }
    unsigned getBaseCommandId() const { return baseCommandId_; }
    HotkeyTableOwner* getOwner() const { return owner_; }
    // The built accelerators (empty: the table has none).
    const std::vector<Accel>& getAccelerators() const { return accelerators_; }

    // deleteHotkey over every live table but `except`, stopping at the first
    // that holds the hotkey.
    static bool deleteHotkeyInOtherTables(const Hotkey& hotkey, const HotkeyTable* except, bool remove,
                                          std::string& kind, std::string& name);
    // Offers a key press (flags and key as in a Hotkey, command 0) to every
    // table; true when one translated it into a command for the target.
    static bool translateAccelerator(const Hotkey& keyPress);
    // Switching hotkeys off nests: each call with false needs its own call
    // with true, and hotkeys come back only when the last one is made (a
    // dialog that captures keys may open another one). A call with true
    // while none is pending does nothing.
    static void setHotkeysEnabled(bool enabled);
    static bool getHotkeysEnabled();
    // Installed by the main window while it exists.
    static void setCommandTarget(CommandTarget target);

private:
    HotkeyTableOwner* owner_;
    std::vector<Hotkey> hotkeys_;
    std::vector<Accel> accelerators_;
    unsigned baseCommandId_;
};

// Hotkeys off for the holder's lifetime (counted with setHotkeysEnabled).
class HotkeySuspension {
public:
    HotkeySuspension() { HotkeyTable::setHotkeysEnabled(false); }
    ~HotkeySuspension() { HotkeyTable::setHotkeysEnabled(true); }
    HotkeySuspension(const HotkeySuspension&) = delete;
    HotkeySuspension& operator=(const HotkeySuspension&) = delete;
};
