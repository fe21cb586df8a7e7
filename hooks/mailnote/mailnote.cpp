// mailnote: a channel hook library that mails a channel's new items. For
// each NewFeedItem event (or one ConsolidatedNewFeedItems event per update,
// as the "Consolidate New Feed Items" parameter chooses) it expands a mail
// template into a temporary body file and hands the mail, with a command
// line built from the hook's parameters, to its own worker thread, which
// runs the in-process mailer. The call returns at once: the host calls it
// on its user-interface thread, and an SMTP dialogue may take minutes.
#include <strings.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "channels/hooks/dllChannelHookApi.h"
#include "hooks/mailnote/mailer/mailer.h"
#include "hooks/mailnote/mailer/message.h"
#include "lib/text/templateProcessor.h"
#include "tools/files.h"
#include "tools/ini.h"
#include "tools/tempFile.h"

#define MAILNOTE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char kSingleItemTemplate[] = "{%ITEM-URL%}\n";
const char kConsolidatedTemplate[] = "{%REPEAT% FeedItems}{%ITEM-URL%}\n{%/REPEAT%}\n";
const char kConfig[] = "Config";
const char kChannelParams[] = "ChannelHookParameters";
const char kGlobalParams[] = "GlobalChannelHookParameters";

std::string readValue(const std::string& file, const std::string& section, const std::string& key) {
    return tools::getIniString(file, section, key, "", true);
}

bool readBool(const std::string& file, const std::string& section, const std::string& key) {
    return std::atoi(readValue(file, section, key).c_str()) != 0;
}

// The channel's name: the host's display name when the request carries it
// (on a channel's first update the channel file holds no name yet), else the
// preferred name, the feed's title or the feed's address from the channel file.
std::string channelDisplayName(const std::string& requestFile) {
    std::string name = readValue(requestFile, "Config", "ChannelDisplayName");
    if (!name.empty()) return name;
    const std::string channelFile = readValue(requestFile, "Config", "ChannelConfigFile");
    name = readValue(channelFile, "Config", "PreferredChannelDisplayName");
    if (name.empty()) name = readValue(channelFile, "Cache", "ChannelDisplayName");
    if (name.empty()) name = readValue(channelFile, "Config", "RssChannelUrl");
    return name;
}

// The hook's standard-output or standard-error file: emptied when the call
// starts, then appended to line by line, so the mailer's log lines (which
// it appends to the same file) stay in order with the hook's own.
class OutputFile {
public:
    explicit OutputFile(const char* path) : path_(path != nullptr ? path : "") {
        if (std::FILE* f = path_.empty() ? nullptr : std::fopen(path_.c_str(), "w")) std::fclose(f);
    }
    void write(const std::string& text) const {
        if (std::FILE* f = path_.empty() ? nullptr : std::fopen(path_.c_str(), "a")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }

private:
    std::string path_;
};

class FeedItemTemplateProcessor : public templateProcessor::TemplateProcessor {
public:
    FeedItemTemplateProcessor(std::string requestFile, std::vector<std::string> sections)
        : requestFile_(std::move(requestFile)), sections_(std::move(sections)) {}

    bool getValue(const std::string& name, std::string& value) override {
        static const struct {
            const char* variable;
            const char* key;
        } items[] = {{"ITEM-URL", "Url"}, {"ITEM-TITLE", "Title"}, {"ITEM-DESCRIPTION", "Description"}};
        for (const auto& item : items) {
            if (strcasecmp(name.c_str(), item.variable) != 0) continue;
            value = current_ >= 1 && current_ <= static_cast<int>(sections_.size())
                        ? readValue(requestFile_, sections_[static_cast<std::size_t>(current_ - 1)], item.key)
                        : std::string();
            return true;
        }
        return TemplateProcessor::getValue(name, value);
    }

    // Every repeat block runs over the items.
    bool prepareRepeat(const std::string&, int n) override {
        if (n > static_cast<int>(sections_.size())) return false;
        current_ = n;
        return true;
    }

