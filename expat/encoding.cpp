#include "expat/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace expat {

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool startsWith(const char* buffer, std::size_t length, std::string_view prefix) {
    return length >= prefix.size() && std::memcmp(buffer, prefix.data(), prefix.size()) == 0;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// windows-1252 at 0x80..0x9F; the five bytes it leaves open stand for the
// control characters of the same value, as browsers decode them.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void decodeWindows1252(const char* buffer, std::size_t length, std::string& out) {
    out.clear();
    out.reserve(length + length / 8);
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(buffer[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if (b < 0xA0) {
            appendUtf8(out, kWindows1252High[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
}

// Labels that name windows-1252 for a browser: Latin-1 and ASCII included.
bool isWindows1252Label(const std::string& label) {
    static const char* const kLabels[] = {
        "windows-1252",    "cp1252", "x-cp1252",       "iso-8859-1", "iso8859-1", "iso88591",   "iso_8859-1",
        "iso_8859-1:1987", "l1",     "latin1",         "cp819",      "ibm819",    "iso-ir-100", "csisolatin1",
        "us-ascii",        "ascii",  "ansi_x3.4-1968", "iso-ir-6",   "csascii",   "us",         "iso646-us",
    };
    for (const char* known : kLabels) {
        if (label == known) return true;
    }
    return false;
}

bool isUtf8Label(const std::string& label) {
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8";
}

bool isUtf16Label(const std::string& label) {
    return label == "utf-16" || label == "utf16" || label == "utf-16le" || label == "utf-16be" || label == "utf16le" ||
           label == "utf16be" || label == "ucs-2" || label == "ucs2" || label == "unicode";
}

// Labels whose common use names a larger encoding than iconv's own reading
// of them, or that iconv spells differently.
std::string iconvName(const std::string& label) {
    struct Alias {
        const char* label;
        const char* name;
    };
    static const Alias kAliases[] = {
        {"gb2312", "GBK"},       {"x-gbk", "GBK"},           {"euc-kr", "CP949"},    {"ks_c_5601-1987", "CP949"},
        {"x-sjis", "SHIFT_JIS"}, {"shift-jis", "SHIFT_JIS"}, {"x-euc-jp", "EUC-JP"}, {"x-mac-roman", "MACINTOSH"},
    };
    for (const Alias& alias : kAliases) {
        if (label == alias.label) return alias.name;
    }
    return label;
}

// A label is passed to iconv only as a plain name: no "//" suffixes or paths.
bool isPlainLabel(const std::string& label) {
    if (label.empty() || label.size() > 64) return false;
    for (char c : label) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                        c == ':' || c == '(' || c == ')';
        if (!ok) return false;
    }
    return true;
}

}  // namespace

bool convertToUtf8(const std::string& name, const char* buffer, std::size_t length, std::string& out,
                   std::size_t unitSize) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    out.resize(length + length / 2 + 64);
    char* in = const_cast<char*>(buffer);
    std::size_t inLeft = length;
    std::size_t produced = 0;
    const auto appendReplacement = [&] {
        static const char kReplacement[] = "\xEF\xBF\xBD";
        if (out.size() - produced < 3) out.resize(out.size() * 2);
        std::memcpy(out.data() + produced, kReplacement, 3);
        produced += 3;
    };
    while (inLeft > 0) {
        char* outPtr = out.data() + produced;
        std::size_t outLeft = out.size() - produced;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        produced = static_cast<std::size_t>(outPtr - out.data());
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ) {
            // A unit that has no meaning here: one replacement character,
            // then on with the next unit (a byte, or a UTF-16 or UTF-32 unit,
            // so that the text after it stays aligned).
            appendReplacement();
            const std::size_t skip = std::min(unitSize == 0 ? std::size_t{1} : unitSize, inLeft);
            in += skip;
            inLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            // A sequence cut off by the end of the text.
            appendReplacement();
            break;
        }
    }
    // Shift states end with the text.
    for (;;) {
        char* outPtr = out.data() + produced;
        std::size_t outLeft = out.size() - produced;
        const std::size_t rc = iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
        produced = static_cast<std::size_t>(outPtr - out.data());
        if (rc == static_cast<std::size_t>(-1) && errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        break;
    }
    out.resize(produced);
    out.shrink_to_fit();
    iconv_close(cd);
    return true;
}

namespace {

bool isUtf32Label(const std::string& label) {
    return label == "utf-32" || label == "utf32" || label == "utf-32le" || label == "utf-32be" || label == "utf32le" ||
           label == "utf32be" || label == "ucs-4" || label == "ucs4";
}

// The byte layout of the document's start: which family of encodings it is in.
enum class Layout { Ascii, Utf8Bom, Utf16, Utf32Le, Utf32Be };

Layout layoutOf(const char* buffer, std::size_t length) {
    if (startsWith(buffer, length, "\xEF\xBB\xBF")) return Layout::Utf8Bom;
    // UTF-32 first: its little-endian mark begins like UTF-16's.
    if (startsWith(buffer, length, std::string_view("\xFF\xFE\0\0", 4)) ||
        startsWith(buffer, length, std::string_view("<\0\0\0?\0\0\0", 8)))
        return Layout::Utf32Le;
    if (startsWith(buffer, length, std::string_view("\0\0\xFE\xFF", 4)) ||
        startsWith(buffer, length, std::string_view("\0\0\0<\0\0\0?", 8)))
        return Layout::Utf32Be;
    if (startsWith(buffer, length, "\xFE\xFF") || startsWith(buffer, length, "\xFF\xFE")) return Layout::Utf16;
    if (startsWith(buffer, length, std::string_view("\0<\0?", 4)) ||
        startsWith(buffer, length, std::string_view("<\0?\0", 4)))
        return Layout::Utf16;
    return Layout::Ascii;
}

}  // namespace

std::string declaredEncoding(const char* buffer, std::size_t length) {
    const Layout layout = layoutOf(buffer, length);
    if (layout != Layout::Ascii && layout != Layout::Utf8Bom) return std::string();
    std::string_view text(buffer, length);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.substr(0, 5) != "<?xml") return std::string();
    const std::size_t end = text.substr(0, 1024).find("?>");
    if (end == std::string_view::npos) return std::string();
    const std::string_view declaration = text.substr(5, end - 5);
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos) return std::string();
    std::size_t pos = key + 8;
    const auto skipSpace = [&] {
        while (pos < declaration.size() && (declaration[pos] == ' ' || declaration[pos] == '\t' ||
                                            declaration[pos] == '\r' || declaration[pos] == '\n'))
            ++pos;
    };
    skipSpace();
    if (pos >= declaration.size() || declaration[pos] != '=') return std::string();
    ++pos;
    skipSpace();
    if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) return std::string();
    const char quote = declaration[pos++];
    const std::size_t close = declaration.find(quote, pos);
    if (close == std::string_view::npos) return std::string();
    return std::string(declaration.substr(pos, close - pos));
}

