#pragma once
// Start-up of the global message log and the message-group switches.
//
//   getMessageLog().setThreadSafetyLock(&g_logLock);   // before a second thread starts
//   std::ofstream logFile(logsDir + "/orvan.log", std::ios::trunc);
//   initMessageLog(logFile, userDebugIni);
//
// loadMessageGroupSettings disables every group, then sets each group named
// by a key of section "MessageLog" of the debug INI file to that key's
// boolean value (default false). Keys that name no group are ignored.
#include <ostream>
#include <string>

class CMessageLog;

void loadMessageGroupSettings(const std::string& debugIniFile);
// Attaches the stream to the log, switches the time column on and loads the
// message-group switches.
void initMessageLog(CMessageLog& log, std::ostream& logFile, const std::string& debugIniFile);
// The same for the global log.
void initMessageLog(std::ostream& logFile, const std::string& debugIniFile);
