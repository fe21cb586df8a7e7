#pragma once
// Bringing a document in an encoding expat does not read itself to UTF-8.
//
// expat reads UTF-8, UTF-16, ISO-8859-1 and US-ASCII. A document declared in
// another encoding (windows-1252, iso-8859-2, koi8-r, big5, shift_jis, ...)
// is converted to UTF-8 through iconv first. The Latin-1 and ASCII labels
// are read as windows-1252, as browsers read them, so that the bytes
// 0x80..0x9F of such a document are the punctuation they were meant to be.
// UTF-32 (known by its byte order mark or by the layout of "<?" in four-byte
// units) is converted too. A byte order mark decides over the declaration.
#include <cstddef>
#include <string>

namespace expat {

struct PreparedDocument {
    // The text to parse: the caller's buffer or `converted`.
    const char* data = nullptr;
    std::size_t length = 0;
    // The encoding to tell expat (it then ignores the declaration); null to
    // let expat read the document's own.
    const char* encoding = nullptr;
    std::string converted;
};

// An encoding label of the document's XML declaration ("" when there is
// none or the document is not in an ASCII-compatible encoding).
std::string declaredEncoding(const char* buffer, std::size_t length);

// The document as expat should be given it. A label that neither expat nor
// iconv knows is left to expat, which reports it as an unknown encoding.
// Bytes that are not valid in the declared encoding become U+FFFD.
void prepareDocument(const char* buffer, std::size_t length, PreparedDocument& out);

// Converts text in the iconv encoding `name` to UTF-8 into `out`; false when
// iconv does not know the encoding. A unit that is not valid (`unitSize`
// bytes: 2 for UTF-16, 4 for UTF-32, else 1) and a sequence cut off by the
// end become U+FFFD; the rest of the text is kept.
bool convertToUtf8(const std::string& name, const char* buffer, std::size_t length, std::string& out,
                   std::size_t unitSize = 1);

}  // namespace expat
