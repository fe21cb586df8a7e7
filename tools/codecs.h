#pragma once
// Text codecs: percent-encoding of stored values, Base64, quoted-printable,
// MIME encoded words, the few HTML entities feed items carry, query strings,
// case-insensitive search. All texts are byte strings (UTF-8 here); every
// byte is handled as an unsigned value.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace tools {

// Percent-encoding as stored in INI values: printable "C" locale characters
// (0x20..0x7E) other than '%' stay as they are; every other byte, '%', and
// every character of `extraChars` becomes "%XX" (upper-case hex of the byte).
std::string urlEncode(const std::string& text, const std::string& extraChars = std::string());

// Reverse of urlEncode: "%" + two hex digits (either case) becomes that byte;
// a '%' without two hex digits behind it is kept; everything else ('+' too)
// is copied.
std::string urlDecode(const std::string& text);

// Standard Base64. A CR LF follows every 76 characters of full groups; the
// padded final group does not count towards the line.
std::string base64Encode(const void* bytes, std::size_t length);
std::string base64Encode(const std::string& bytes);

// Decodes up to the first '=' or the end. CR and LF are skipped; any other
// character outside the alphabet is skipped and sets *badInput (when given).
std::string base64Decode(const std::string& text, bool* badInput = nullptr);

// Quoted-printable with soft line breaks before column 72.
std::string quotedPrintableEncode(const std::string& text);
// Decodes "=XX" (upper-case hex) and soft line breaks; sets *badInput (when
// given) on a malformed escape and stops at an escape cut off by the end.
std::string quotedPrintableDecode(const std::string& text, bool* badInput = nullptr);

// Decodes one "=?charset?Q|B?text?=" word of a mail header, keeping the text
// before and after it; the charset is not converted.
std::string decodeMimeHeaderWord(const std::string& header);

// Writes characters of `chars` (every character when null) that have an
// entity name (nbsp lt gt quot amp tilde circ) as "&name;".
std::string encodeHtmlEntities(const std::string& text, const char* chars = nullptr);
// Replaces those entities (names without regard to case, ';' optional; a
// name followed by a letter or digit instead of ';' is left as written).
std::string decodeHtmlEntities(const std::string& text);
// The same in place: a decoded text is never longer than the text.
void decodeHtmlEntitiesInPlace(std::string& text);

// Text for HTML (and XML) character data and quoted attribute values: & < > " '
// become &amp; &lt; &gt; &quot; &#39;.
std::string escapeHtml(std::string_view text);

// Splits "k=v&k2=v2" up to the first blank into the map; the first occurrence
// of a key wins. Keys and values are not decoded.
void parseQueryString(const std::string& text, std::map<std::string, std::string>& params);

// Position of the first occurrence of pattern in text without regard to
// (ASCII) case, or std::string::npos.
std::string::size_type findNoCase(const std::string& text, const std::string& pattern);

// Replaces every byte 0x80 or above by '?', in place.
void replaceNonAsciiChars(std::string& text);
void replaceNonAsciiChars(char* text);
void replaceNonAsciiChars(char* bytes, std::size_t length);

}  // namespace tools
