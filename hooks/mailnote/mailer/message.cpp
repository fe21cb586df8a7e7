#include "hooks/mailnote/mailer/message.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "hooks/mailnote/mailer/runState.h"

namespace mailer {

namespace {

const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char kHex[] = "0123456789ABCDEF";
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char kBoundaryChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A header value longer than this is written as folded encoded words, so
// that no header line passes the 998-octet limit of SMTP.
constexpr std::size_t kLongHeaderValue = 900;

bool isQuotedPrintableSafe(unsigned char c) { return (c >= 33 && c <= 60) || c == 62 || (c >= 64 && c <= 126); }

bool isHeaderSafe(unsigned char c) { return (c >= 32 && c <= 60) || c == 62 || (c >= 64 && c <= 125); }

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

void encodeBase64Group(const unsigned char* in, std::size_t n, std::string& out) {
    const unsigned v = (unsigned(in[0]) << 16) | (n > 1 ? unsigned(in[1]) << 8 : 0u) | (n > 2 ? unsigned(in[2]) : 0u);
    out += kBase64[(v >> 18) & 63];
    out += kBase64[(v >> 12) & 63];
    out += n > 1 ? kBase64[(v >> 6) & 63] : '=';
    out += n > 2 ? kBase64[v & 63] : '=';
}

// readFileText for a body or attachment, which must be a disk file (4).
int readDiskFile(const std::string& path, std::string& text) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        logf("Sorry, I can only mail messages from disk files...\n");
        return 4;
    }
    return readFileText(path, text);
}

std::string makeBoundary() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    std::string boundary = "DiruBoundary-";
    for (int i = 0; i < 20; ++i) boundary += kBoundaryChars[std::rand() % 62];
    return boundary;
}

// The files an attachment entry names: every match of a wild-card pattern
// that is not a directory, or the name itself when it exists.
std::vector<std::string> expandAttachment(const std::string& name) {
    std::vector<std::string> files;
    const bool wild = name.find_first_of("*?[") != std::string::npos;
    glob_t matches{};
    if (wild && ::glob(name.c_str(), 0, nullptr, &matches) == 0) {
        for (std::size_t i = 0; i < matches.gl_pathc; ++i) {
            const std::string path = matches.gl_pathv[i];
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                const std::string::size_type slash = path.find_last_of('/');
                const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
                logf("  ignoring %s%s\n", dir.c_str(), fileNameOf(path).c_str());
                continue;
            }
            logf("  found %s\n", path.c_str());
            files.push_back(path);
        }
    } else if (!wild && ::access(name.c_str(), F_OK) == 0) {
        files.push_back(name);
    }
    if (wild) ::globfree(&matches);
    if (files.empty()) logf("File not found: %s\n", name.c_str());
    return files;
}

std::string joinHeaderLines(const std::string& lines) { return lines.empty() ? lines : lines + "\r\n"; }

}  // namespace

int readFileText(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        logf("error reading %s, aborting\n", path.c_str());
        return 3;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        logf("error reading %s, aborting\n", path.c_str());
        return 5;
    }
    text = content.str();
    return 0;
}

void encodeQuotedPrintableChar(unsigned char c, int& lineLength, std::string& out, bool header) {
    if (!header && c == '\n') {
        out += "\r\n";
        lineLength = 0;
        return;
    }
    if (!header && c == '\r') return;
    // In an encoded word "_" stands for a blank, so a real one is encoded.
    if (isQuotedPrintableSafe(c) && !(header && c == '_')) {
        out += static_cast<char>(c);
        lineLength += 1;
    } else {
        out += '=';
        out += kHex[c >> 4];
        out += kHex[c & 15];
        lineLength += 3;
    }
    if (!header && lineLength > 71) {
        out += "=\r\n";
        lineLength = 0;
    }
}

std::string encodeQuotedPrintable(const std::string& text) {
    std::string out;
    int length = 0;
    for (char c : text) encodeQuotedPrintableChar(static_cast<unsigned char>(c), length, out, false);
    return out;
}