void prepareDocument(const char* buffer, std::size_t length, PreparedDocument& out) {
    out.data = buffer;
    out.length = length;
    out.encoding = nullptr;
    out.converted.clear();

    const Layout layout = layoutOf(buffer, length);
    switch (layout) {
        case Layout::Utf8Bom:
            out.encoding = "UTF-8";
            return;
        case Layout::Utf16:
            // expat finds the byte order itself; naming the family keeps a
            // label it does not know ("utf16") from failing the document.
            out.encoding = "UTF-16";
            return;
        case Layout::Utf32Le:
        case Layout::Utf32Be:
            // expat has no UTF-32: the whole text goes to UTF-8 (the mark
            // with it, which expat then skips).
            if (!convertToUtf8(layout == Layout::Utf32Le ? "UTF-32LE" : "UTF-32BE", buffer, length, out.converted, 4))
                return;
            out.encoding = "UTF-8";
            out.data = out.converted.data();
            out.length = out.converted.size();
            return;
        case Layout::Ascii:
            break;
    }

    const std::string label = lowerAscii(declaredEncoding(buffer, length));
    if (label.empty()) return;
    if (isUtf8Label(label) || isUtf16Label(label) || isUtf32Label(label)) {
        // A UTF-16 or UTF-32 label on a document in single bytes is a
        // mislabelled UTF-8 document.
        out.encoding = "UTF-8";
        return;
    }
    if (isWindows1252Label(label)) {
        out.encoding = "UTF-8";
        bool high = false;
        for (std::size_t i = 0; i < length && !high; ++i) high = static_cast<unsigned char>(buffer[i]) >= 0x80;
        if (!high) return;  // plain ASCII reads the same either way
        decodeWindows1252(buffer, length, out.converted);
    } else {
        if (!isPlainLabel(label)) return;
        if (!convertToUtf8(iconvName(label), buffer, length, out.converted)) return;
        out.encoding = "UTF-8";
    }
    out.data = out.converted.data();
    out.length = out.converted.size();
}

}  // namespace expat
