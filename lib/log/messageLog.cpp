#include "lib/log/messageLog.h"

#include "lib/misc/programAbort.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>

#include "lib/misc/stringHelpers.h"

namespace {

constexpr const char kMaskTrigger[] = "authorization:";
constexpr std::size_t kMaskTriggerLength = sizeof(kMaskTrigger) - 1;
static_assert(kMaskTriggerLength <= 16, "the line tail of CMessageLog holds 16 characters");

std::atomic<CMessageLog*> g_replacementLog{nullptr};

// The default global log on std::clog. Never destroyed: threads that are still
// running while the process exits (a fatal report ends it from any thread) may
// still write to it.
SharedExclusiveLock& processLogLock() {
    static SharedExclusiveLock* lock = new SharedExclusiveLock;
    return *lock;
}

CMessageLog& defaultLog() {
    static CMessageLog* log = [] {
        CMessageLog* l = new CMessageLog(std::clog);
        l->setThreadSafetyLock(&processLogLock());
        return l;
    }();
    return *log;
}

const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

}  // namespace

CMessageLogStreamBuf::int_type CMessageLogStreamBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return log_->putChar(traits_type::to_int_type(traits_type::to_char_type(c)));
}

// ---------------------------------------------------------------------------

CMessageLog::CMessageLog(std::ostream& target) : std::ostream(nullptr), ownBuf_(this) {
    rdbuf(&ownBuf_);
    attach(target);
}

CMessageLog::~CMessageLog() { delete internalLock_; }

void CMessageLog::setEnabled(bool enabled) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    enabled_ = enabled;
}

void CMessageLog::attach(std::ostream& target) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    target_ = target.rdbuf();
}

void CMessageLog::writeRaw(std::ostream& source) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    std::streambuf* in = source.rdbuf();
    if (!in) return;
    rawMode_ = true;
    for (auto c = in->sbumpc(); !traits_type::eq_int_type(c, traits_type::eof()); c = in->sbumpc())
        ownBuf_.sputc(traits_type::to_char_type(c));
    rawMode_ = false;
}

void CMessageLog::showGroup(bool on) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    showGroup_ = on;
}

void CMessageLog::showLineNumber(bool on) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    showLineNumber_ = on;
}

void CMessageLog::showTime(bool on) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    showTime_ = on;
}

void CMessageLog::showDate(bool on) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    showDate_ = on;
}

void CMessageLog::showLocation(bool on) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    showLocation_ = on;
}

void CMessageLog::indent() {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    ++indentLevel_;
}

void CMessageLog::outdent() {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    --indentLevel_;
}

void CMessageLog::setThreadSafetyLock(SharedExclusiveLock* lock) {
    delete internalLock_;
    internalLock_ = nullptr;
    externalLock_ = lock;
    if (lock) internalLock_ = new SharedExclusiveLock;
}

void CMessageLog::lock() {
    if (externalLock_) externalLock_->lockExclusive(nullptr, 0);
}

void CMessageLog::unlock() {
    if (externalLock_) externalLock_->unlockExclusive(nullptr, 0);
}

void CMessageLog::setIndentWidth(int width) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    indentWidth_ = width;
}

bool CMessageLog::isEnabled() const { return enabled_; }

void CMessageLog::setCurrent(CMessageGroup* group, const char* file, unsigned line) {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    currentGroup_ = group;
    currentFile_ = file;
    currentLine_ = line;
}

std::uint32_t CMessageLog::getLineCount() const {
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    return lineCounter_;
}

int CMessageLog::putChar(int c) {
    // Re-entrant: the prefix is written through the log itself.
    ExclusiveLockGuard guard(internalLock_, __FILE__, __LINE__);
    const bool pass = enabled_ && (currentGroup_ == nullptr || currentGroup_->isEnabled());
    if (atLineStart_) {
        atLineStart_ = false;
        if (pass && c != '\n') {
            ++lineCounter_;
            writePrefix(*this);
        }
    }
    if (pass) putFiltered(c);
    if (c == '\n') {
        if (target_) target_->pubsync();
        atLineStart_ = true;
        lineTailLength_ = 0;
        maskState_ = 0;
    }
    // Errors of the target are ignored: a failing file must not switch the
    // log stream itself off.
    return c;
}

void CMessageLog::putFiltered(int c) {
    if (!target_) return;
    const char ch = static_cast<char>(c);
    if (c != '\n') {
        if (maskState_ == 2) return;
        if (maskState_ == 1) {
            if (ch != ' ' && ch != '\t') {
                for (const char* m = kSecretMask; *m; ++m) target_->sputc(*m);
                maskState_ = 2;
                return;
            }
        } else {
            // Keep the last kMaskTriggerLength characters, lower-cased.
            if (lineTailLength_ == kMaskTriggerLength) {
                std::memmove(lineTail_, lineTail_ + 1, kMaskTriggerLength - 1);
                --lineTailLength_;
            }
            lineTail_[lineTailLength_++] = toLowerByte(ch);
            if (lineTailLength_ == kMaskTriggerLength && std::memcmp(lineTail_, kMaskTrigger, kMaskTriggerLength) == 0)
                maskState_ = 1;
        }
    }
    target_->sputc(ch);
}