std::string encodeHeaderWord(const std::string& value, const std::string& charset, bool* encoded) {
    bool needed = value.size() > kLongHeaderValue;
    for (char c : value)
        if (!isHeaderSafe(static_cast<unsigned char>(c))) needed = true;
    if (encoded != nullptr) *encoded = needed;
    if (!needed) return value;

    const std::string prefix = "=?" + charset + "?Q?";
    const std::size_t room = prefix.size() + 2 < 75 - 12 ? 75 - prefix.size() - 2 : 12;
    const bool utf8 = equalsNoCase(charset, "UTF-8") || equalsNoCase(charset, "UTF8");
    std::string out;
    std::string word;
    auto flush = [&] {
        if (!out.empty()) out += "\r\n ";
        out += prefix + word + "?=";
        word.clear();
    };
    for (std::size_t i = 0; i < value.size();) {
        // One character: a UTF-8 sequence stays within one word.
        std::size_t end = i + 1;
        if (utf8)
            while (end < value.size() && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80 && end - i < 4) ++end;
        std::string piece;
        int length = 0;
        for (std::size_t k = i; k < end; ++k)
            encodeQuotedPrintableChar(static_cast<unsigned char>(value[k]), length, piece, true);
        if (!word.empty() && word.size() + piece.size() > room) flush();
        word += piece;
        i = end;
    }
    if (!word.empty() || out.empty()) flush();
    return out;
}

std::string encodeBase64(const std::string& bytes) {
    std::string out;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        if (i % 54 == 0) out += "\r\n";
        encodeBase64Group(data + i, std::min<std::size_t>(3, bytes.size() - i), out);
    }
    return out;
}

std::string encodeBase64Line(const std::string& bytes) {
    std::string out;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size(); i += 3)
        encodeBase64Group(data + i, std::min<std::size_t>(3, bytes.size() - i), out);
    return out;
}

std::string uuencodeFile(const std::string& bytes, const std::string& fileName) {
    auto put = [](unsigned v) { return v == 0 ? '`' : static_cast<char>(v + 32); };
    std::string out = "begin 644 " + fileNameOf(fileName) + "\r\n";
    for (std::size_t i = 0; i < bytes.size(); i += 45) {
        const std::size_t n = std::min<std::size_t>(45, bytes.size() - i);
        out += static_cast<char>(n + 32);
        for (std::size_t k = 0; k < n; k += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t j = 0; j < 3 && k + j < n; ++j) b[j] = static_cast<unsigned char>(bytes[i + k + j]);
            out += put(b[0] >> 2);
            out += put(((b[0] << 4) | (b[1] >> 4)) & 63);
            out += put(((b[1] << 2) | (b[2] >> 6)) & 63);
            out += put(b[2] & 63);
        }
        out += "\r\n";
    }
    out += "`\r\nend\r\n";
    return out;
}

std::string contentTypeForFile(const std::string& fileName) {
    static std::map<std::string, std::string> types;
    static std::once_flag loaded;
    std::call_once(loaded, [] {
        std::ifstream in("/etc/mime.types");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string type;
            std::string ext;
            fields >> type;
            while (fields >> ext) {
                for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                types.emplace(ext, type);
            }
        }
    });
    const std::string name = fileNameOf(fileName);
    const std::string::size_type dot = name.find_last_of('.');
    std::string type = "application/octet-stream";
    if (dot != std::string::npos) {
        std::string ext = name.substr(dot + 1);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto it = types.find(ext);
        if (it != types.end())
            type = it->second;
        else if (ext == "pdf")
            type = "application/pdf";
        else if (ext == "xls")
            type = "application/vnd.ms-excel";
    }
    return "Content-Type: " + type + "; name=" + name + "\r\n";
}

std::string fileNameOf(const std::string& path) {
    const std::string::size_type sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string formatDate(std::time_t now) {
    std::tm lt{};
    ::localtime_r(&now, &lt);
    long offset = lt.tm_gmtoff;
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %.2d %s %.4d %.2d:%.2d:%.2d %c%02ld%02ld", kDays[lt.tm_wday % 7], lt.tm_mday,
                  kMonths[lt.tm_mon % 12], lt.tm_year + 1900, lt.tm_hour, lt.tm_min, lt.tm_sec, sign, offset / 3600,
                  (offset % 3600) / 60);
    return text;
}

