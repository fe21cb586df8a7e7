#pragma once
// Message building blocks of the mailer: encoders, content types, the Date
// header's text. Exposed for the tests; the mailer builds whole messages with
// buildMessage (runState.h).
#include <ctime>
#include <string>

namespace mailer {

// One character through the quoted-printable encoder. Body mode: line feeds
// become CRLF (carriage returns are dropped) and a soft line break follows
// once a line passes 71 characters. Header mode (RFC 2047 "Q"): every
// character but the safe ones becomes =XX, '_' included.
void encodeQuotedPrintableChar(unsigned char c, int& lineLength, std::string& out, bool header);
std::string encodeQuotedPrintable(const std::string& text);

// A header value as it is written: unchanged when it holds only printable
// characters that need no encoding and is short enough for one line; else
// as encoded words of at most 75 characters each ("=?charset?Q?...?="),
// folded onto continuation lines, never splitting a UTF-8 character.
// *encoded tells whether encoding was needed.
std::string encodeHeaderWord(const std::string& value, const std::string& charset, bool* encoded);

// Base64 in lines of 72 characters, each line preceded by CRLF.
std::string encodeBase64(const std::string& bytes);
// Base64 on one line (SMTP AUTH).
std::string encodeBase64Line(const std::string& bytes);

std::string uuencodeFile(const std::string& bytes, const std::string& fileName);

// "Content-Type: <type>; name=<file>\r\n" from /etc/mime.types, with
// application/octet-stream when the extension is unknown.
std::string contentTypeForFile(const std::string& fileName);

// The part after the last '/', '\' or ':'.
std::string fileNameOf(const std::string& path);

// "Wed, 09 Dec 2026 22:17:38 -0330" for the local time of `now`.
std::string formatDate(std::time_t now);

// True when a text cannot travel as 7-bit lines: a byte at or above 0x80, a
// NUL, or a line longer than 998 octets.
bool needsTransferEncoding(const std::string& text);

}  // namespace mailer
