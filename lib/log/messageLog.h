#pragma once
// The program's diagnostic log.
//
// Writing a log line (one statement = one whole line, also with many threads):
//
//   ORVAN_LOG(g_channelManagerGroup) << "Loading channel " << name << std::endl;
//   ORVAN_LOG_ANY() << "No group: always written while the log is on." << std::endl;
//
// ORVAN_LOG(group) skips the statement when the group is disabled; otherwise
// the statement's text is collected and, when the statement ends, written as
// a whole under the global log's exclusive lock with its group, file and
// line. Always end the line with std::endl.
// To write to another CMessageLog (for instance a hook's own log file):
//
//   ORVAN_LOG_TO(hookLog, g_channelHooksGroup) << "..." << std::endl;
//
// Testing whether a group is enabled:  if (g_httpGroup.isEnabled()) { ... }
// (ORVAN_LOG_ENABLED(group) is the same test.)
// Indenting: { LogStatement s(&group, __FILE__, __LINE__); s.log().indent(); }
//
// Never write a password or an Authorization header value: log
// maskSecret(value) / maskAuthorizationHeaders(text) (lib/misc/stringHelpers.h)
// instead. As a last defence the log itself masks whatever follows
// "Authorization:" up to the line end.
//
// Each line gets a prefix of the switched-on columns (group id, line number,
// date, time, source location), "| ", and the indent. Lines of a disabled
// group or of a disabled log are dropped. The target is flushed at every line
// end.
#include <atomic>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "lib/log/messageGroup.h"
#include "lib/misc/threadSafety.h"

class CMessageLog;

// Unbuffered: every character goes to CMessageLog::putChar.
class CMessageLogStreamBuf : public std::streambuf {
public:
    explicit CMessageLogStreamBuf(CMessageLog* log) : log_(log) {}

protected:
    int_type overflow(int_type c) override;
    int_type underflow() override { return traits_type::eof(); }

private:
    CMessageLog* log_;
};

class CMessageLog : public std::ostream {
public:
    explicit CMessageLog(std::ostream& target);
    ~CMessageLog() override;
    CMessageLog(const CMessageLog&) = delete;
    CMessageLog& operator=(const CMessageLog&) = delete;

    virtual void setEnabled(bool enabled);
    // From now on characters go to that stream's buffer.
    virtual void attach(std::ostream& target);
    // Copies everything readable from the stream's buffer, without prefixes.
    virtual void writeRaw(std::ostream& source);
    virtual void showGroup(bool on);
    virtual void showLineNumber(bool on);
    virtual void showTime(bool on);
    virtual void showDate(bool on);
    virtual void showLocation(bool on);
    virtual void indent();
    virtual void outdent();
    // Installs the external lock (not owned) that statements hold for a whole
    // line; the log then also keeps an internal lock of its own.
    virtual void setThreadSafetyLock(SharedExclusiveLock* lock);
    virtual void lock();
    virtual void unlock();
    virtual int putChar(int c);
    virtual void writePrefix(std::ostream& os);

    void setIndentWidth(int width);
    bool isEnabled() const;
    SharedExclusiveLock* getLock() const { return externalLock_; }
    // Group (may be null), file (may be null) and line of the next characters.
    void setCurrent(CMessageGroup* group, const char* file, unsigned line);
    // Number of prefixed lines so far.
    std::uint32_t getLineCount() const;
    // Writes a whole text as ungrouped lines without waiting for the external
    // lock and giving up on the internal one when it is busy; for the fatal
    // report, which must not hang on a lock held by a stuck thread.
    void writeUrgent(const std::string& text);

private:
    // Puts a character that passed the filters, masking secrets.
    void putFiltered(int c);

