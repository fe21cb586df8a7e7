#pragma once
// Files of the program directory and the user's directory, and the item
// icons that summary pages and reports show.
#include <string>

// The program directory joined with name.
std::string makeProgramFilePath(const std::string& name);
// <users directory>/<user name>/<name>.
std::string makeUserFilePath(const std::string& name);

// "file://" + the program's Resources/readFeedItem.gif when viewed, else
// newFeedItem.gif when new, else unreadFeedItem.gif.
std::string feedItemIconUrl(bool viewed, bool isNew);
