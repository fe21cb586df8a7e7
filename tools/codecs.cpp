#include "tools/codecs.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace tools {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void appendEscape(std::string& out, char prefix, unsigned char byte) {
    out += prefix;
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int upperHexValue(unsigned char c) {
    if (c >= 'a' && c <= 'f') return -1;
    return hexValue(c);
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

struct Entity {
    const char* name;
    char character;
};

const Entity kEntities[] = {
    {"nbsp", ' '}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"amp", '&'}, {"tilde", '~'}, {"circ", '^'},
};

bool startsWithNoCase(const std::string& text, std::size_t at, const char* name) {
    const std::size_t n = std::strlen(name);
    if (text.size() - at < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != static_cast<unsigned char>(name[i])) return false;
    }
    return true;
}

}  // namespace

std::string urlEncode(const std::string& text, const std::string& extraChars) {
    // Runs of plain characters are copied whole.
    struct Table {
        bool escaped[256];
        Table() {
            for (int c = 0; c < 256; ++c) escaped[c] = c < 0x20 || c > 0x7E || c == '%';
        }
    };
    static const Table plainTable;
    const bool* escaped = plainTable.escaped;
    bool withExtra[256];
    if (!extraChars.empty()) {
        std::memcpy(withExtra, plainTable.escaped, sizeof withExtra);
        for (char ch : extraChars) withExtra[static_cast<unsigned char>(ch)] = true;
        escaped = withExtra;
    }
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t from = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!escaped[c]) continue;
        out.append(text, from, i - from);
        appendEscape(out, '%', c);
        from = i + 1;
    }
    out.append(text, from, n - from);
    return out;
}

std::string urlDecode(const std::string& text) {
    std::size_t percent = text.find('%');
    if (percent == std::string::npos) return text;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    while (percent != std::string::npos) {
        out.append(text, from, percent - from);
        const int hi = percent + 2 < text.size() ? hexValue(static_cast<unsigned char>(text[percent + 1])) : -1;
        const int lo = hi >= 0 ? hexValue(static_cast<unsigned char>(text[percent + 2])) : -1;
        if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            from = percent + 3;
        } else {
            out += '%';
            from = percent + 1;
        }
        percent = text.find('%', from);
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::string base64Encode(const void* bytes, std::size_t length) {
    const auto* in = static_cast<const unsigned char*>(bytes);
    std::string out;
    out.reserve(length / 3 * 4 + length / 57 * 2 + 4);
    std::size_t groups = 0;
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const std::uint32_t v = (std::uint32_t(in[i]) << 16) | (std::uint32_t(in[i + 1]) << 8) | in[i + 2];
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
        if (++groups % 19 == 0) out += "\r\n";
    }
    const std::size_t rest = length - i;
    if (rest > 0) {
        std::uint32_t v = std::uint32_t(in[i]) << 16;
        if (rest == 2) v |= std::uint32_t(in[i + 1]) << 8;
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string base64Encode(const std::string& bytes) { return base64Encode(bytes.data(), bytes.size()); }

std::string base64Decode(const std::string& text, bool* badInput) {
    bool bad = false;
    std::string out;
    out.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t acc = 0;
    int count = 0;
    for (char ch : text) {
        if (ch == '=') break;
        if (ch == '\r' || ch == '\n') continue;
        const int v = base64Value(static_cast<unsigned char>(ch));
        if (v < 0) {
            bad = true;
            continue;
        }
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>((acc >> 16) & 0xFF);
            out += static_cast<char>((acc >> 8) & 0xFF);
            out += static_cast<char>(acc & 0xFF);
            acc = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out += static_cast<char>((acc >> 4) & 0xFF);
    } else if (count == 3) {
        out += static_cast<char>((acc >> 10) & 0xFF);
        out += static_cast<char>((acc >> 2) & 0xFF);
    }
    if (badInput) *badInput = bad;
    return out;
}

std::string quotedPrintableEncode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t column = 0;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool copy = c == 0x0A || c == 0x0D || c == 0x20 || (c >= 0x25 && c <= 0x3C) || c == 0x3E || c == 0x3F ||
                          (c >= 0x41 && c <= 0x5A) || c == 0x5F || (c >= 0x61 && c <= 0x7A);
        if (column >= 72) {
            out += "=\r\n";
            column = 0;
        }
        if (copy) {
            out += ch;
            ++column;
        } else {
            appendEscape(out, '=', c);
            column += 2;
        }
        if (c == 0x0A) column = 0;
    }
    return out;
}

