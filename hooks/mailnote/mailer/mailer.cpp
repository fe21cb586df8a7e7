#include "hooks/mailnote/mailer/mailer.h"

#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "hooks/mailnote/mailer/runState.h"
#include "platform/registry.h"
#include "tools/codecs.h"

namespace mailer {

namespace {

const char kRegistryKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zerudo Dadidu\\Diru";

RunState g_state;
std::string g_hookXMailer;
std::FILE* g_log = nullptr;
std::FILE* g_in = nullptr;
std::FILE* g_out = nullptr;
std::atomic<bool> g_cancelled{false};

// Closes the -log file when a run ends, on every path.
struct LogCloser {
    ~LogCloser() {
        if (g_log != nullptr) std::fclose(g_log);
        g_log = nullptr;
    }
};

bool same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

const char* const kUsage[] = {
    "Diru v1.9.4: WinNT/95 console utility to mail a file via SMTP",
    "by the Diru authors; maintained as part of orvan's mailnote hook",
    "home page: http://diru.example.org/",
    "syntax:",
    "  Diru <filename> -to <recipient> [optional switches (see below)]",
    "  Diru -install <server addr> <sender's addr> [<try>[<port>[<profile>]]] [-q]",
    "  Diru -profile [-delete | \"<default>\"] [profile1] [profileN] [-q]",
    "  Diru -h [-q]",
    "-install <server addr> <sender's addr> [<try n times> [<port> [<profile>]]]",
    "     : set's SMTP server, sender, number of tries and port for profile",
    "       (<try n times> and <port> may be replaced by '-').",
    "<filename>     : file with the message body ('-' for console input, end with ^Z)",
    "-to <recipient> : recipient list (also -t) (comma separated)",
    "-tf <recipient> : recipient list filename",
    "-subject <subj>: subject line (also -s)",
    "-f <sender>    : overrides the default sender address (must be known to server)",
    "-i <addr>      : a 'From:' address, not necessarily known to the SMTP server.",
    "-cc <recipient>: carbon copy recipient list (also -c) (comma separated)",
    "-cf <file>     : cc recipient list filename",
    "-bcc <recipient>: blind carbon copy recipient list (also -bcc) (comma separated)",
    "-bf <file>     : bcc recipient list filename",
    "-organization <organization>: Organization field (also -o and -org)",
    "-body <text>   : Message body",
    "-x <X-Header: detail>: Custom 'X-' header.  eg: -x \"X-INFO: Diru is Great!\"",
    "-r             : Request return receipt.",
    "-d             : Request disposition notification.",
    "-h             : displays this help.",
    "-q             : supresses *all* output.",
    "-debug         : Echoes server communications to screen (disables '-q').",
    "-noh           : prevent X-Mailer header from showing homepage of diru",
    "-noh2          : prevent X-Mailer header entirely",
    "-p <profile>   : send with SMTP server, user and port defined in <profile>.",
    "-priority <pr> : set message priority 0 for low, 1 for high.",
    "-server <addr> : Specify SMTP server to be used. (optionally, addr:port)",
    "-port <port>   : port to be used on the server, defaults to SMTP (25)",
    "-hostname <hst>: select the hostname used to send the message",
    "-mime          : MIME Quoted-Printable Content-Transfer-Encoding.",
    "-enriched      : Send an enriched text message (Content-Type=text/enriched)",
    "-html          : Send an HTML message (Content-Type=text/html)",
    "-uuencode      : Send (binary) file UUEncoded",
    "-base64        : Send (binary) file using base64 (binary Mime)",
    "-try <n times> : how many time diru should try to send. from '1' to 'INFINITE'",
    "-attach <file> : attach binary file to message (may be repeated)",
    "-attacht <file>: attach text file to message (may be repeated)",
    "-ti <n>        : Set timeout to 'n' seconds.",
    "-u <username>  : Username for AUTH LOGIN (use with -pw)",
    "-pw <password> : Password for AUTH LOGIN (use with -u)",
    "-log <filename>: Log everything but usage to <filname>",
    "-plain         : Use AUTH PLAIN to login to SMTP server (use with -u -pw)",
    "-charset <cs>  : User defined charset.  The default is ISO-8859-1",
    "Note that if the '-i' option is used, <sender> is included in 'Reply-to:'",
    "and 'Sender:' fields in the header of the message.",
    "Optionally, the following options can be used instead of the -f and -i",
    "options:",
    "-mailfrom <addr>   The RFC 821 MAIL From: statement",
    "-from <addr>       The RFC 822 From: statement",
    "-replyto <addr>    The RFC 822 Reply-To: statement",
    "-returnpath <addr> The RFC 822 Return-Path: statement",
    "-sender <addr>     The RFC 822 Sender: statement",
    "For backward consistency, the -f and -i options have precedence over these",
    "RFC 822 defined options. If both -f and -i options are omitted then the ",
    "RFC 821 MAIL FROM statement will be defaulted to use the installation-defined ",
    "default sender address",
};

int usage() {
    for (const char* line : kUsage) std::fprintf(mailerOut(), "%s\n", line);
    std::fflush(mailerOut());
    return 1;
}

// Options of the first pass; "-p" and "-log" take a value.
bool isFirstPassOption(const std::string& a) {
    static const char* const names[] = {"-noh",      "-noh2", "-q",        "-debug", "-mime",  "-base64",
                                        "-uuencode", "-p",    "-enriched", "-html",  "-plain", "-log"};
    for (const char* name : names)
        if (same(a, name)) return true;
    return false;
}

// Options of the second pass that take the next argument as their value
// (names compared as the second pass compares them).
bool takesValue(const std::string& a) {
    static const char* const anyCase[] = {"-to",       "-t",    "-tf",       "-cc",      "-c",          "-cf",
                                          "-bcc",      "-b",    "-bf",       "-subject", "-s",          "-sf",
                                          "-mailfrom", "-from", "-sender",   "-replyto", "-returnpath", "-organization",
                                          "-o",        "-org",  "-a1",       "-a2",      "-server",     "-port",
                                          "-hostname", "-u",    "-username", "-pw",      "-password",   "-charset",
                                          "-priority", "-try",  "-ti",       "-p",       "-log"};
    static const char* const exactCase[] = {"-f", "-i", "-body", "-attach", "-attacht"};
    for (const char* name : anyCase)
        if (same(a, name)) return true;
    for (const char* name : exactCase)
        if (a == name) return true;
    return false;
}

// Arguments that are never the body file when they come first.
bool isLeadingOption(const std::string& a) {
    return same(a, "-install") || same(a, "-profile") || same(a, "-h") || same(a, "-r") || same(a, "-d") ||
           same(a, "-penguin") || isFirstPassOption(a);
}

// The first pass: output, encoding, profile and log options. The values of
// the other options are stepped over, so that a password or subject that
// looks like one of these options is never taken for it.
void firstPass(const std::vector<std::string>& args) {
    RunState& st = g_state;
    std::size_t i = 1;
    if (args.size() > 1 && !isLeadingOption(args[1])) i = 2;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (same(a, "-noh")) {
            st.xMailerMode = 1;
        } else if (same(a, "-noh2")) {
            st.xMailerMode = 2;
        } else if (same(a, "-q")) {
            st.quiet = true;
        } else if (same(a, "-debug")) {
            st.quiet = false;
            st.debug = true;
        } else if (same(a, "-mime")) {
            st.encoding = BodyEncoding::QuotedPrintable;
        } else if (same(a, "-base64")) {
            st.encoding = BodyEncoding::Base64;
        } else if (same(a, "-uuencode")) {
            st.encoding = BodyEncoding::Uuencode;
        } else if (same(a, "-enriched")) {
            st.textSubtype = "enriched";
        } else if (same(a, "-html")) {
            st.textSubtype = "html";
        } else if (same(a, "-plain")) {
            st.authPlain = true;
        } else if (same(a, "-p") && hasNext) {
            st.profile = args[++i];
        } else if (same(a, "-log") && hasNext) {
            if (g_log != nullptr) std::fclose(g_log);
            g_log = std::fopen(args[++i].c_str(), "a+");
        } else if (same(a, "-x")) {
            if (hasNext && args[i + 1].rfind("X-", 0) == 0) ++i;
        } else if (takesValue(a) && hasNext) {
            ++i;
        }
    }
}

void readProfile() {
    RunState& st = g_state;
    std::string key = kRegistryKey;
    if (!st.profile.empty() && platform::registry::keyExists(key + "\\" + st.profile)) key += "\\" + st.profile;
    if (!platform::registry::keyExists(key)) return;
    auto server = platform::registry::getString(key, "SMTP server");
    auto sender = platform::registry::getString(key, "Sender");
    if (!server || !sender) return;
    st.server = *server;
    st.mailFrom = *sender;
    st.tryText = platform::registry::getString(key, "Try").value_or("1");
    st.port = platform::registry::getString(key, "SMTP Port").value_or("");
}

std::vector<std::string> withoutQuietFlag(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (const std::string& a : args)
        if (!same(a, "-q")) out.push_back(a);
    return out;
}

int installProfile(const std::vector<std::string>& allArgs) {
    const std::vector<std::string> args = withoutQuietFlag(allArgs);
    if (args.size() < 3 || args.size() > 7) {
        logf("to install: diru -install <server addr> <sender's addr> [<try>[<port>[<profile>]]] [-q]\n");
        return 6;
    }
    const std::string server = args[2];
    const std::string sender = args.size() > 3 ? args[3] : "";
    std::string tries = args.size() > 4 ? args[4] : "1";
    if (tries == "-" || tries == "0") tries = "ONCE";
    std::string port = args.size() > 5 ? args[5] : "25";
    if (port == "-" || port == "0") port = "25";
    std::string key = kRegistryKey;
    if (args.size() > 6) key += "\\" + args[6];
    if (!platform::registry::createKey(key)) {
        logf("Error in creating diru key in the registry\n");
        return 10;
    }
    if (!platform::registry::setString(key, "SMTP server", server)) {
        logf("Error in setting SMTP server value in the registry\n");
        return 11;
    }
    if (!platform::registry::setString(key, "Sender", sender)) {
        logf("Error in setting sender address value in the registry\n");
        return 11;
    }
    if (!platform::registry::setString(key, "SMTP Port", port)) {
        logf("Error in setting port value in the registry\n");
        return 11;
    }
    if (!platform::registry::setString(key, "Try", tries)) {
        logf("Error in setting number of try value in the registry\n");
        return 11;
    }
    logf("\nSMTP server set to %s on port %s with user %s, retry %s time(s)\n", server.c_str(), port.c_str(),
         sender.c_str(), tries.c_str());
    return 0;
}

void listProfile(const std::string& key, const std::string& name) {
    auto get = [&](const char* value, const char* fallback) {
        return platform::registry::getString(key, value).value_or(fallback);
    };
    logf("%s %s %s %s %s\n", get("SMTP server", "").c_str(), get("Sender", "").c_str(), get("Try", "1").c_str(),
         get("SMTP Port", "25").c_str(), name.c_str());
}

int editProfiles(const std::vector<std::string>& allArgs) {
    const std::vector<std::string> args = withoutQuietFlag(allArgs);
    if (args.size() > 2 && same(args[2], "-delete")) {
        for (std::size_t i = 3; i < args.size(); ++i) {
            const std::string key = std::string(kRegistryKey) + "\\" + args[i];
            if (!platform::registry::keyExists(key)) {
                logf("Error in finding diru profile %s in the registry\n", args[i].c_str());
                return 10;
            }
            if (!platform::registry::deleteTree(key)) {
                logf("Error in deleting profile %s in the registry\n", args[i].c_str());
                return 11;
            }
        }
        return 0;
    }
    std::vector<std::string> asked(args.begin() + 2, args.end());
    if (asked.empty()) asked.push_back("<all>");
    bool all = false;
    bool withDefault = false;
    for (const std::string& name : asked) {
        if (name == "<all>") all = true;
        if (name == "<all>" || name == "<default>") withDefault = true;
    }
    logf("DIRU PROFILE EDITOR\n");
    logf("To modify:    diru -install SMTPHost Sender [Try [Port [Profile]]]\n");
    logf("To delete:    diru -profile -delete Profile\n");
    logf("Profiles are listed as in the -install option:\n");
    logf("SMTPHost Sender Try SMTPPort Profile\n\n");
    if (withDefault && platform::registry::keyExists(kRegistryKey)) listProfile(kRegistryKey, "<default>");
    for (const std::string& sub : platform::registry::subKeyNames(kRegistryKey).value_or(std::vector<std::string>{})) {
        bool wanted = all;
        for (const std::string& name : asked)
            if (same(sub, name.c_str())) wanted = true;
        if (wanted) listProfile(std::string(kRegistryKey) + "\\" + sub, sub);
    }
    return 0;
}

// A recipient list file: one address per line or comma separated.
int readListFile(const std::string& path, const char* label, std::string& list) {
    std::string text;
    if (const int rc = readFileText(path, text); rc != 0) return rc;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (!text.empty() && text.back() == ',') text.pop_back();
    int count = 1;
    for (char& c : text) {
        if (c == '\r') c = ' ';
        if (c == '\n') c = ',';
        if (c == ',') ++count;
    }
    logf("Read %d %s addresses from %s\n", count, label, path.c_str());
    list = text;
    return 0;
}

void appendLine(std::string& lines, const std::string& line) {
    if (!lines.empty()) lines += "\r\n";
    lines += line;
}

// The second pass over every argument; 0 or an exit code.
int secondPass(const std::vector<std::string>& args, bool gateway) {
    RunState& st = g_state;
    std::size_t i = 1;
    if (args.size() > 1 && !isLeadingOption(args[1])) {
        const std::string& body = args[1];
        if (gateway) {
            st.bodySource = BodySource::Text;
        } else if (body == "-") {
            st.bodySource = BodySource::Stdin;
        } else if (!fileExists(body)) {
            logf("%s does not exist\n", body.c_str());
            return 2;
        } else {
            st.bodySource = BodySource::File;
            st.bodyFile = body;
        }
        i = 2;
    } else if (args.size() <= 1) {
        if (!st.quiet) usage();
        return 1;
    }

    bool toGiven = false, toFileGiven = false, ccGiven = false, ccFileGiven = false;
    bool bccGiven = false, bccFileGiven = false;
    std::string mailFromOption;
    bool fGiven = false;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (isFirstPassOption(a)) {
            if ((same(a, "-p") || same(a, "-log")) && i + 1 < args.size()) ++i;
            continue;
        }
        if (same(a, "-r")) {
            st.returnReceipt = true;
            continue;
        }
        if (same(a, "-d")) {
            st.dispositionNotification = true;
            continue;
        }
        if (same(a, "-penguin")) {
            st.penguin = true;
            continue;
        }
        if (same(a, "-h")) return usage();
        if (same(a, "-x")) {
            if (i + 1 < args.size() && args[i + 1].rfind("X-", 0) == 0) appendLine(st.xHeaders, args[++i]);
            continue;
        }
        if (!takesValue(a) || i + 1 >= args.size()) {
            if (!st.quiet) usage();
            return 1;
        }
        const std::string& v = args[++i];
        int rc = 0;
        if (same(a, "-to") || same(a, "-t")) {
            if (toFileGiven) rc = (logf("-t/-to can not be used with -tf.  Aborting.\n"), 1);
            st.to = v;
            toGiven = true;
        } else if (same(a, "-tf")) {
            if (toGiven) rc = (logf("-t/-to can not be used with -tf.  Aborting.\n"), 1);
            if (rc == 0) rc = readListFile(v, "TO", st.to);
            toFileGiven = true;
        } else if (same(a, "-cc") || same(a, "-c")) {
            if (ccFileGiven) rc = (logf("-c/-cc can not be used with -cf.  Aborting.\n"), 1);
            st.cc = v;
            ccGiven = true;
        } else if (same(a, "-cf")) {
            if (ccGiven) rc = (logf("-c/-cc can not be used with -cf.  Aborting.\n"), 1);
            if (rc == 0) rc = readListFile(v, "CC", st.cc);
            ccFileGiven = true;
        } else if (same(a, "-bcc") || same(a, "-b")) {
            if (bccFileGiven) rc = (logf("-b/-bcc can not be used with -bf.  Aborting.\n"), 1);
            st.bcc = v;
            bccGiven = true;
        } else if (same(a, "-bf")) {
            if (bccGiven) rc = (logf("-b/-bcc can not be used with -bf.  Aborting.\n"), 1);
            if (rc == 0) rc = readListFile(v, "BCC", st.bcc);
            bccFileGiven = true;
        } else if (same(a, "-subject") || same(a, "-s")) {
            st.subject = v.substr(0, 1023);
        } else if (same(a, "-sf")) {
            std::ifstream in(v, std::ios::binary);
            std::string line;
            if (in && std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                st.subject = line.substr(0, 1023);
            } else if (!in) {
                st.subject = v.substr(0, 1023);
            }
        } else if (a == "-f") {
            st.mailFrom = v;
            fGiven = true;
        } else if (a == "-i") {
            st.iAddress = v;
            st.iGiven = true;
        } else if (same(a, "-mailfrom")) {
            mailFromOption = v;
        } else if (same(a, "-from")) {
            st.fromHeader = v;
        } else if (same(a, "-sender")) {
            st.sender = v;
        } else if (same(a, "-replyto")) {
            st.replyTo = v;
        } else if (same(a, "-returnpath")) {
            st.returnPath = v;
        } else if (same(a, "-organization") || same(a, "-o") || same(a, "-org")) {
            st.organization = v;
        } else if (same(a, "-a1")) {
            appendLine(st.a1Headers, v);
        } else if (same(a, "-a2")) {
            appendLine(st.a2Headers, v);
        } else if (a == "-body") {
            st.bodySource = BodySource::Text;
            st.bodyText = v;
            for (char& c : st.bodyText)
                if (c == '|') c = '\n';
        } else if (a == "-attach" || a == "-attacht") {
            if (st.attachments.size() >= kMaxAttachments)
                logf("Max of 64 files allowed!  Others are being ignored\n");
            else
                st.attachments.push_back({v, a == "-attacht"});
        } else if (same(a, "-server")) {
            st.server = v;
        } else if (same(a, "-port")) {
            st.port = v;
        } else if (same(a, "-hostname")) {
            st.hostname = v;
        } else if (same(a, "-u") || same(a, "-username")) {
            st.user = v;
        } else if (same(a, "-pw") || same(a, "-password")) {
            st.password = v;
        } else if (same(a, "-charset")) {
            st.charset = v;
        } else if (same(a, "-priority")) {
            st.priority = v.empty() ? 0 : v[0];
        } else if (same(a, "-try")) {
            st.tryText = v;
        } else if (same(a, "-ti")) {
            st.timeoutSeconds = std::atoi(v.c_str());
        }
        if (rc != 0) return rc;
    }
    if (!fGiven && !mailFromOption.empty()) st.mailFrom = mailFromOption;
    if (!st.iGiven) st.iAddress = st.mailFrom;
    return 0;
}

