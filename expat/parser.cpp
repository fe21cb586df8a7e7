#include "expat/parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <sstream>

#include "expat/encoding.h"
#include "platform/process.h"
#include "lib/log/messageLog.h"

namespace expat {

namespace {

// Element names compare without regard to ASCII case; other bytes (UTF-8)
// compare as they are.
constexpr char foldByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// foldByte of every byte value, for the look-up run at every start tag.
constexpr std::array<char, 256> kFolded = [] {
    std::array<char, 256> table{};
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = foldByte(static_cast<char>(i));
    return table;
}();

// Whether the text may refer to an entity beyond XML's five and character
// references: only then can declarations given as the document type change
// what the document says. Reading them costs more than parsing a small feed.
// Any other "&" with a name after it (in a comment or CDATA as well) counts,
// and so does one among another encoding's bytes (a NUL follows it there).
bool mayUseDeclaredEntities(const char* text, std::size_t length) {
    const char* const end = text + length;
    const auto follows = [end](const char* at, std::string_view word) {
        return static_cast<std::size_t>(end - at) >= word.size() && std::memcmp(at, word.data(), word.size()) == 0;
    };
    // Feeds carry many escaped tags: each reference is looked at once and
    // the search goes on behind a predefined one.
    for (const char* p = text;
         (p = static_cast<const char*>(std::memchr(p, '&', static_cast<std::size_t>(end - p))));) {
        ++p;
        if (p == end) return true;
        switch (*p) {
            case 'l':
            case 'g':
                if (!follows(p + 1, "t;")) return true;
                p += 3;
                break;
            case 'a':
                if (follows(p + 1, "mp;")) {
                    p += 4;
                } else if (follows(p + 1, "pos;")) {
                    p += 5;
                } else {
                    return true;
                }
                break;
            case 'q':
                if (!follows(p + 1, "uot;")) return true;
                p += 5;
                break;
            default: {
                // A character reference, or no reference at all ("& " can only
                // be in CDATA or a comment): no name follows.
                const unsigned char first = static_cast<unsigned char>(*p);
                if (first == 0 || (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_' ||
                    first == ':' || first >= 0x80)
                    return true;
                break;
            }
        }
    }
    return false;
}

// Buffers of at least this size give their pages back when freed.
constexpr std::size_t kReleasePages = 1024 * 1024;

// Frees the expat parser when parse() leaves, also by an exception.
class ParserHandle {
public:
    ParserHandle(XML_Parser& slot, const char* encoding) : slot_(slot) { slot_ = XML_ParserCreate(encoding); }
    ~ParserHandle() {
        if (slot_) XML_ParserFree(slot_);
        slot_ = nullptr;
    }
    ParserHandle(const ParserHandle&) = delete;
    ParserHandle& operator=(const ParserHandle&) = delete;

private:
    XML_Parser& slot_;
};

}  // namespace

Parser::Parser(const ElementHandlerRow* handlerTable) : handlerTable_(handlerTable) {
    // One entry per distinct name, keeping the first start row and the first
    // end row of the table for it, and a small hash index over the entries,
    // so that a start tag finds everything about its name in one look-up.
    if (handlerTable_) {
        for (const ElementHandlerRow* row = handlerTable_; row->kind != kEndOfTable; ++row) {
            if ((row->kind != kStartElement && row->kind != kEndElement) || !row->elementName) continue;
            NameEntry& entry = addName(row->elementName);
            const ElementHandlerRow*& slot = row->kind == kStartElement ? entry.startRow : entry.endRow;
            if (!slot) slot = row;
        }
    }
    indexNames();
}

Parser::~Parser() = default;

void Parser::setContainerElements(const char* const* names) {
    for (NameEntry& entry : names_) entry.container = -1;
    int position = 0;
    for (const char* const* n = names; n && *n; ++n, ++position) {
        NameEntry& entry = addName(*n);
        if (entry.container < 0) entry.container = position;
    }
    indexNames();
}

Parser::NameEntry& Parser::addName(const char* name) {
    std::string folded(name);
    for (char& c : folded) c = foldByte(c);
    for (NameEntry& entry : names_) {
        if (entry.folded == folded) return entry;
    }
    // An entry number must fit a slot of the index.
    if (names_.size() >= 255) throw std::length_error("expat::Parser: too many element names");
    names_.push_back(NameEntry{std::move(folded)});
    return names_.back();
}

namespace {

inline std::size_t nameHash(const char* name, std::size_t length) {
    if (length == 0) return 0;
    return length * 0x9E3779B1u + static_cast<unsigned char>(foldByte(name[0])) * 31u +
           static_cast<unsigned char>(foldByte(name[length - 1]));
}

}  // namespace

void Parser::indexNames() {
    std::size_t slots = 16;
    while (slots < names_.size() * 4) slots *= 2;
    nameSlots_.assign(slots, 0);
    nameSlotMask_ = slots - 1;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        const std::string& folded = names_[i].folded;
        std::size_t slot = nameHash(folded.data(), folded.size()) & nameSlotMask_;
        while (nameSlots_[slot] != 0) slot = (slot + 1) & nameSlotMask_;
        nameSlots_[slot] = static_cast<std::uint8_t>(i + 1);
    }
}

const Parser::NameEntry* Parser::findName(const char* name, std::size_t length) const {
    for (std::size_t slot = nameHash(name, length) & nameSlotMask_;; slot = (slot + 1) & nameSlotMask_) {
        const std::uint8_t index = nameSlots_[slot];
        if (index == 0) return nullptr;
        const NameEntry& entry = names_[index - 1u];
        if (entry.folded.size() != length) continue;
        const char* folded = entry.folded.data();
        std::size_t i = 0;
        while (i < length && kFolded[static_cast<unsigned char>(name[i])] == folded[i]) ++i;
        if (i == length) return &entry;
    }
}

void Parser::parse(const char* buffer, std::size_t length) {
    PreparedDocument document;
    prepareDocument(buffer, length, document);
    ParserHandle handle(parser_, document.encoding);
    if (!parser_) throw std::bad_alloc();
    parseDocument(document.data, document.length);
    finishDocument();
}

void Parser::parseAndRelease(std::string& text, std::size_t from) {
    if (from > text.size()) from = text.size();
    PreparedDocument document;
    prepareDocument(text.data() + from, text.size() - from, document);
    ParserHandle handle(parser_, document.encoding);
    if (!parser_) throw std::bad_alloc();
    // expat takes an int length: a larger text (and an empty one, which has
    // nothing to copy) goes the way of parse().
    if (document.length == 0 || document.length > static_cast<std::size_t>(std::numeric_limits<int>::max() / 2)) {
        parseDocument(document.data, document.length);
        finishDocument();
        std::string().swap(text);
        return;
    }
    prepareParser(document.data, document.length);

    // expat parses from a buffer of its own. Given the document in one final
    // piece it does not walk the text a second time to count lines and
    // columns (it does for every piece but the last); the text it was given
    // is freed as soon as expat holds its copy.
    const int length = static_cast<int>(document.length);
    void* copy = XML_GetBuffer(parser_, length);
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, document.data, document.length);
    // A large buffer's pages go back to the system before it is freed: the
    // allocator keeps freed memory resident, and would give the results
    // other pages first. Declared after the parser's handle, the guard
    // does so for expat's copy before expat frees it.
    const bool large = document.length >= kReleasePages;
    const auto releaseString = [large](std::string& released) {
        if (large) platform::process::releasePages(released.data(), released.size());
        std::string().swap(released);
    };
    struct ReleaseCopy {
        const void* data;
        std::size_t length;
        ~ReleaseCopy() {
            if (data) platform::process::releasePages(data, length);
        }
    } releaseCopy{large ? copy : nullptr, document.length};
    // What the text must get back if the parse fails: the part before `from`
    // (expat's copy holds the rest, unchanged) or, for a converted document,
    // the whole text, which stays where it is.
    const bool converted = document.data != text.data() + from;
    std::string head;
    if (converted) {
        releaseString(document.converted);
    } else {
        head.assign(text, 0, from);
        releaseString(text);
    }
    const auto restore = [&] {
        if (!converted) {
            std::string whole;
            whole.reserve(head.size() + static_cast<std::size_t>(length));
            whole.append(head).append(static_cast<const char*>(copy), static_cast<std::size_t>(length));
            text.swap(whole);
        }
    };
    try {
        finishParse(XML_ParseBuffer(parser_, length, 1));
        finishDocument();
    } catch (...) {
        restore();
        throw;
    }
    if (converted) releaseString(text);
}