    std::atomic<bool> enabled_{true};  // read by statements without the log lock
    bool rawMode_ = false;
    bool showGroup_ = false;
    bool showLineNumber_ = false;
    bool showTime_ = false;
    bool showDate_ = false;
    bool showLocation_ = false;
    std::uint32_t lineCounter_ = 0;
    CMessageGroup* currentGroup_ = nullptr;
    const char* currentFile_ = nullptr;
    std::uint32_t currentLine_ = 0;
    int indentLevel_ = 0;
    int indentWidth_ = 2;
    CMessageLogStreamBuf ownBuf_;
    std::streambuf* target_ = nullptr;
    bool atLineStart_ = true;
    SharedExclusiveLock* externalLock_ = nullptr;
    SharedExclusiveLock* internalLock_ = nullptr;
    // Secret masking: the tail of the current line, and the state: 0 normal,
    // 1 after "authorization:" (blanks pass), 2 the mask is written and the
    // rest of the line is dropped.
    char lineTail_[16] = {};
    std::size_t lineTailLength_ = 0;
    int maskState_ = 0;
};

// The global log: the one installed with setMessageLog, else one on std::clog
// created on first use. That one starts with a process-wide lock of its own
// installed, so statements stay whole lines even before start-up installs
// the application's lock with setThreadSafetyLock.
CMessageLog& getMessageLog();
// Sets the location and clears the group.
CMessageLog& getMessageLog(const char* file, unsigned line);
CMessageLog& getMessageLog(CMessageGroup& group, const char* file, unsigned line);
// Installs a replacement global log; returns the previous replacement.
CMessageLog* setMessageLog(CMessageLog* log);
// Puts the log back on std::clog with the process-wide lock, once any
// statement under way has ended. Called before the stream and the lock the
// log was given are destroyed, so that a line written later (by an exit
// handler or a thread still ending) reaches a live stream.
void releaseMessageLog(CMessageLog& log);

// One log statement: holds the log's external lock exclusively for its
// lifetime and sets the group and location. Use through the macros below.
class LogStatement {
public:
    LogStatement(CMessageGroup* group, const char* file, unsigned line);
    LogStatement(CMessageLog& log, CMessageGroup* group, const char* file, unsigned line);
    LogStatement(const LogStatement&) = delete;
    LogStatement& operator=(const LogStatement&) = delete;
    CMessageLog& log() { return log_; }
    std::ostream& stream() { return log_; }

private:
    CMessageLog& log_;
    ExclusiveLockGuard guard_;
};

// The statement the macros below make: its text is collected first and
// written as a whole under the log's lock when the statement ends. The
// operands (often getters that take an object's own lock) are therefore
// evaluated without the log's lock held, so a thread that logs while it holds
// an object's lock cannot deadlock with a thread that logs that object.
class BufferedLogStatement {
public:
    BufferedLogStatement(CMessageGroup* group, const char* file, unsigned line);
    BufferedLogStatement(CMessageLog& log, CMessageGroup* group, const char* file, unsigned line);
    ~BufferedLogStatement();
    BufferedLogStatement(const BufferedLogStatement&) = delete;
    BufferedLogStatement& operator=(const BufferedLogStatement&) = delete;
    std::ostream& stream() { return buffer_; }

private:
    CMessageLog& log_;
    CMessageGroup* group_;
    const char* file_;
    unsigned line_;
    std::ostringstream buffer_;
};

#define ORVAN_LOG_ENABLED(group) ((group).isEnabled())
// A one-pass loop rather than if/else, so that the macro can stand alone
// after an if without braces.
#define ORVAN_LOG(group)                                                                      \
    for (bool orvanLogOnce_ = ORVAN_LOG_ENABLED(group); orvanLogOnce_; orvanLogOnce_ = false) \
    ::BufferedLogStatement(&(group), __FILE__, __LINE__).stream()
#define ORVAN_LOG_TO(messageLog, group)                                                       \
    for (bool orvanLogOnce_ = ORVAN_LOG_ENABLED(group); orvanLogOnce_; orvanLogOnce_ = false) \
    ::BufferedLogStatement((messageLog), &(group), __FILE__, __LINE__).stream()
#define ORVAN_LOG_ANY() ::BufferedLogStatement(nullptr, __FILE__, __LINE__).stream()