// ---------------------------------------------------------------------------
// Web-gateway runs

struct GatewayRequest {
    std::vector<std::pair<std::string, std::string>> fields;
};

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string formDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// One header value or page address: no line breaks can get into the output.
std::string singleLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

const std::string* findField(const GatewayRequest& request, const std::string& name) {
    for (const auto& field : request.fields)
        if (same(field.first, name.c_str())) return &field.second;
    for (const auto& field : request.fields)
        if (same(field.first, ("Diru_" + name).c_str())) return &field.second;
    return nullptr;
}

GatewayRequest readGatewayRequest() {
    std::string text = env("QUERY_STRING");
    if (same(env("REQUEST_METHOD"), "POST")) {
        long length = std::atol(env("CONTENT_LENGTH").c_str());
        std::string body;
        char piece[4096];
        while (length > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<long>(length, sizeof piece));
            const std::size_t got = std::fread(piece, 1, want, mailerIn());
            if (got == 0) break;
            body.append(piece, got);
            length -= static_cast<long>(got);
        }
        if (!body.empty()) text += (text.empty() ? "" : "&") + body;
    }
    GatewayRequest request;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const std::string::size_type eq = pair.find('=');
            request.fields.emplace_back(formDecode(pair.substr(0, eq)),
                                        eq == std::string::npos ? "" : formDecode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return request;
}

