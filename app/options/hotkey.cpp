#include "app/options/hotkey.h"

#include <cctype>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/core/commandIds.h"
#include "app/options/globalOptions.h"
#include "lib/misc/stringHelpers.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tools/ini.h"

namespace {

struct KeyName {
    unsigned short code;
    const char* name;
};

const std::vector<KeyName>& keyNames() {
    static const std::vector<KeyName> names = [] {
        std::vector<KeyName> v = {
            {8, "Backspace"}, {9, "Tab"},      {12, "Clear"},        {13, "Enter"},     {16, "Shift"},
            {17, "Control"},  {18, "Menu"},    {19, "Pause"},        {20, "Caps lock"}, {27, "Escape"},
            {32, "Space"},    {33, "Page up"}, {34, "Page down"},    {35, "End"},       {36, "Home"},
            {37, "Left"},     {38, "Up"},      {39, "Right"},        {40, "Down"},      {41, "Select"},
            {42, "Print"},    {43, "Execute"}, {44, "Print Screen"}, {45, "Insert"},    {46, "Delete"},
            {47, "Help"},
        };
        static const char* const numNames[] = {"Num 0", "Num 1", "Num 2", "Num 3", "Num 4",
                                               "Num 5", "Num 6", "Num 7", "Num 8", "Num 9"};
        for (unsigned short i = 0; i < 10; ++i) v.push_back({static_cast<unsigned short>(96 + i), numNames[i]});
        v.insert(
            v.end(),
            {{106, "Num *"}, {107, "Num +"}, {108, "Separator"}, {109, "Num -"}, {110, "Decimal"}, {111, "Num /"}});
        static const char* const fNames[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                             "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                             "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};
        for (unsigned short i = 0; i < 24; ++i) v.push_back({static_cast<unsigned short>(112 + i), fNames[i]});
        return v;
    }();
    return names;
}

struct Registry {
    std::vector<HotkeyTable*> tables;  // in order of construction
    int suspensions = 0;               // hotkeys are on while 0
    HotkeyTable::CommandTarget target;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool isDigitOrCapital(unsigned key) { return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'); }

}  // namespace

// --- Hotkey

std::string Hotkey::keyName(unsigned short virtualKey) {
    for (const auto& entry : keyNames()) {
        if (entry.code == virtualKey) return entry.name;
    }
    return std::string();
}

void Hotkey::writeTo(std::ostream& os) const {
    if (!isValid()) {
        os << "<INVALID>";
        return;
    }
    if (isCtrl()) os << "Ctrl+";
    if (isShift()) os << "Shift+";
    if (isAlt()) os << "Alt+";
    const unsigned key = accel_.key;
    if (!(accel_.fVirt & FVIRTKEY)) {
        if (key < 256 && std::isprint(static_cast<int>(key)))
            os << static_cast<char>(key);
        else
            os << "INVALID";
        return;
    }
    if (isDigitOrCapital(key)) {
        os << static_cast<char>(key);
        return;
    }
    const std::string name = keyName(accel_.key);
    os << (name.empty() ? "INVALID" : name);
}

std::string Hotkey::toString() const {
    std::ostringstream os;
    writeTo(os);
    return os.str();
}

bool Hotkey::readFrom(std::istream& is) {
    const std::string text((std::istreambuf_iterator<char>(is)), std::istreambuf_iterator<char>());
    return fromString(text);
}

bool Hotkey::fromString(const std::string& text) {
    clear();
    unsigned char flags = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t plus = text.find('+', pos);
        const std::string piece = plus == std::string::npos ? text.substr(pos) : text.substr(pos, plus - pos + 1);
        if (compareNoCase(piece, "Ctrl+") == 0) {
            flags |= FCONTROL;
        } else if (compareNoCase(piece, "Shift+") == 0) {
            flags |= FSHIFT;
        } else if (compareNoCase(piece, "Alt+") == 0) {
            flags |= FALT;
        } else if (piece.size() == 1) {
            const unsigned char c = static_cast<unsigned char>(piece[0]);
            if (!std::isprint(c)) return false;
            if (isDigitOrCapital(c)) flags |= FVIRTKEY;
            accel_ = Accel{flags, c, 0};
            return true;
        } else {
            for (const auto& entry : keyNames()) {
                if (compareNoCase(piece, entry.name) == 0) {
                    accel_ = Accel{static_cast<unsigned char>(flags | FVIRTKEY), entry.code, 0};
                    return true;
                }
            }
            return false;
        }
        pos = plus + 1;
    }
}

std::ostream& operator<<(std::ostream& os, const Hotkey& hotkey) {
    hotkey.writeTo(os);
    return os;
}

// --- HotkeyTable

HotkeyTable::HotkeyTable(HotkeyTableOwner* owner, unsigned baseCommandId)
    : owner_(owner), baseCommandId_(baseCommandId) {
    registry().tables.push_back(this);
}

HotkeyTable::~HotkeyTable() {
    auto& tables = registry().tables;
    std::erase(tables, this);
}

void HotkeyTable::load(const std::string& iniFile, const std::string& section, int itemCount) {
    clear();
    for (int i = 1; i <= itemCount; ++i) {
        Hotkey hotkey;
        const std::string text = tools::getIniString(iniFile, section, std::to_string(i), "", true);
        if (!text.empty() && !hotkey.fromString(text)) hotkey.clear();
        hotkeys_.push_back(hotkey);
    }
    buildAcceleratorTable();
}

void HotkeyTable::save(const std::string& iniFile, const std::string& section) const {
    platform::profile::WriteBatch batch(iniFile);
    tools::deleteIniSection(iniFile, section);
    for (std::size_t i = 0; i < hotkeys_.size(); ++i) {
        if (hotkeys_[i].isValid())
            tools::writeIniString(iniFile, section, std::to_string(i + 1), hotkeys_[i].toString());
    }
    if (!batch.commit()) throw std::runtime_error("Can't write " + iniFile + ": " + platform::files::lastErrorText());
}

void HotkeyTable::clear() {
    hotkeys_.clear();
    accelerators_.clear();
}

void HotkeyTable::appendHotkey(const Hotkey& hotkey) { hotkeys_.push_back(hotkey); }

void HotkeyTable::buildAcceleratorTable() {
    accelerators_.clear();
    // Slot 20 and beyond would name a command of the next range.
    const std::size_t count = std::min<std::size_t>(hotkeys_.size(), kCmdRangeSize);
    for (std::size_t i = 0; i < count; ++i) {
        if (!hotkeys_[i].isValid()) continue;
        Accel accel = hotkeys_[i].getAccel();
        accel.cmd = static_cast<unsigned short>(baseCommandId_ + i);
        accelerators_.push_back(accel);
    }
}

bool HotkeyTable::deleteHotkey(const Hotkey& hotkey, bool remove, std::string& kind, std::string& name) {
    for (std::size_t i = 0; i < hotkeys_.size(); ++i) {
        if (hotkeys_[i] != hotkey) continue;
        if (!remove) {
            if (owner_) owner_->getHotkeyItemDescription(this, static_cast<int>(i), kind, name);
            return true;
        }
        hotkeys_[i].clear();
        if (auto* options = dynamic_cast<GlobalOptions*>(owner_)) options->save();
        buildAcceleratorTable();
        return true;
    }
    return false;
}

bool HotkeyTable::deleteHotkeyInOtherTables(const Hotkey& hotkey, const HotkeyTable* except, bool remove,
                                            std::string& kind, std::string& name) {
    const std::vector<HotkeyTable*> tables = registry().tables;
    for (HotkeyTable* table : tables) {
        if (table != except && table->deleteHotkey(hotkey, remove, kind, name)) return true;
    }
    return false;
}

bool HotkeyTable::translateAccelerator(const Hotkey& keyPress) {
    Registry& r = registry();
    if (r.suspensions > 0 || !r.target) return false;
    const Accel& pressed = keyPress.getAccel();
    for (const HotkeyTable* table : r.tables) {
        for (const Accel& accel : table->accelerators_) {
            if (accel.fVirt == pressed.fVirt && accel.key == pressed.key) {
                r.target(accel.cmd);
                return true;
            }
        }
    }
    return false;
}

void HotkeyTable::setHotkeysEnabled(bool enabled) {
    int& suspensions = registry().suspensions;
    if (!enabled)
        ++suspensions;
    else if (suspensions > 0)
        --suspensions;
}

bool HotkeyTable::getHotkeysEnabled() { return registry().suspensions == 0; }

void HotkeyTable::setCommandTarget(CommandTarget target) { registry().target = std::move(target); }
