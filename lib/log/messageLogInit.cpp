#include "lib/log/messageLogInit.h"

#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"
#include "tools/ini.h"

void loadMessageGroupSettings(const std::string& debugIniFile) {
    CMessageGroup::disableAll(true);
    for (const std::string& key : tools::getIniKeyNames(debugIniFile, "MessageLog")) {
        if (CMessageGroup* group = CMessageGroup::findByName(key))
            group->setEnabled(tools::getIniBool(debugIniFile, "MessageLog", key, false));
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