    void setChannelName() { setValue("CHANNEL-NAME", channelDisplayName(requestFile_)); }

private:
    std::string requestFile_;
    std::vector<std::string> sections_;
    int current_ = 1;
};

// A mail ready to be sent: the body file lives as long as the job.
struct MailJob {
    std::unique_ptr<tools::TempFile> body;
    std::string commandLine;
    std::string xMailer;
    std::string logFile;  // the mailer's -log file; empty: none
    std::string subject;
    int timeoutSeconds = 30;
};

void appendToLog(const std::string& logFile, const std::string& text) {
    if (std::FILE* f = logFile.empty() ? stderr : std::fopen(logFile.c_str(), "a")) {
        std::fwrite(text.data(), 1, text.size(), f);
        if (f != stderr) std::fclose(f);
    }
}

// The mails waiting to be sent and the one thread that sends them, one
// after the other in the order they came (the mailer's state is
// process-wide: runs never overlap). The queue is bounded; when the library
// is unloaded (or the process ends) it waits at most one time-out for the
// mails still to go, then cancels the run in progress and logs what was not
// sent.
class MailQueue {
public:
    static constexpr std::size_t kMaxMails = 100;

    MailQueue() {
        // Everything the worker uses is set up before this object, so that
        // it is destroyed after it.
        mailer::contentTypeForFile("mail.txt");
        worker_ = std::thread([this] { run(); });
    }

    ~MailQueue() {
        std::unique_lock<std::mutex> lock(mutex_);
        stopping_ = true;
        wake_.notify_all();
        const int timeout = !jobs_.empty() ? jobs_.front().timeoutSeconds : busyTimeout_;
        if (!done_.wait_for(lock, std::chrono::seconds(std::max(timeout, 1)), [this] { return finished_; })) {
            cancelled_ = true;
            mailer::setMailerCancelled(true);
            done_.wait(lock, [this] { return finished_; });
        }
        lock.unlock();
        worker_.join();
        mailer::setMailerCancelled(false);
    }

    MailQueue(const MailQueue&) = delete;
    MailQueue& operator=(const MailQueue&) = delete;

    // False when the queue is full: the mail is not taken.
    bool push(MailJob&& job) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (jobs_.size() >= kMaxMails) return false;
        jobs_.push_back(std::move(job));
        wake_.notify_all();
        return true;
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) break;
            MailJob job = std::move(jobs_.front());
            jobs_.pop_front();
            if (cancelled_) {
                appendToLog(job.logFile, "The email was not sent: " + job.subject + "\n");
                continue;
            }
            busyTimeout_ = job.timeoutSeconds;
            lock.unlock();
            mailer::setMailerXMailer(job.xMailer.c_str());
            const int rc = mailer::runMailerCommandLine(job.commandLine);
            lock.lock();
            if (rc != 0) {
                std::string text = "Couldn't send the email: rc=" + std::to_string(rc) + "\n";
                if (cancelled_) text += "The email was not sent: " + job.subject + "\n";
                appendToLog(job.logFile, text);
            }
        }
        finished_ = true;
        done_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<MailJob> jobs_;
    bool stopping_ = false;
    bool cancelled_ = false;
    bool finished_ = false;
    int busyTimeout_ = 30;
    std::thread worker_;
};

MailQueue& mailQueue() {
    static MailQueue queue;
    return queue;
}

// The mailer's time-out in seconds as the command line sets it.
int timeoutOf(const std::string& commandLine) {
    int seconds = 30;
    const std::vector<std::string> args = mailer::splitCommandLine(commandLine);
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (strcasecmp(args[i].c_str(), "-ti") == 0) seconds = std::atoi(args[i + 1].c_str());
    return seconds;
}

// The mailer's log of queued mails: "mailnote.log" in the user's folder
// (where the user's configuration file lies); empty when the host does not
// name it (the mailer then writes to standard output).
std::string mailLogFile(const std::string& requestFile) {
    const std::string userConfig = readValue(requestFile, kConfig, "UserConfigFile");
    if (userConfig.empty()) return std::string();
    const std::string log = tools::getDirectoryOf(userConfig) + "mailnote.log";
    // The log starts anew past 1 MiB; the previous one is kept as ".old".
    struct stat st {};
    if (::stat(log.c_str(), &st) == 0 && st.st_size > (1 << 20)) std::rename(log.c_str(), (log + ".old").c_str());
    return log;
}

std::string findMailTemplateFile(const std::string& requestFile, const char* parameter, const char* defaultFile) {
    std::string value = readValue(requestFile, kChannelParams, parameter);
    if (value.empty()) value = defaultFile;
    if (tools::getDirectoryOf(value).empty())
        value = tools::getDirectoryOf(readValue(requestFile, kConfig, "ChannelHookConfigFilename")) + value;
    return value;
}

