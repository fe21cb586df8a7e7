#pragma once
// Entries of the Tools menu that open a web address built from a template,
// typically a search for the selected text. One kind exists, the URL tool:
//
//   [User Tool 1]
//   DisplayName=Dictionary
//   MenuItem=
//   Type=url
//   Command=http://dictionary.example/search?q={%SELTEXT%}
//
// {%SELTEXT%} stands for the text selected in the active HTML view (else the
// clipboard's text) and {%URL%} for the address that view shows; both are
// percent-encoded for the query they go into. A variable without a value
// stays in the address as written.
//
// Running a tool needs the desktop: it installs a UserToolHost, which
// answers for the active view and the clipboard and opens the address.
#include <memory>
#include <string>

// Program-wide key name of a tool's kind.
inline const std::string kUserToolTypeKey = "Type";

// What running a tool needs from the windows.
class UserToolHost {
public:
    virtual ~UserToolHost() = default;
    // The active child frame's HTML view: its selected text and the address
    // it shows. False when there is no such view.
    virtual bool getActiveHtmlView(std::string& selectedText, std::string& url) = 0;
    virtual std::string getClipboardText() = 0;
    // Whether Shift or Ctrl is held down now.
    virtual bool isShiftOrCtrlDown() = 0;
    // Opens the address in the program's simple-browser window titled so.
    virtual void openInSimpleBrowser(const std::string& url, const std::string& title) = 0;
    // Opens the address in the user's browser.
    virtual void openItem(const std::string& url) = 0;
};
// Installed by the desktop (not owned); null removes it.
void setUserToolHost(UserToolHost* host);
UserToolHost* getUserToolHost();

// Every byte except the unreserved characters (letters, digits, "-", ".",
// "_", "~") as "%" and two upper-case hexadecimal digits.
std::string encodeQueryValue(const std::string& text);

class UserTool {
public:
    UserTool() = default;
    UserTool(const std::string& displayName, const std::string& menuItem)
        : displayName_(displayName), menuItem_(menuItem) {}
    UserTool(const UserTool&) = default;
    UserTool& operator=(const UserTool&) = default;
    virtual ~UserTool() = default;

    // Carries the tool out; throws std::runtime_error without a host.
    virtual void run() = 0;
    // Writes "DisplayName" and "MenuItem", then the kind's keys.
    virtual void saveToIni(const std::string& iniFile, const std::string& section) const;
    virtual std::unique_ptr<UserTool> clone() const = 0;
    virtual void loadFromIni(const std::string& iniFile, const std::string& section) = 0;
    // Writes "Type" and the kind's own keys.
    virtual void writeToIni(const std::string& iniFile, const std::string& section) const = 0;

    // The tool of the section, or null when its "Type" is missing or unknown.
    static std::unique_ptr<UserTool> createFromIni(const std::string& iniFile, const std::string& section);

    const std::string& getDisplayName() const { return displayName_; }
    void setDisplayName(const std::string& name) { displayName_ = name; }
    const std::string& getMenuItem() const { return menuItem_; }
    void setMenuItem(const std::string& text) { menuItem_ = text; }
    // MenuItem, or DisplayName when MenuItem is empty.
    const std::string& getMenuItemText() const { return menuItem_.empty() ? displayName_ : menuItem_; }

private:
    std::string displayName_;
    std::string menuItem_;
};

class UrlUserTool : public UserTool {
public:
    UrlUserTool() = default;
    UrlUserTool(const std::string& displayName, const std::string& menuItem, const std::string& command)
        : UserTool(displayName, menuItem), command_(command) {}
    UrlUserTool(const UrlUserTool&) = default;
    UrlUserTool& operator=(const UrlUserTool&) = default;

    void run() override;
    std::unique_ptr<UserTool> clone() const override;
    void loadFromIni(const std::string& iniFile, const std::string& section) override;
    void writeToIni(const std::string& iniFile, const std::string& section) const override;

    // The address for a selection and, when a view is active, its address.
    std::string expandCommand(const std::string& selectedText, const std::string* viewUrl) const;

    const std::string& getCommand() const { return command_; }
    void setCommand(const std::string& command) { command_ = command; }

private:
    std::string command_;
};
