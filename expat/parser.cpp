#include "expat/parser.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "expat/encoding.h"
#include "lib/log/messageLog.h"

namespace expat {

namespace {

// Element names compare without regard to ASCII case; other bytes (UTF-8)
// compare as they are. Called for every row of the table at every start tag.
inline char foldByte(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (foldByte(*a) != foldByte(*b)) return false;
        if (*a == '\0') return true;
    }
}

bool sameName(const std::string& a, const char* b) {
    return sameName(a.c_str(), b);
}

// Whether the text may refer to an entity beyond XML's five and character
// references: only then can declarations given as the document type change
// what the document says. Reading them costs more than parsing a small feed.
// Any other "&" with a name after it (in a comment or CDATA as well) counts,
// and so does one among another encoding's bytes (a NUL follows it there).
bool mayUseDeclaredEntities(const char* text, std::size_t length) {
    const char* end = text + length;
    for (const char* p = text; (p = static_cast<const char*>(std::memchr(p, '&', static_cast<std::size_t>(end - p))));
         ++p) {
        const std::string_view rest(p + 1, static_cast<std::size_t>(end - p - 1));
        if (rest.empty()) return true;
        // A character reference, or no reference at all ("& " can only be
        // in CDATA or a comment): no name follows.
        const unsigned char first = static_cast<unsigned char>(rest[0]);
        if (first == 0) return true;
        if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_' || first == ':' ||
              first >= 0x80))
            continue;
        bool predefined = false;
        switch (first) {
        case 'a':
            predefined = rest.starts_with("amp;") || rest.starts_with("apos;");
            break;
        case 'l':
            predefined = rest.starts_with("lt;");
            break;
        case 'g':
            predefined = rest.starts_with("gt;");
            break;
        case 'q':
            predefined = rest.starts_with("quot;");
            break;
        default:
            break;
        }
        if (!predefined) return true;
    }
    return false;
}

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
    // Index the rows by the folded first byte of their names, keeping table
    // order inside each bucket, so a start tag compares against a few rows.
    // A parser is made for every document: one counting pass sizes the
    // buckets, a second fills them.
    if (!handlerTable_) return;
    const auto bucketOf = [](const ElementHandlerRow& row) -> int {
        if ((row.kind != kStartElement && row.kind != kEndElement) || !row.elementName) return -1;
        return static_cast<unsigned char>(foldByte(row.elementName[0]));
    };
    for (const ElementHandlerRow* row = handlerTable_; row->kind != kEndOfTable; ++row) {
        if (const int bucket = bucketOf(*row); bucket >= 0) ++bucketStart_[static_cast<std::size_t>(bucket) + 1];
    }
    for (std::size_t bucket = 0; bucket < 256; ++bucket) bucketStart_[bucket + 1] += bucketStart_[bucket];
    rowIndex_.resize(bucketStart_[256]);
    rowNameLengths_.resize(bucketStart_[256]);
    std::array<std::uint32_t, 256> next{};
    std::copy(bucketStart_.begin(), bucketStart_.begin() + 256, next.begin());
    for (const ElementHandlerRow* row = handlerTable_; row->kind != kEndOfTable; ++row) {
        if (const int bucket = bucketOf(*row); bucket >= 0) {
            const std::uint32_t slot = next[static_cast<std::size_t>(bucket)]++;
            rowIndex_[slot] = row;
            rowNameLengths_[slot] = std::strlen(row->elementName);
        }
    }
}

Parser::~Parser() = default;

void Parser::setContainerElements(const char* const* names) {
    containerNames_ = names;
    containerFirstBytes_.reset();
    for (const char* const* n = names; n && *n; ++n)
        containerFirstBytes_.set(static_cast<unsigned char>(foldByte((*n)[0])));
}

void Parser::parse(const char* buffer, std::size_t length) {
    PreparedDocument document;
    prepareDocument(buffer, length, document);
    ParserHandle handle(parser_, document.encoding);
    if (!parser_) throw std::bad_alloc();
    handlerError_ = nullptr;
    documentTypeRead_ = false;
    parseDocument(document.data, document.length);
}

void Parser::parseDocument(const char* buffer, std::size_t length) {
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Parser::onStartElement, &Parser::onEndElement);
    XML_SetCharacterDataHandler(parser_, &Parser::onCharacterData);
    XML_SetSkippedEntityHandler(parser_, &Parser::onSkippedEntity);
    // External entities are never fetched; the handler reads the given
    // declarations as the DTD and nothing for any other entity.
    XML_SetExternalEntityRefHandler(parser_, &Parser::onExternalEntity);
    XML_SetExternalEntityRefHandlerArg(parser_, this);
    if (!documentType_.empty() && mayUseDeclaredEntities(buffer, length)) {
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_ALWAYS);
        XML_UseForeignDTD(parser_, XML_TRUE);
    }

    // expat copies what it is given into a buffer of its own before it
    // parses. A document of up to kWholeDocument bytes goes in one call:
    // given in pieces, expat walks every piece but the last once more to
    // count its lines and columns, which costs about a quarter of the parse.
    // A larger one goes in pieces, so that the copy stays small instead of
    // doubling the document in memory. The last piece is marked final.
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