std::string quotedPrintableDecode(const std::string& text, bool* badInput) {
    bool bad = false;
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] != '=') {
            out += text[i];
            continue;
        }
        if (i + 2 >= n) {
            bad = true;
            break;
        }
        const int hi = upperHexValue(static_cast<unsigned char>(text[i + 1]));
        const int lo = upperHexValue(static_cast<unsigned char>(text[i + 2]));
        if (hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
        } else {
            bad = true;  // the '=' is dropped; what follows is read as text
        }
    }
    if (badInput) *badInput = bad;
    return out;
}

std::string decodeMimeHeaderWord(const std::string& header) {
    std::string text = header;
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    const std::size_t first = text.find_first_not_of(' ');
    text.erase(0, first == std::string::npos ? text.size() : first);

    const std::size_t start = text.find("=?");
    if (start == std::string::npos) return header;
    const std::size_t charsetEnd = text.find('?', start + 2);
    if (charsetEnd == std::string::npos || charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return header;
    const char encoding = static_cast<char>(std::toupper(static_cast<unsigned char>(text[charsetEnd + 1])));
    if (encoding != 'Q' && encoding != 'B') return header;
    const std::size_t dataStart = charsetEnd + 3;
    const std::size_t end = text.find("?=", dataStart);
    if (end == std::string::npos) return header;

    const std::string data = text.substr(dataStart, end - dataStart);
    const std::string decoded = encoding == 'Q' ? quotedPrintableDecode(data) : base64Decode(data);
    return text.substr(0, start) + decoded + text.substr(end + 2);
}

std::string encodeHtmlEntities(const std::string& text, const char* chars) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const bool selected = chars == nullptr || (ch != '\0' && std::strchr(chars, ch) != nullptr);
        const Entity* entity = nullptr;
        if (selected) {
            for (const auto& e : kEntities) {
                if (e.character == ch) {
                    entity = &e;
                    break;
                }
            }
        }
        if (entity) {
            out += '&';
            out += entity->name;
            out += ';';
        } else {
            out += ch;
        }
    }
    return out;
}

std::string decodeHtmlEntities(const std::string& text) {
    std::string out = text;
    decodeHtmlEntitiesInPlace(out);
    return out;
}

void decodeHtmlEntitiesInPlace(std::string& text) {
    // Every replacement is shorter than its entity, so the decoded text is
    // written over the text behind the point being read (out <= pos).
    std::size_t out = text.find('&');
    if (out == std::string::npos) return;
    std::size_t pos = out;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        const std::size_t stop = amp == std::string::npos ? text.size() : amp;
        if (out != pos) std::memmove(text.data() + out, text.data() + pos, stop - pos);
        out += stop - pos;
        if (amp == std::string::npos) break;
        pos = amp + 1;
        const Entity* match = nullptr;
        // Most '&' in text start no entity: only a first letter that some
        // name starts with is worth a walk of the table.
        const int first = pos < text.size() ? std::tolower(static_cast<unsigned char>(text[pos])) : 0;
        for (const auto& e : kEntities) {
            if (first == e.name[0] && startsWithNoCase(text, pos, e.name)) {
                match = &e;
                break;
            }
        }
        if (!match) {
            text[out++] = '&';
            continue;
        }
        const std::size_t end = pos + std::strlen(match->name);
        // A name that runs on into a word ("&Amplifier") is not an entity.
        if (end < text.size() && text[end] != ';' && std::isalnum(static_cast<unsigned char>(text[end]))) {
            text[out++] = '&';
            continue;
        }
        text[out++] = match->character;
        pos = end;
        if (pos < text.size() && text[pos] == ';') ++pos;
    }
    text.resize(out);
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

void parseQueryString(const std::string& text, std::map<std::string, std::string>& params) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n && text[pos] != ' ') {
        const std::size_t keyEnd = std::min(text.find_first_of("=& ", pos), n);
        if (keyEnd == pos) return;
        const std::string key = text.substr(pos, keyEnd - pos);
        if (keyEnd == n || text[keyEnd] == ' ') {
            params.emplace(key, std::string());
            return;
        }
        if (text[keyEnd] == '&') {
            params.emplace(key, std::string());
            pos = keyEnd + 1;
            continue;
        }
        const std::size_t valueStart = keyEnd + 1;
        const std::size_t valueEnd = std::min(text.find_first_of("& ", valueStart), n);
        params.emplace(key, text.substr(valueStart, valueEnd - valueStart));
        if (valueEnd == n || text[valueEnd] == ' ') return;
        pos = valueEnd + 1;
    }
}

std::string::size_type findNoCase(const std::string& text, const std::string& pattern) {
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    return upper(text).find(upper(pattern));
}

void replaceNonAsciiChars(std::string& text) { replaceNonAsciiChars(text.data(), text.size()); }

void replaceNonAsciiChars(char* text) {
    if (text) replaceNonAsciiChars(text, std::strlen(text));
}

void replaceNonAsciiChars(char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) bytes[i] = '?';
    }
}

}  // namespace tools