void Parser::prepareParser(const char* text, std::size_t length) {
    handlerError_ = nullptr;
    documentTypeRead_ = false;
    text_.clear();
    tagNames_.clear();
    open_.clear();
    lastStart_ = 0;
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Parser::onStartElement, &Parser::onEndElement);
    // Text outside any element is no character data: the handler is set
    // once the first element starts (see followTextNeed).
    XML_SetCharacterDataHandler(parser_, nullptr);
    characterHandlerSet_ = false;
    XML_SetSkippedEntityHandler(parser_, &Parser::onSkippedEntity);
    // External entities are never fetched; the handler reads the given
    // declarations as the DTD and nothing for any other entity.
    XML_SetExternalEntityRefHandler(parser_, &Parser::onExternalEntity);
    XML_SetExternalEntityRefHandlerArg(parser_, this);
    if (!documentType_.empty() && mayUseDeclaredEntities(text, length)) {
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_ALWAYS);
        XML_UseForeignDTD(parser_, XML_TRUE);
    }
}

void Parser::parseDocument(const char* buffer, std::size_t length) {
    prepareParser(buffer, length);

    // expat copies what it is given into a buffer of its own before it
    // parses. A document of up to kWholeDocument bytes goes in one call:
    // given in pieces, expat walks every piece but the last once more to
    // count its lines and columns, which costs about a quarter of the parse.
    // A larger one goes in pieces, so that the copy stays small instead of
    // doubling the document in memory (parseAndRelease avoids both). The
    // last piece is marked final.
    constexpr std::size_t kWholeDocument = 1024 * 1024;
    constexpr std::size_t kPiece = 64 * 1024;
    const std::size_t pieceSize = length <= kWholeDocument ? length : kPiece;
    XML_Status status = XML_STATUS_OK;
    do {
        const std::size_t piece = length > pieceSize ? pieceSize : length;
        const bool last = piece == length;
        status = XML_Parse(parser_, buffer, static_cast<int>(piece), last ? 1 : 0);
        buffer += piece;
        length -= piece;
        if (last) break;
    } while (status == XML_STATUS_OK);
    finishParse(status);
}