bool needsTransferEncoding(const std::string& text) {
    std::size_t lineLength = 0;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || c == 0) return true;
        if (c == '\n' || c == '\r') {
            lineLength = 0;
        } else if (++lineLength > 998) {
            return true;
        }
    }
    return false;
}

int buildMessage(const RunState& state, std::time_t now, std::string& message) {
    // The body.
    std::string body;
    std::string bodyName;
    switch (state.bodySource) {
        case BodySource::File: {
            const int rc = readDiskFile(state.bodyFile, body);
            if (rc != 0) return rc;
            bodyName = fileNameOf(state.bodyFile);
            break;
        }
        case BodySource::Stdin: {
            int c;
            while ((c = std::fgetc(mailerIn())) != EOF && c != 26) body += static_cast<char>(c);
            bodyName = "stdin.txt";
            break;
        }
        case BodySource::Text:
            body = state.bodyText;
            for (char& c : body)
                if (c == '|') c = '\n';
            bodyName = "stdin.txt";
            break;
    }

    BodyEncoding encoding = state.encoding;
    // Text that 7-bit SMTP cannot carry as it is goes quoted-printable.
    if (encoding == BodyEncoding::None && needsTransferEncoding(body)) encoding = BodyEncoding::QuotedPrintable;

    // Header words; one that needs encoding makes the message MIME.
    bool anyEncoded = false;
    auto word = [&](const std::string& value) {
        bool encoded = false;
        std::string text = encodeHeaderWord(value, state.charset, &encoded);
        anyEncoded = anyEncoded || encoded;
        return text;
    };
    const std::string from = word(!state.fromHeader.empty() ? state.fromHeader : state.iAddress);
    const std::string iSender = word(state.mailFrom);
    const std::string sender = word(state.sender);
    const std::string replyTo = word(state.replyTo);
    const std::string subject = word(state.subject);
    const std::string to = word(state.to);
    const std::string cc = word(state.cc);
    const std::string organization = word(state.organization);
    const std::string returnPath = word(state.returnPath);
    if (anyEncoded && encoding != BodyEncoding::Base64) encoding = BodyEncoding::QuotedPrintable;

    // Attachments, read before the headers are written.
    std::string boundary = makeBoundary();
    std::string attachmentParts;
    int attached = 0;
    for (const Attachment& entry : state.attachments) {
        for (const std::string& path : expandAttachment(entry.name)) {
            std::string content;
            const int rc = readDiskFile(path, content);
            if (rc != 0) return rc;
            const std::string name = fileNameOf(path);
            attachmentParts += "\r\n--" + boundary + "\r\n";
            if (entry.text) {
                logf("Attached text file: %s\n", path.c_str());
                if (needsTransferEncoding(content)) {
                    attachmentParts += "Content-Type: text/" + state.textSubtype + "; charset=" + state.charset +
                                       "\r\nContent-Transfer-Encoding: quoted-printable\r\n";
                    content = encodeQuotedPrintable(content);
                } else {
                    attachmentParts += "Content-Type: text/" + state.textSubtype + "; charset=US-ASCII\r\n";
                }
                attachmentParts += "Content-description: " + name + "\r\nContent-Disposition: inline\r\n\r\n" + content;
            } else {
                logf("Attached binary file: %s\n", path.c_str());
                attachmentParts += contentTypeForFile(name) + "Content-Disposition: attachment; filename=\"" + name +
                                   "\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\n" + encodeBase64(content);
            }
            ++attached;
        }
    }
    const bool multipart = attached > 0 || encoding == BodyEncoding::Base64;
    const std::string multipartHeader = "Content-Type: Multipart/Mixed; boundary=\"" + boundary + "\"\r\n";
    const std::string partStart = "\r\n--" + boundary + "\r\n";

    std::string h;
    h += joinHeaderLines(state.a1Headers);
    h += joinHeaderLines(state.a2Headers);
    h += "Date: " + formatDate(now) + "\r\n";
    h += "From: " + from + "\r\n";
    if (state.gateway) {
        h += "Received: from " + state.receivedFrom + " by " + state.receivedBy + " with HTTP; " + formatDate(now) +
             "\r\n";
    }
    if (state.iGiven) {
        h += "Sender: " + iSender + "\r\n";
        h += "Reply-to: " + iSender + "\r\n";
    } else {
        if (!state.sender.empty()) h += "Sender: " + sender + "\r\n";
        if (!state.replyTo.empty()) h += "Reply-To: " + replyTo + "\r\n";
    }
    if (!state.penguin) {
        if (!state.subject.empty())
            h += "Subject: " + subject + "\r\n";
        else if (state.bodySource == BodySource::File)
            h += "Subject: Contents of file: " + bodyName + "\r\n";
        else
            h += "Subject: Contents of console input\r\n";
    }
    h += "To: " + to + "\r\n";
    if (!state.cc.empty()) h += "Cc: " + cc + "\r\n";
    if (!state.organization.empty()) h += "Organization: " + organization + "\r\n";
    const std::string receiptTo = word(!state.replyTo.empty() ? state.replyTo : state.mailFrom);
    if (state.dispositionNotification) h += "Disposition-Notification-To: " + receiptTo + "\r\n";
    if (state.returnReceipt) h += "Return-Receipt-To: " + receiptTo + "\r\n";
    h += joinHeaderLines(state.xHeaders);
    h += state.gatewayHeaders;
    if (!state.returnPath.empty()) h += "Return-Path: " + returnPath + "\r\n";
    if (state.priority == '0') h += "X-MSMail-Priority: Low\r\nX-Priority: 5\r\n";
    if (state.priority == '1') h += "X-MSMail-Priority: High\r\nX-Priority: 1\r\n";

    std::string text;
    const std::string qpLines = "Content-Type: text/" + state.textSubtype + "; charset=" + state.charset +
                                "\r\nContent-Transfer-Encoding: quoted-printable\r\n";
    switch (encoding) {
        case BodyEncoding::None:
            if (multipart) {
                h += "MIME-Version: 1.0\r\n" + multipartHeader;
                text = partStart + "Content-Type: text/" + state.textSubtype +
                       "; charset=US-ASCII\r\nContent-Transfer-Encoding: 7BIT\r\n"
                       "Content-description: Mail message body\r\n\r\n" +
                       body;
            } else {
                text = body;
            }
            break;
        case BodyEncoding::QuotedPrintable:
            h += "MIME-Version: 1.0\r\n";
            if (multipart) {
                h += multipartHeader;
                text = partStart + qpLines + "\r\n" + encodeQuotedPrintable(body);
            } else {
                h += qpLines;
                text = encodeQuotedPrintable(body);
            }
            break;
        case BodyEncoding::Base64:
            h += "MIME-Version: 1.0\r\n" + multipartHeader;
            text = partStart + "Content-Type: application/octet-stream; name=" + bodyName +
                   "\r\nContent-Disposition: attachment; filename=\"" + bodyName +
                   "\"\r\nContent-Transfer-Encoding: BASE64\r\n\r\n" + encodeBase64(body);
            break;
        case BodyEncoding::Uuencode:
            text = uuencodeFile(body, bodyName);
            break;
    }
    if (multipart) text += attachmentParts + "\r\n--" + boundary + "--\r\n";

    if (!hookXMailer().empty())
        h += "X-Mailer: " + hookXMailer() + "\r\n";
    else if (state.xMailerMode == 0)
        h += "X-Mailer: WinNT's Diru ver 1.9.4 http://diru.example.org/\r\n";
    else if (state.xMailerMode == 1)
        h += "X-Mailer: WinNT's Diru ver 1.9.4\r\n";
    if (!state.penguin) h += "\r\n";

    message = h + text;
    return 0;
}

}  // namespace mailer