void CMessageLog::writePrefix(std::ostream& os) {
    if (rawMode_) return;
    std::string prefix;
    char buf[128];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    if (showGroup_) {
        if (currentGroup_) {
            std::snprintf(buf, sizeof buf, "[%03d] ", currentGroup_->getId());
            prefix += buf;
        } else {
            prefix += "      ";
        }
    }
    if (showLineNumber_) {
        std::snprintf(buf, sizeof buf, "%06lu ", static_cast<unsigned long>(lineCounter_));
        prefix += buf;
    }
    if (showDate_) {
        std::snprintf(buf, sizeof buf, "%02d%s%02d ", tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year % 100);
        prefix += buf;
    }
    if (showTime_) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d ", tm.tm_hour, tm.tm_min, tm.tm_sec);
        prefix += buf;
    }
    if (showLocation_) {
        if (currentFile_) {
            std::string path = currentFile_;
            std::size_t slash = path.find_last_of("/\\:");
            std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
            std::size_t dot = base.rfind('.');
            std::string name = dot == std::string::npos ? base : base.substr(0, dot);
            std::string ext = dot == std::string::npos ? std::string() : base.substr(dot);
            std::string column(name.size() + ext.size() + 32, '\0');
            int n = std::snprintf(column.data(), column.size(), "%8s%-4s:%06lu", name.c_str(), ext.c_str(),
                                  static_cast<unsigned long>(currentLine_));
            column.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            prefix += toLowerCopy(column);
            prefix += ' ';
        } else {
            prefix += "         ???:   ??? ";
        }
    }
    if (showLineNumber_ || showDate_ || showTime_ || showLocation_) prefix += "| ";
    const int blanks = indentLevel_ * indentWidth_;
    if (blanks > 0) prefix.append(static_cast<std::size_t>(blanks), ' ');
    // Unformatted, so a field width pending on the stream does not pad it.
    os.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
}

void CMessageLog::writeUrgent(const std::string& text) {
    bool locked = internalLock_ == nullptr;
    // A stuck thread may hold the internal lock: try for a short while only.
    for (int attempt = 0; !locked && attempt < 50; ++attempt) {
        locked = internalLock_->tryLockExclusive(__FILE__, __LINE__);
        if (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!locked) return;
    currentGroup_ = nullptr;
    currentFile_ = nullptr;
    currentLine_ = 0;
    if (!atLineStart_) putChar('\n');
    for (char ch : text) putChar(static_cast<unsigned char>(ch));
    if (internalLock_) internalLock_->unlockExclusive(__FILE__, __LINE__);
}

// ---------------------------------------------------------------------------

namespace {
void writeFatalReport(const std::string& report) { getMessageLog().writeUrgent(report); }
}  // namespace

CMessageLog& getMessageLog() {
    // The fatal report (lib/misc/programAbort.h) reaches the log from here.
    static const bool sinkInstalled = (setFatalReportSink(&writeFatalReport), true);
    (void)sinkInstalled;
    CMessageLog* log = g_replacementLog.load();
    return log ? *log : defaultLog();
}

CMessageLog& getMessageLog(const char* file, unsigned line) {
    CMessageLog& log = getMessageLog();
    log.setCurrent(nullptr, file, line);
    return log;
}

CMessageLog& getMessageLog(CMessageGroup& group, const char* file, unsigned line) {
    CMessageLog& log = getMessageLog();
    log.setCurrent(&group, file, line);
    return log;
}

CMessageLog* setMessageLog(CMessageLog* log) { return g_replacementLog.exchange(log); }

void releaseMessageLog(CMessageLog& log) {
    // A statement under way holds the old lock: it ends before the swap.
    SharedExclusiveLock* old = log.getLock();
    if (old) old->lockExclusive(__FILE__, __LINE__);
    log.flush();
    log.attach(std::clog);
    log.setThreadSafetyLock(&processLogLock());
    if (old) old->unlockExclusive(__FILE__, __LINE__);
}

LogStatement::LogStatement(CMessageGroup* group, const char* file, unsigned line)
    : LogStatement(getMessageLog(), group, file, line) {}

LogStatement::LogStatement(CMessageLog& log, CMessageGroup* group, const char* file, unsigned line)
    : log_(log), guard_(log.getLock(), file, line) {
    log_.setCurrent(group, file, line);
}

BufferedLogStatement::BufferedLogStatement(CMessageGroup* group, const char* file, unsigned line)
    : BufferedLogStatement(getMessageLog(), group, file, line) {}

BufferedLogStatement::BufferedLogStatement(CMessageLog& log, CMessageGroup* group, const char* file, unsigned line)
    : log_(log), group_(group), file_(file), line_(line) {}

BufferedLogStatement::~BufferedLogStatement() {
    // A URL's password never reaches the log, whoever wrote the URL.
    const std::string text = maskUrlPasswords(buffer_.str());
    if (text.empty()) return;
    LogStatement statement(log_, group_, file_, line_);
    statement.log() << text;
    statement.log().flush();
}