std::string itemTitleOrDefault(const std::string& title) { return title.empty() ? "Untitled item" : title; }

std::string replaceDoubleQuotes(std::string text) {
    for (char& c : text)
        if (c == '"') c = '\'';
    return text;
}

bool isCredentialOption(const std::string& arg) {
    for (const char* name : {"-u", "-username", "-pw", "-password"})
        if (strcasecmp(arg.c_str(), name) == 0) return true;
    return false;
}

// ExtraArgs as the log shows them: the values of credential options masked.
std::string maskedExtraArgs(const std::string& extraArgs) {
    std::string shown;
    bool maskNext = false;
    for (const std::string& arg : mailer::splitCommandLine(extraArgs)) {
        const bool plain = !arg.empty() && arg.find_first_of(" \t\"\\") == std::string::npos;
        shown += " " + (maskNext ? std::string("****") : plain ? arg : mailer::quoteArgument(arg));
        maskNext = isCredentialOption(arg);
    }
    return shown;
}

// Builds the mailer's command line and queues the mail; false with the
// reason in the stderr file when a setting is missing or the queue is full.
bool sendMail(const std::string& requestFile, const OutputFile& out, const OutputFile& err,
              const std::string& subjectItem, std::unique_ptr<tools::TempFile> body) {
    const std::string channelName = channelDisplayName(requestFile);

    const std::string server = readValue(requestFile, kGlobalParams, "Mail Server");
    if (server.empty()) {
        err.write(
            "You must configure an SMTP server. Please contact you system administrator for more "
            "information.\n");
        return false;
    }
    const std::string user = readValue(requestFile, kGlobalParams, "Mail Server User Name");
    const std::string password = readValue(requestFile, kGlobalParams, "Mail Server Password");
    std::string sendTo = readValue(requestFile, kChannelParams, "Send-To Email Address");
    if (sendTo.empty()) {
        err.write("You must configure an email address to send to.\n");
        return false;
    }
    for (char& c : sendTo)
        if (c == ';') c = ',';
    const std::string from = readValue(requestFile, kChannelParams, "From Email Address");
    if (from.empty()) {
        err.write("You must configure a FROM: email address that is known to your mail server.\n");
        return false;
    }
    const std::string replyTo = readValue(requestFile, kChannelParams, "Reply-To Email Address");
    const std::string subject = "Orvan: " + channelName + " - " + subjectItem;
    const std::string extraArgs =
        readValue(readValue(requestFile, kConfig, "ChannelHookConfigFilename"), kConfig, "ExtraArgs");

    // Every value is one quoted argument, so that nothing in it can add an
    // option; the log shows the credentials masked.
    using mailer::quoteArgument;
    std::string line = quoteArgument(body->getFilename());
    line += " -server " + quoteArgument(server);
    line += " -to " + quoteArgument(sendTo);
    line += " -f " + quoteArgument(from);
    if (!replyTo.empty()) line += " -replyto " + quoteArgument(replyTo);
    line += " -subject " + quoteArgument(replaceDoubleQuotes(subject));
    line += " -charset " + quoteArgument("UTF-8");
    std::string shown = line;
    if (!user.empty()) {
        line += " -u " + quoteArgument(user);
        shown += " -u ****";
    }
    if (!password.empty()) {
        line += " -pw " + quoteArgument(password);
        shown += " -pw ****";
    }
    if (!extraArgs.empty()) {
        line += " " + extraArgs;
        shown += maskedExtraArgs(extraArgs);
    }
    const std::string logFile = mailLogFile(requestFile);
    if (!logFile.empty()) {
        const std::string logPart = " -log " + quoteArgument(logFile);
        line += logPart;
        shown += logPart;
    }

    out.write("Sending email: " + shown + "\n");
    MailJob job;
    job.timeoutSeconds = timeoutOf(line);
    job.body = std::move(body);
    job.commandLine = std::move(line);
    job.xMailer = readValue(requestFile, kConfig, "HttpUserAgent");
    job.logFile = logFile;
    job.subject = subject;
    if (!mailQueue().push(std::move(job))) {
        const std::string dropped = "Too many emails are waiting to be sent; this one is dropped: " + subject + "\n";
        out.write(dropped);
        err.write(dropped);
        appendToLog(logFile, dropped);
        return false;
    }
    return true;
}