void Parser::finishParse(XML_Status status) {
    if (handlerError_) {
        std::exception_ptr error = handlerError_;
        handlerError_ = nullptr;
        std::rethrow_exception(error);
    }
    if (status != XML_STATUS_OK) {
        const XML_Error code = XML_GetErrorCode(parser_);
        const XML_LChar* text = XML_ErrorString(code);
        std::ostringstream message;
        message << "XML parse failed (" << static_cast<long long>(code) << ":L"
                << static_cast<long long>(XML_GetCurrentLineNumber(parser_)) << "/C"
                << static_cast<long long>(XML_GetCurrentColumnNumber(parser_)) << "): " << (text ? text : "");
        throw Exception(message.str());
    }
}

void Parser::startElement(const char*, const char**) {}

void Parser::endElement(const char*) {}

void Parser::setDebugGroups(CMessageGroup* elementGroup, CMessageGroup* tagStackGroup,
                            CMessageGroup* characterDataGroup) {
    elementGroup_ = elementGroup;
    tagStackGroup_ = tagStackGroup;
    characterDataGroup_ = characterDataGroup;
}

std::string_view Parser::elementText() const {
    if (open_.empty() || open_.back().container >= 0) return {};
    const std::size_t start = open_.back().textStart;
    return std::string_view(text_).substr(std::min(start, text_.size()));
}

