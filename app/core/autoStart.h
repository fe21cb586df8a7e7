#pragma once
// Starting the program when the user's desktop session starts: an XDG
// autostart entry, "<config home>/autostart/<name>.desktop", whose Exec line
// runs the program. Plain C++.
#include <string>

// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when it is not set.
std::string autoStartDirectory();
// The entry's path for an application name ("Orvan" -> ".../orvan.desktop").
std::string autoStartEntryPath(const std::string& appName);

// The Exec value that runs `program` with no arguments: the path quoted as
// the Desktop Entry format requires (\", \`, \$ and \\ inside the quotes, %
// doubled, then backslashes escaped once more for the string value).
std::string desktopEntryExec(const std::string& program);

// Writes (enable) or removes the entry. Writing creates the autostart folder
// when it is missing and replaces the file atomically; removing an entry
// that does not exist succeeds. On failure the result is false, `openFailed`
// tells whether the folder could not be made (else the file could not be
// written or removed), and `error` gets the system's text.
bool writeAutoStartEntry(const std::string& appName, const std::string& program, bool enable, bool& openFailed,
                         std::string& error);
