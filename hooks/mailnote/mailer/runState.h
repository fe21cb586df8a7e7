#pragma once
// The mailer's run state and its log, shared by the command line, message
// building and the SMTP dialogue. Process-wide; reset at the start of a run.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace mailer {

enum class BodyEncoding { None, QuotedPrintable, Base64, Uuencode };
enum class BodySource { File, Stdin, Text };

struct Attachment {
    std::string name;
    bool text = false;
};

constexpr std::size_t kMaxAttachments = 64;

struct RunState {
    bool quiet = false;
    bool debug = false;
    int xMailerMode = 0;  // 0 full text, 1 without the home page, 2 none
    BodyEncoding encoding = BodyEncoding::None;
    std::string textSubtype = "plain";
    std::string charset = "ISO-8859-1";
    bool authPlain = false;
    std::string profile;

    std::string server;
    std::string port;  // empty: the "smtp" service
    std::string mailFrom;
    std::string fromHeader;  // -from
    std::string iAddress;    // -i
    bool iGiven = false;
    std::string replyTo;
    std::string sender;
    std::string returnPath;
    std::string organization;
    std::string subject;
    std::string xHeaders;
    std::string a1Headers;
    std::string a2Headers;
    std::string hostname;
    std::string user;
    std::string password;
    std::string tryText = "ONCE";
    char priority = 0;  // 0: none; '0' low, '1' high
    bool returnReceipt = false;
    bool dispositionNotification = false;
    bool penguin = false;

    std::string to;
    std::string cc;
    std::string bcc;
    std::vector<Attachment> attachments;

    BodySource bodySource = BodySource::File;
    std::string bodyFile;
    std::string bodyText;
    int timeoutSeconds = 30;

    // Web-gateway runs: header lines added from the request, and the
    // "Received" line's two names.
    bool gateway = false;
    std::string gatewayHeaders;
    std::string receivedFrom;
    std::string receivedBy;
};

RunState& runState();

// The X-Mailer text of the hook (outlives runs).
const std::string& hookXMailer();

// Whether runs are cancelled (setMailerCancelled).
bool mailerCancelled();

// Progress and error lines: into the -log file when one is open, else the
// mailer's standard output; nothing while quiet (debug overrides quiet).
void logf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logText(const std::string& text);

std::FILE* mailerIn();
std::FILE* mailerOut();

// A whole file: 0, or 3 (open) / 5 (read) with "error reading ..." logged.
int readFileText(const std::string& path, std::string& text);

// Message building (message.cpp). 0 and the text, or an exit code (2..5).
int buildMessage(const RunState& state, std::time_t now, std::string& message);

// The SMTP dialogue with retries (smtp.cpp): 0, -1 or -2.
int sendWithRetries(const RunState& state, const std::string& message);

}  // namespace mailer