// The option text of a template file, each %FIELD% replaced by the field's
// value so that the value stays one argument: quoted where it stands
// outside quotes, with its double quotes made single inside them.
std::string expandOptionTemplate(const std::string& text, const GatewayRequest& request) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            const std::string::size_type end = text.find('%', i + 1);
            if (end != std::string::npos) {
                const std::string name = text.substr(i + 1, end - i - 1);
                const std::string* value = nullptr;
                for (const auto& field : request.fields)
                    if (!name.empty() && field.first == name) value = &field.second;
                if (value != nullptr) {
                    if (quoted) {
                        std::string inner = *value;
                        for (char& ch : inner)
                            if (ch == '"') ch = '\'';
                        const std::string q = quoteArgument(inner);
                        out += q.substr(1, q.size() - 2);
                    } else {
                        out += quoteArgument(*value);
                    }
                    i = end;
                    continue;
                }
            }
        }
        if (c == '"') quoted = !quoted;
        out += c;
    }
    return out;
}

std::vector<std::string> gatewayArguments(const GatewayRequest& request) {
    std::string optionText;
    const std::string templateFile = env("PATH_TRANSLATED");
    struct stat st {};
    if (!templateFile.empty() && ::stat(templateFile.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        std::ifstream in(templateFile, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        optionText = expandOptionTemplate(content.str(), request);
    } else {
        struct Row {
            const char* field;
            const char* option;
            bool value;
        };
        static const Row rows[] = {
            {"TO", "-t", true},           {"CC", "-c", true},
            {"BCC", "-b", true},          {"SENDER", "-f", true},
            {"FROM", "-i", true},         {"ORGANISATION", "-o", true},
            {"SERVER", "-server", true},  {"SUBJECT", "-s", true},
            {"PORT", "-port", true},      {"HOSTNAME", "-hostname", true},
            {"TIMEOUT", "-ti", true},     {"XHEADER", "-x", true},
            {"NOH", "-noh", false},       {"NOH2", "-noh2", false},
            {"MIME", "-mime", false},     {"UUENCODE", "-uuencode", false},
            {"BASE64", "-base64", false}, {"REQUESTRECEIPT", "-r", false},
            {"NOTIFY", "-d", false},
        };
        optionText = "-";
        for (const Row& row : rows) {
            const std::string* value = findField(request, row.field);
            if (value == nullptr) continue;
            if (row.value) {
                std::string v = *value;
                for (char& c : v)
                    if (c == '"') c = '\'';
                optionText += std::string(" ") + row.option + " " + quoteArgument(v);
            } else if (value->empty() || (value->front() != '0' && value->front() != 'N' && value->front() != 'n')) {
                optionText += std::string(" ") + row.option;
            }
        }
    }
    std::vector<std::string> args = splitCommandLine(optionText);
    args.insert(args.begin(), std::string());
    return args;
}

void prepareGatewayMessage(const GatewayRequest& request) {
    RunState& st = g_state;
    st.gateway = true;
    st.bodySource = BodySource::Text;
    st.bodyText.clear();
    for (const auto& field : request.fields)
        if (strncasecmp(field.first.c_str(), "Diru_", 5) != 0) st.bodyText += field.second + "\r\n";
    const struct {
        const char* variable;
        const char* header;
    } headers[] = {{"HTTP_USER_AGENT", "X-Web-Browser: Send using "},
                   {"HTTP_REFERER", "X-Referer: "},
                   {"HTTP_X_FORWARDED_FOR", "X-X-Forwarded-For: "},
                   {"HTTP_FORWARDED", "X-Forwarded: "},
                   {"HTTP_VIA", "X-Via: "}};
    for (const auto& h : headers)
        if (std::getenv(h.variable) != nullptr) st.gatewayHeaders += h.header + singleLine(env(h.variable)) + "\r\n";
    st.receivedFrom = singleLine(env("REMOTE_ADDR"));
    st.receivedBy = singleLine(env("SERVER_NAME"));
}

void writeGatewayPage(const GatewayRequest& request, int rc) {
    std::string page;
    for (const auto& field : request.fields)
        if (same(field.first, rc == 0 ? "DIRU_SUCCESS" : "DIRU_FAILURE")) page = singleLine(field.second);
    std::FILE* out = mailerOut();
    std::fputs("Expires: Thu, 01 Dec 1994 16:00:00 GMT\r\nPragma: no-cache\r\n", out);
    if (!page.empty()) {
        const std::string shown = tools::encodeHtmlEntities(page, "<>&\"");
        std::fprintf(out,
                     "Location: %s\r\n\r\n<html><head><meta http-equiv=\"refresh\" content=\"0; URL=%s\"></head>"
                     "<body><a href=\"%s\">Click here to go to %s</a></body></html>\r\n",
                     page.c_str(), shown.c_str(), shown.c_str(), shown.c_str());
    } else {
        std::fprintf(out,
                     "Content-type: text/html\r\n\r\n<html><body>Diru sending message result = %d : %s"
                     "</body></html>\r\n",
                     rc, rc == 0 ? "Success" : "Failure");
    }
    std::fflush(out);
}

int run(const std::vector<std::string>& args, bool gateway) {
    RunState& st = g_state;
    firstPass(args);
    if (gateway) {
        st.quiet = true;
        st.debug = false;
    }
    if (args.size() > 1 && same(args[1], "-install")) return installProfile(args);
    if (args.size() > 1 && same(args[1], "-profile")) return editProfiles(args);
    readProfile();
    if (const int rc = secondPass(args, gateway); rc != 0) return rc;

    if (st.server.empty() || st.mailFrom.empty()) {
        logf(
            "to set the SMTP server's address and the user name at that address do:\ndiru -install server "
            "username\n");
        logf("or use '-server <server name>' and '-f <user name>'\n");
        logf("aborting, nothing sent\n");
        return 12;
    }

    std::string message;
    if (const int rc = buildMessage(st, std::time(nullptr), message); rc != 0) return rc;

    std::string envelope = st.to;
    for (const std::string* list : {&st.cc, &st.bcc})
        if (!list->empty()) envelope += (envelope.empty() ? "" : ",") + *list;
    const std::string bodyName = st.bodySource == BodySource::File ? st.bodyFile : "stdin.txt";
    logf("Sending %s to %s\n", bodyName.c_str(), envelope.empty() ? "<unspecified>" : envelope.c_str());
    if (!st.subject.empty()) logf("Subject:%s\n", st.subject.c_str());
    logf("Login name is %s\n", st.mailFrom.c_str());

    const int result = sendWithRetries(st, message);
    return result < 0 ? -result : result;
}

}  // namespace

RunState& runState() { return g_state; }
const std::string& hookXMailer() { return g_hookXMailer; }

std::FILE* mailerIn() { return g_in != nullptr ? g_in : stdin; }
std::FILE* mailerOut() { return g_out != nullptr ? g_out : stdout; }

void setMailerStandardStreams(std::FILE* in, std::FILE* out) {
    g_in = in;
    g_out = out;
}

void logText(const std::string& text) {
    if (g_state.quiet && !g_state.debug) return;
    std::FILE* out = g_log != nullptr ? g_log : mailerOut();
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void logf(const char* format, ...) {
    if (g_state.quiet && !g_state.debug) return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    logText(text);
}

void setMailerCancelled(bool cancelled) { g_cancelled = cancelled; }
bool mailerCancelled() { return g_cancelled; }

void setMailerXMailer(const char* text) { g_hookXMailer = text != nullptr ? text : ""; }

int runMailerCommandLine(const std::string& commandLine) {
    std::vector<std::string> args = splitCommandLine(commandLine);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(""));
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return mailerMain(static_cast<int>(args.size() + 1), argv.data());
}

int mailerMain(int argc, char** argv) {
    const bool gateway =
        argc <= 2 && std::getenv("REQUEST_METHOD") != nullptr && std::getenv("GATEWAY_INTERFACE") != nullptr;
    g_state = RunState();
    LogCloser closer;
    std::vector<std::string> args;
    GatewayRequest request;
    if (gateway) {
        request = readGatewayRequest();
        args = gatewayArguments(request);
    } else {
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    }
    if (gateway) prepareGatewayMessage(request);
    const int rc = run(args, gateway);
    if (gateway) writeGatewayPage(request, rc);
    return rc;
}

}  // namespace mailer
