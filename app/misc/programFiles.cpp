#include "app/misc/programFiles.h"

#include "app/core/programPaths.h"

std::string makeProgramFilePath(const std::string& name) { return joinPath(programPaths().programDir, name); }

std::string makeUserFilePath(const std::string& name) {
    const ProgramPaths& p = programPaths();
    return p.usersDir + "/" + p.userName + "/" + name;
}

std::string feedItemIconUrl(bool viewed, bool isNew) {
    const char* icon = viewed ? "readFeedItem.gif" : isNew ? "newFeedItem.gif" : "unreadFeedItem.gif";
    return "file://" + makeProgramFilePath(std::string("Resources/") + icon);
}