// Expands the template (the file when it opens, else the built-in text)
// for the item sections into a temporary body file and mails it.
bool expandAndSend(const std::string& requestFile, const OutputFile& out, const OutputFile& err,
                   const std::string& templateFile, const char* builtInTemplate,
                   const std::vector<std::string>& sections, const std::string& subjectItem) {
    std::ifstream file;
    if (!templateFile.empty()) file.open(templateFile, std::ios::binary);
    std::istringstream builtIn(builtInTemplate);
    std::istream* in = &builtIn;
    if (file.is_open()) {
        out.write("Using email template file: " + templateFile + "\n");
        in = &file;
    }

    auto body = std::make_unique<tools::TempFile>();
    body->open();
    FeedItemTemplateProcessor processor(requestFile, sections);
    processor.setChannelName();
    processor.run(*in, *body);
    body->close();
    return sendMail(requestFile, out, err, subjectItem, std::move(body));
}

bool sendNewFeedItemMail(const std::string& requestFile, const OutputFile& out, const OutputFile& err) {
    if (readBool(requestFile, kChannelParams, "Consolidate New Feed Items")) return true;
    const std::string templateFile =
        findMailTemplateFile(requestFile, "New Feed Item Template", "mailnote-NewFeedItem.template");
    return expandAndSend(requestFile, out, err, templateFile, kSingleItemTemplate, {"NewFeedItem"},
                         itemTitleOrDefault(readValue(requestFile, "NewFeedItem", "Title")));
}

bool sendConsolidatedNewFeedItemsMail(const std::string& requestFile, const OutputFile& out, const OutputFile& err) {
    if (!readBool(requestFile, kChannelParams, "Consolidate New Feed Items")) return true;
    const std::string templateFile = findMailTemplateFile(requestFile, "Consolidated New Feed Items Template",
                                                          "mailnote-ConsolidatedNewFeedItems.template");
    std::vector<std::string> sections;
    for (int n = 1;; ++n) {
        const std::string section = "NewFeedItem-" + std::to_string(n);
        if (readValue(requestFile, section, "Id").empty()) break;
        sections.push_back(section);
    }
    const std::string subjectItem = sections.size() < 2
                                        ? itemTitleOrDefault(readValue(requestFile, "NewFeedItem-1", "Title"))
                                        : std::to_string(sections.size()) + " new items";
    return expandAndSend(requestFile, out, err, templateFile, kConsolidatedTemplate, sections, subjectItem);
}

bool processEvent(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    const OutputFile out(stdoutFile);
    const OutputFile err(stderrFile);
    try {
        const std::string request = requestFile != nullptr ? requestFile : "";
        const std::string name = readValue(request, kConfig, "EventName");
        if (strcasecmp(name.c_str(), "NewFeedItem") == 0) return sendNewFeedItemMail(request, out, err);
        if (strcasecmp(name.c_str(), "ConsolidatedNewFeedItems") == 0)
            return sendConsolidatedNewFeedItemsMail(request, out, err);
        err.write("Unknown event: " + name + "\n");
    } catch (const std::exception& e) {
        // Nothing is thrown across the library's C interface.
        err.write(std::string(e.what()) + "\n");
    }
    return false;
}

bool processCommand(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    const OutputFile out(stdoutFile);
    const OutputFile err(stderrFile);
    err.write("Unknown command: " + readValue(requestFile != nullptr ? requestFile : "", kConfig, "CommandName") +
              "\n");
    return false;
}

}  // namespace

MAILNOTE_EXPORT bool process_event(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    return processEvent(requestFile, stdoutFile, stderrFile);
}

MAILNOTE_EXPORT bool process_command(const char* requestFile, const char* stdoutFile, const char* stderrFile) {
    return processCommand(requestFile, stdoutFile, stderrFile);
}

MAILNOTE_EXPORT void* channel_hook_malloc(std::size_t size) { return std::malloc(size); }

MAILNOTE_EXPORT void channel_hook_free(void* p) { std::free(p); }

MAILNOTE_EXPORT bool get_channel_hook_info(int version, ChannelHookInfo* info, const char*) {
    if (version != channels::kChannelHookInfoVersion || info == nullptr) return false;
    info->words[0] = reinterpret_cast<std::uintptr_t>(&process_event);
    info->words[1] = reinterpret_cast<std::uintptr_t>(&process_command);
    info->words[2] = reinterpret_cast<std::uintptr_t>(&channel_hook_malloc);
    info->words[3] = reinterpret_cast<std::uintptr_t>(&channel_hook_free);
    return true;
}
