#include "lib/log/messageLogInit.h"

#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"
#include "platform/profile.h"

void loadMessageGroupSettings(const std::string& debugIniFile) {
    // Read through the platform's profile layer: the log sits below tools/.
    CMessageGroup::disableAll(true);
    for (const std::string& key : platform::profile::getKeyNames(debugIniFile, "MessageLog")) {
        if (CMessageGroup* group = CMessageGroup::findByName(key))
            group->setEnabled(platform::profile::getInt(debugIniFile, "MessageLog", key, 0) != 0);
    }
}

void initMessageLog(CMessageLog& log, std::ostream& logFile, const std::string& debugIniFile) {
    log.attach(logFile);
    log.showTime(true);
    loadMessageGroupSettings(debugIniFile);
}

void initMessageLog(std::ostream& logFile, const std::string& debugIniFile) {
    initMessageLog(getMessageLog(), logFile, debugIniFile);
}