std::string& Parser::getCharacterData() {
    characterData_.assign(text_, std::min(lastStart_, text_.size()));
    return characterData_;
}

const std::string& Parser::getCharacterData() const {
    characterData_.assign(text_, std::min(lastStart_, text_.size()));
    return characterData_;
}

std::vector<std::string> Parser::getTagStack() const {
    std::vector<std::string> names;
    names.reserve(open_.size());
    for (const OpenElement& element : open_) names.emplace_back(tagNames_, element.nameStart, element.nameLength);
    return names;
}

std::string Parser::getTagStackText() const {
    std::string text;
    for (const OpenElement& element : open_) {
        text += ':';
        text.append(tagNames_, element.nameStart, element.nameLength);
    }
    return text;
}

bool Parser::sameTagName(std::size_t index, const char* name) const {
    const OpenElement& element = open_[index];
    const char* tag = tagNames_.data() + element.nameStart;
    for (std::size_t i = 0; i < element.nameLength; ++i) {
        if (name[i] == '\0' || foldByte(tag[i]) != foldByte(name[i])) return false;
    }
    return name[element.nameLength] == '\0';
}

bool Parser::isTagOnStack(const std::string& name, bool anywhere) const {
    if (!anywhere) return !open_.empty() && sameTagName(open_.size() - 1, name.c_str());
    for (std::size_t i = 0; i < open_.size(); ++i) {
        if (sameTagName(i, name.c_str())) return true;
    }
    return false;
}

bool Parser::isParentTag(const std::string& name) const { return isParentTag(name.c_str()); }

bool Parser::isParentTag(const char* name) const { return open_.size() >= 2 && sameTagName(open_.size() - 2, name); }

void XMLCALL Parser::onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    Parser* self = static_cast<Parser*>(userData);
    if (self->handlerError_) return;
    try {
        self->handleStart(name, attributes);
    } catch (...) {
        self->abortWith(std::current_exception());
    }
}

void XMLCALL Parser::onEndElement(void* userData, const XML_Char* name) {
    Parser* self = static_cast<Parser*>(userData);
    if (self->handlerError_) return;
    try {
        self->handleEnd(name);
    } catch (...) {
        self->abortWith(std::current_exception());
    }
}

void XMLCALL Parser::onCharacterData(void* userData, const XML_Char* text, int length) {
    Parser* self = static_cast<Parser*>(userData);
    if (self->handlerError_) return;
    try {
        if (self->characterDataGroup_) {
            self->handleCharacters(text, length);
        } else if (length > 0) {
            // Set only inside an element that keeps its text (followTextNeed).
            self->text_.append(text, static_cast<std::size_t>(length));
        }
    } catch (...) {
        self->abortWith(std::current_exception());
    }
}

inline void Parser::followTextNeed() {
    // Between the children of a container expat need not report text at
    // all (it is mostly line breaks); a logged parse hears every piece.
    const bool wanted = characterDataGroup_ || (!open_.empty() && open_.back().container < 0);
    if (wanted != characterHandlerSet_) {
        XML_SetCharacterDataHandler(parser_, wanted ? &Parser::onCharacterData : nullptr);
        characterHandlerSet_ = wanted;
    }
}

void XMLCALL Parser::onSkippedEntity(void* userData, const XML_Char* name, int isParameterEntity) {
    Parser* self = static_cast<Parser*>(userData);
    if (self->handlerError_ || isParameterEntity || !name) return;
    // An entity nobody declared keeps its reference text rather than vanish.
    try {
        const std::string reference = std::string("&") + name + ";";
        self->handleCharacters(reference.data(), static_cast<int>(reference.size()));
    } catch (...) {
        self->abortWith(std::current_exception());
    }
}