std::string Parser::getElementText() const {
    if (open_.empty() || open_.back().container) return std::string();
    return text_.substr(open_.back().textStart);
}

std::string& Parser::getCharacterData() {
    characterData_.assign(text_, std::min(lastStart_, text_.size()));
    return characterData_;
}

const std::string& Parser::getCharacterData() const {
    characterData_.assign(text_, std::min(lastStart_, text_.size()));
    return characterData_;
}

std::string Parser::getTagStackText() const {
    std::string text;
    for (const std::string& tag : tagStack_) {
        text += ':';
        text += tag;
    }
    return text;
}

bool Parser::isTagOnStack(const std::string& name, bool anywhere) const {
    if (!anywhere) return !tagStack_.empty() && sameName(tagStack_.back(), name.c_str());
    for (const std::string& tag : tagStack_) {
        if (sameName(tag, name.c_str())) return true;
    }
    return false;
}

bool Parser::isParentTag(const std::string& name) const {
    return isParentTag(name.c_str());
}

bool Parser::isParentTag(const char* name) const {
    return tagStack_.size() >= 2 && sameName(tagStack_[tagStack_.size() - 2], name);
}

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
        self->handleCharacters(text, length);
    } catch (...) {
        self->abortWith(std::current_exception());
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
    // A container's own text (white space between its children) is not kept.
    if (!open_.empty() && open_.back().container) text_.resize(open_.back().textStart);
    const std::size_t nameLength = std::strlen(name);
    tagStack_.emplace_back(name, nameLength);
    lastStart_ = text_.size();
    bool container = false;
    if (containerNames_ && containerFirstBytes_[static_cast<unsigned char>(foldByte(name[0]))]) {
        for (const char* const* n = containerNames_; *n && !container; ++n) container = sameName(name, *n);
    }

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

    // The end row is looked up now, while the name is at hand, and kept with
    // the element: the end tag then needs no second walk of the table.
    const ElementHandlerRow* startRow = nullptr;
    const ElementHandlerRow* endRow = nullptr;
    findRows(name, nameLength, startRow, endRow);
    open_.push_back(OpenElement{text_.size(), endRow, container});
    startElement(name, attributes);
    if (startRow) callRow(*startRow);
}

void Parser::handleEnd(const char* name) {
    if (elementGroup_) {
        ORVAN_LOG(*elementGroup_) << "END ELEMENT: " << name << std::endl;
    }
    if (tagStackGroup_) {
        ORVAN_LOG(*tagStackGroup_) << "TagStack: " << getTagStackText() << std::endl;
    }

    endElement(name);
    if (!open_.empty() && open_.back().endRow) callRow(*open_.back().endRow);

    if (!tagStack_.empty()) tagStack_.pop_back();
    std::size_t start = 0;
    if (!open_.empty()) {
        start = open_.back().textStart;
        open_.pop_back();
    }
    // The text of the element that ended stays only as part of the text of
    // an enclosing element that is not a container.
    if (open_.empty() || open_.back().container) {
        text_.resize(start);
        if (lastStart_ > start) lastStart_ = start;
    }
}

void Parser::handleCharacters(const char* text, int length) {
    if (length <= 0) return;
    if (characterDataGroup_) logCharacters(text, length);
    text_.append(text, static_cast<std::size_t>(length));
}

void Parser::logCharacters(const char* text, int length) const {
    if (characterDataGroup_->isEnabled()) {
        ORVAN_LOG(*characterDataGroup_) << "CHARACTER DATA: " << std::string(text, static_cast<std::size_t>(length))
                                        << std::endl;
    }
}

void Parser::findRows(const char* name, std::size_t length, const ElementHandlerRow*& startRow,
                      const ElementHandlerRow*& endRow) const {
    const unsigned bucket = static_cast<unsigned char>(foldByte(name[0]));
    for (std::size_t i = bucketStart_[bucket]; i < bucketStart_[bucket + 1]; ++i) {
        // Names of another length are passed over without a look at them.
        if (rowNameLengths_[i] != length) continue;
        const ElementHandlerRow* row = rowIndex_[i];
        const ElementHandlerRow*& slot = row->kind == kStartElement ? startRow : endRow;
        if (!slot && sameName(name, row->elementName)) {
            slot = row;
            if (startRow && endRow) return;
        }
    }
}

void Parser::callRow(const ElementHandlerRow& row) {
    if (row.handler) (this->*(row.handler))();
}

}  // namespace expat
