#include "lib/misc/stringHelpers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ios>

namespace {

// Printable as the C locale's isprint: 0x20..0x7E.
bool isPrintableByte(unsigned char c) { return c >= 0x20 && c < 0x7F; }

}  // namespace

std::ostream& operator<<(std::ostream& os, const std::exception& e) { return os << e.what(); }

// ---------------------------------------------------------------------------

bool isWhitespaceByte(char c) {
    switch (static_cast<unsigned char>(c)) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
            return true;
        default:
            return false;
    }
}

const char* skipWhitespace(const char* text) {
    while (*text && isWhitespaceByte(*text)) ++text;
    return text;
}

char* trimWhitespace(char* text) {
    char* start = text;
    while (*start && isWhitespaceByte(*start)) ++start;
    char* end = start + std::strlen(start);
    while (end > start && isWhitespaceByte(end[-1])) --end;
    *end = '\0';
    return start;
}

void trimWhitespace(std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && isWhitespaceByte(text[first])) ++first;
    if (first == text.size()) return;  // empty or blanks only: left as it is
    std::size_t last = text.size();
    while (last > first && isWhitespaceByte(text[last - 1])) --last;
    text = text.substr(first, last - first);
}

std::string trimmedCopy(const std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && isWhitespaceByte(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && isWhitespaceByte(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// ---------------------------------------------------------------------------
// Case folding touches ASCII letters only, whatever the locale: a byte of a
// UTF-8 sequence is never changed.

char toUpperByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

char toLowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string toUpperCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toUpperByte(c);
    return out;
}

std::string toLowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = toLowerByte(c);
    return out;
}

namespace {
// Folded byte as a signed 8-bit value: bytes 0x80..0xFF order below ASCII.
int foldedSigned(char c) { return static_cast<signed char>(toUpperByte(c)); }
// Folded byte as an unsigned value, for the multibyte comparisons.
int foldedUnsigned(char c) { return static_cast<unsigned char>(toUpperByte(c)); }
}  // namespace

int compareCharNoCase(char a, char b) {
    int x = foldedSigned(a), y = foldedSigned(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

int compareNoCase(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        int c = compareCharNoCase(a[i], b[i]);
        if (c != 0) return c;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool lessCharNoCase(char a, char b) { return foldedSigned(a) < foldedSigned(b); }

bool lessNoCase(std::string_view a, std::string_view b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (lessCharNoCase(a[i], b[i])) return true;
        if (lessCharNoCase(b[i], a[i])) return false;
    }
    return a.size() < b.size();
}

namespace {
// Over at most n bytes of two NUL-terminated texts.
int mbsCompare(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        int x = foldedUnsigned(a[i]), y = foldedUnsigned(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}
}  // namespace

int mbsCompareNoCase(const std::string& a, const char* b) { return mbsCompare(a.c_str(), b, SIZE_MAX); }

int mbsCompareNoCase(const char* a, const std::string& b) { return mbsCompare(a, b.c_str(), SIZE_MAX); }

int mbsCompareNoCaseN(const std::string& a, const char* b, std::size_t n) { return mbsCompare(a.c_str(), b, n); }

// ---------------------------------------------------------------------------

void printableDump(std::ostream& os, const unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char c = data[i];
        if (isPrintableByte(c)) {
            os.put(static_cast<char>(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "<%02x>", c);
            os << buf;
        }
    }
}

void printableDump(std::ostream& os, const char* text) {
    printableDump(os, reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

void hexDump(std::ostream& os, const void* data, std::size_t size, bool relative, const std::string& prefix) {
    const std::streamsize width = os.width();
    const char fill = os.fill();
    const std::ios_base::fmtflags flags = os.flags();
    auto restore = [&] {
        os.width(width);
        os.fill(fill);
        os.flags(flags);
    };
    os.width(0);
    char buf[64];
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(data);
    if (!relative) {
        std::snprintf(buf, sizeof buf, "[0x%08llx:%zu]", static_cast<unsigned long long>(address), size);
        os << prefix << buf << "\n";
    }
    if (data == nullptr || size == 0) {
        restore();
        return;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const std::uintptr_t first = relative ? 0 : address;
    const std::uintptr_t last = first + size - 1;
    for (std::uintptr_t row = first & ~static_cast<std::uintptr_t>(15);; row += 16) {
        std::string line = prefix;
        std::snprintf(buf, sizeof buf, "%08llx: ", static_cast<unsigned long long>(row));
        line += buf;
        for (std::uintptr_t col = row; col < row + 16; ++col) {
            if (col >= first && col <= last) {
                std::snprintf(buf, sizeof buf, "%02x ", bytes[col - first]);
                line += buf;
            } else {
                line += ".. ";
            }
        }
        line += "| ";
        for (std::uintptr_t col = row; col < row + 16; ++col) {
            if (col >= first && col <= last) {
                unsigned char c = bytes[col - first];
                line += isPrintableByte(c) ? static_cast<char>(c) : '.';
            } else {
                line += ' ';
            }
        }
        os << line << "\n";
        if (last - row < 16) break;  // this row held the last byte
    }
    restore();
}

void columnDump(std::ostream& os, const std::vector<char>& text, unsigned width, const std::string& prefix,
                bool ruler) {
    if (width == 0) width = 1;
    if (ruler) {
        std::string line = prefix;
        for (unsigned c = 0; c < width;) {
            if (c % 10 == 0) {
                std::string digits = std::to_string(c);
                line += digits;
                c += static_cast<unsigned>(digits.size());
            } else {
                line += ' ';
                ++c;
            }
        }
        os << line << "\n";
        line = prefix;
        for (unsigned c = 0; c < width; ++c) line += (c % 10 == 0) ? '|' : (c % 5 == 0 ? '+' : '-');
        os << line << "\n";
    }
    for (std::size_t pos = 0; pos < text.size(); pos += width) {
        std::size_t n = text.size() - pos < width ? text.size() - pos : width;
        os << prefix;
        os.write(text.data() + pos, static_cast<std::streamsize>(n));
        os << "\n";
    }
}

void writeBlanks(std::ostream& os, int n) {
    for (int i = 0; i < n; ++i) os.put(' ');
}

// ---------------------------------------------------------------------------

std::string maskSecret(std::string_view secret) { return secret.empty() ? std::string() : kSecretMask; }

std::string maskUrlPasswords(std::string_view text) {
    std::string out;
    std::size_t copied = 0;
    std::size_t scheme = text.find("://");
    while (scheme != std::string_view::npos) {
        const std::size_t start = scheme + 3;
        // The authority ends at the path, query or fragment, or where the URL
        // itself ends inside a longer text.
        std::size_t end = start;
        while (end < text.size() && std::string_view("/?#\"<> \t\r\n").find(text[end]) == std::string_view::npos) ++end;
        const std::size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
        const std::size_t colon = text.find(':', start);
        if (at != std::string_view::npos && at >= start && at < end && colon < at) {
            out.append(text.substr(copied, colon + 1 - copied));
            out.append(maskSecret(text.substr(colon + 1, at - colon - 1)));
            copied = at;
        }
        scheme = text.find("://", end);
    }
    if (copied == 0) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

namespace {
// Whether line starts with the header name (without regard to case), blanks
// allowed before the colon; returns the position after the colon or npos.
std::size_t afterHeaderName(std::string_view line, std::string_view name) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (line.size() - i < name.size()) return std::string_view::npos;
    for (std::size_t k = 0; k < name.size(); ++k)
        if (toLowerByte(line[i + k]) != name[k]) return std::string_view::npos;
    i += name.size();
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i < line.size() && line[i] == ':') return i + 1;
    return std::string_view::npos;
}
}  // namespace

std::string maskAuthorizationHeaders(std::string_view headers) {
    std::string out;
    out.reserve(headers.size());
    std::size_t pos = 0;
    while (pos < headers.size()) {
        std::size_t nl = headers.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? headers.size() : nl;
        std::string_view line = headers.substr(pos, end - pos);
        bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.remove_suffix(1);
        std::size_t colon = afterHeaderName(line, "authorization");
        if (colon == std::string_view::npos) colon = afterHeaderName(line, "proxy-authorization");
        if (colon != std::string_view::npos && line.find_first_not_of(" \t", colon) != std::string_view::npos) {
            out.append(line.substr(0, colon));
            out += ' ';
            out += kSecretMask;
        } else {
            out.append(line);
        }
        if (cr) out += '\r';
        if (nl != std::string_view::npos) out += '\n';
        pos = end + 1;
    }
    return out;
}

// ---------------------------------------------------------------------------

int randomInRange(int lo, int hi) {
    long long span = static_cast<long long>(hi) - lo + 1;
    if (span <= 0) return lo;
    return static_cast<int>(std::rand() % span + lo);
}

bool randomCoin() { return randomInRange(0, 1) == 0; }

bool randomChance(int percent) { return randomInRange(1, 100) <= percent; }

void fillRandom(unsigned char* buffer, std::size_t n, int lo, int hi) {
    for (std::size_t i = 0; i < n; ++i) buffer[i] = static_cast<unsigned char>(randomInRange(lo, hi));
}

float randomInRange(float lo, float hi, bool inclusive) {
    return static_cast<float>(randomInRange(static_cast<double>(lo), static_cast<double>(hi), inclusive));
}

double randomInRange(double lo, double hi, bool inclusive) {
    // inclusive: [lo, hi]; otherwise [lo, hi).
    double divisor = inclusive ? static_cast<double>(RAND_MAX) : static_cast<double>(RAND_MAX) + 1.0;
    return lo + (hi - lo) * (static_cast<double>(std::rand()) / divisor);
}