int XMLCALL Parser::onExternalEntity(XML_Parser arg, const XML_Char* context, const XML_Char*, const XML_Char*,
                                     const XML_Char*) {
    Parser* self = reinterpret_cast<Parser*>(arg);
    // A general entity (context set), a second parameter entity, or no
    // declarations to give: read as empty.
    if (context || self->documentTypeRead_ || self->documentType_.empty()) return XML_STATUS_OK;
    self->documentTypeRead_ = true;
    XML_Parser dtd = XML_ExternalEntityParserCreate(self->parser_, nullptr, "UTF-8");
    if (!dtd) return XML_STATUS_ERROR;
    const XML_Status status =
        XML_Parse(dtd, self->documentType_.data(), static_cast<int>(self->documentType_.size()), 1);
    XML_ParserFree(dtd);
    return status == XML_STATUS_OK ? XML_STATUS_OK : XML_STATUS_ERROR;
}

void Parser::abortWith(std::exception_ptr error) {
    handlerError_ = error;
    // C callbacks must not unwind through expat: stop it and rethrow once
    // XML_Parse has returned.
    XML_StopParser(parser_, XML_FALSE);
}

void Parser::handleStart(const char* name, const char** attributes) {
    const std::size_t nameLength = std::strlen(name);
    const NameEntry* entry = findName(name, nameLength);
    const int container = entry ? entry->container : -1;
    const std::size_t nameStart = tagNames_.size();
    tagNames_.append(name, nameLength);
    lastStart_ = text_.size();
    open_.push_back(OpenElement{text_.size(), static_cast<std::uint32_t>(nameStart),
                                static_cast<std::uint32_t>(nameLength), entry, container});
    followTextNeed();

    if (elementGroup_ && elementGroup_->isEnabled()) {
        std::string attributeText;
        for (const char** attribute = attributes; attribute && attribute[0] && attribute[1]; attribute += 2) {
            attributeText += "- ";
            attributeText += attribute[0];
            attributeText += " = '";
            attributeText += attribute[1];
            attributeText += "'";
        }
        ORVAN_LOG(*elementGroup_) << "START ELEMENT: " << name << " ; " << attributeText << std::endl;
    }
    if (tagStackGroup_) {
        ORVAN_LOG(*tagStackGroup_) << "TagStack: " << getTagStackText() << std::endl;
    }

    startElement(name, attributes);
    if (entry && entry->startRow) callRow(*entry->startRow);
}

void Parser::handleEnd(const char* name) {
    if (elementGroup_) {
        ORVAN_LOG(*elementGroup_) << "END ELEMENT: " << name << std::endl;
    }
    if (tagStackGroup_) {
        ORVAN_LOG(*tagStackGroup_) << "TagStack: " << getTagStackText() << std::endl;
    }

    endElement(name);
    if (!open_.empty() && open_.back().entry && open_.back().entry->endRow) callRow(*open_.back().entry->endRow);

    if (open_.empty()) return;
    const OpenElement ended = open_.back();
    open_.pop_back();
    tagNames_.resize(ended.nameStart);
    followTextNeed();
    // The text of the element that ended stays only as part of the text of
    // an enclosing element that is not a container.
    if (open_.empty() || open_.back().container >= 0) {
        text_.resize(std::min(ended.textStart, text_.size()));
        if (lastStart_ > ended.textStart) lastStart_ = ended.textStart;
    }
}

void Parser::handleCharacters(const char* text, int length) {
    if (characterDataGroup_) logCharacters(text, length);
    // A container's own text (white space between its children) is not kept.
    if (length <= 0 || (!open_.empty() && open_.back().container >= 0)) return;
    text_.append(text, static_cast<std::size_t>(length));
}

void Parser::logCharacters(const char* text, int length) const {
    if (length > 0 && characterDataGroup_->isEnabled()) {
        ORVAN_LOG(*characterDataGroup_) << "CHARACTER DATA: " << std::string(text, static_cast<std::size_t>(length))
                                        << std::endl;
    }
}

void Parser::callRow(const ElementHandlerRow& row) {
    if (row.handler) (this->*(row.handler))();
}

}  // namespace expat
