#pragma once
// Event-driven XML parsing over the expat library.
//
// A derived class either overrides startElement/endElement or hands the
// constructor a static table of element handlers; inside a handler it reads
// the tag stack and the text collected so far:
//
//   class MyParser : public expat::Parser {
//       static const expat::ElementHandlerRow kTable[];
//       void onItemEnd() { use(getElementText()); }
//   public:
//       MyParser() : expat::Parser(kTable) {}
//   };
//   const expat::ElementHandlerRow MyParser::kTable[] = {
//       {expat::kEndElement, expat::elementHandler(&MyParser::onItemEnd), "item"},
//       {expat::kEndOfTable, nullptr, ""},
//   };
//
// Texts are UTF-8 as expat delivers them; nothing is narrowed. A document
// in an encoding expat does not read itself is converted first (see
// expat/encoding.h). Element names are matched without regard to (ASCII)
// case; the first matching row of the table is the only one called.
//
// No external entity is ever fetched. A reference to an entity that the
// document does not declare reaches the text as written ("&name;") where
// expat accepts it; setDocumentType gives declarations to read as the
// document's external DTD, so that their entities are known.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <expat.h>

class CMessageGroup;

namespace expat {

// A parse failure: "XML parse failed (<code>:L<line>/C<column>): <text>".
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& getMessage() const { return message_; }

private:
    std::string message_;
};

class Parser;

using ElementHandler = void (Parser::*)();

constexpr int kStartElement = 0;
constexpr int kEndElement = 1;
constexpr int kEndOfTable = -1;

// One row of an element handler table; the table ends with a kEndOfTable row.
struct ElementHandlerRow {
    int kind;
    ElementHandler handler;
    const char* elementName;
};

// Turns a member function of a class derived from Parser into a table entry.
template <class Derived>
constexpr ElementHandler elementHandler(void (Derived::*handler)()) {
    return static_cast<ElementHandler>(handler);
}

class Parser {
public:
    // The table (may be null) is owned by the caller and must outlive the parser.
    explicit Parser(const ElementHandlerRow* handlerTable = nullptr);
    virtual ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Parses the whole buffer. Throws Exception on malformed XML; an exception
    // thrown by a handler passes out unchanged. The expat parser exists only
    // for the duration of the call.
    void parse(const char* buffer, std::size_t length);

    // Parses text[from..] as parse() does, taking over the string: expat gets
    // the whole document in one piece, and once it holds its own copy the
    // string's memory is freed, so a large document is never held twice while
    // the handlers build their results. The string is left empty; when the
    // call throws, it holds the whole text again (text[0..from) included).
    void parseAndRelease(std::string& text, std::size_t from = 0);

    // Declarations (of entities) read as the external DTD of every document
    // this parser reads: in place of the DTD a DOCTYPE names, and for a
    // document that names none. The text must outlive the parser.
    void setDocumentType(std::string_view declarations) { documentType_ = declarations; }

    // Elements that hold other elements rather than text (a null-terminated
    // list of names, compared without regard to case; it must outlive the
    // parser). Their end handlers get no element text: neither their own
    // text nor that of their finished children is kept, so a parse holds
    // the text of the innermost elements only, not of the whole document.
    void setContainerElements(const char* const* names);

    // Element starts/ends, the tag stack and the character data are logged to
    // these groups when set (each may be null).
    void setDebugGroups(CMessageGroup* elementGroup, CMessageGroup* tagStackGroup, CMessageGroup* characterDataGroup);

    // Names of the open elements, outermost first (a copy).
    std::vector<std::string> getTagStack() const;
    // Text received since the last start tag of any element ("" inside a
    // container). The string is a copy made for the call: changing it
    // changes nothing for the parser.
    std::string& getCharacterData();
    const std::string& getCharacterData() const;
    // All text inside the innermost open element, the text of its child
    // elements included; "" when no element is open or it is a container.
    std::string getElementText() const { return std::string(elementText()); }
    // The same text in place: valid until the handler returns.
    std::string_view elementText() const;

    // ":rss:channel:item"; "" for an empty stack.
    std::string getTagStackText() const;
    // anywhere: some open element has this name; else the innermost one has.
    bool isTagOnStack(const std::string& name, bool anywhere) const;
    // The element enclosing the innermost open one has this name.
    bool isParentTag(const std::string& name) const;
    bool isParentTag(const char* name) const;
    // The position in the setContainerElements list of the element that
    // encloses the innermost open one; -1 when there is none or it is no
    // container. A quicker isParentTag for names of containers.
    int getParentContainer() const { return open_.size() >= 2 ? open_[open_.size() - 2].container : -1; }

protected:
    virtual void parseDocument(const char* buffer, std::size_t length);
    // Runs after the whole document was parsed without error, before parse()
    // returns; what it throws is the parse's failure (parseAndRelease then
    // hands the text back as for any other).
    virtual void finishDocument() {}
    // attributes: alternating names and values, ended by a null entry.
    virtual void startElement(const char* name, const char** attributes);
    virtual void endElement(const char* name);

private:
    static void XMLCALL onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL onEndElement(void* userData, const XML_Char* name);
    static void XMLCALL onCharacterData(void* userData, const XML_Char* text, int length);
    static void XMLCALL onSkippedEntity(void* userData, const XML_Char* name, int isParameterEntity);
    static int XMLCALL onExternalEntity(XML_Parser arg, const XML_Char* context, const XML_Char* base,
                                        const XML_Char* systemId, const XML_Char* publicId);

    void handleStart(const char* name, const char** attributes);
    void handleEnd(const char* name);
    void handleCharacters(const char* text, int length);
    // Sets or clears expat's character data handler for the innermost open element.
    void followTextNeed();
    // Kept apart from handleCharacters, which runs for every piece of text.
    void logCharacters(const char* text, int length) const;
    void callRow(const ElementHandlerRow& row);
    // Stops expat after a handler threw; the caller of expat rethrows.
    void abortWith(std::exception_ptr error);
    // Sets the handlers of a new expat parser for the text about to be parsed.
    void prepareParser(const char* text, std::size_t length);
    // Rethrows a handler's exception or throws the parse error, if any.
    void finishParse(XML_Status status);

    // What the parser knows of one element name (compared without regard to
    // case): the first start row and end row of the table for it and its
    // position in the container list.
    struct NameEntry {
        std::string folded;  // upper-case
        const ElementHandlerRow* startRow = nullptr;
        const ElementHandlerRow* endRow = nullptr;
        int container = -1;
    };
    // The open element at index has this name (compared without regard to case).
    bool sameTagName(std::size_t index, const char* name) const;
    // The entry for an element name; null when the name has none.
    const NameEntry* findName(const char* name, std::size_t length) const;
    NameEntry& addName(const char* name);
    void indexNames();

    const ElementHandlerRow* handlerTable_;
    std::vector<NameEntry> names_;
    // Open-addressed hash index into names_ (entry number + 1; 0 = empty).
    std::vector<std::uint8_t> nameSlots_;
    std::size_t nameSlotMask_ = 0;
    XML_Parser parser_ = nullptr;
    // Made from text_ when asked for.
    mutable std::string characterData_;
    CMessageGroup* elementGroup_ = nullptr;
    CMessageGroup* tagStackGroup_ = nullptr;
    CMessageGroup* characterDataGroup_ = nullptr;

    // Text of the open elements: text_ from open_[i].textStart on is the text of
    // the open element i; from lastStart_ on, the text since the last start
    // tag. The text of a container is not kept, nor that of its children
    // once they have ended.
    std::string text_;
    std::size_t lastStart_ = 0;
    // The names of the open elements one after the other.
    std::string tagNames_;
    // What is kept of each open element.
    struct OpenElement {
        std::size_t textStart;
        std::uint32_t nameStart;
        std::uint32_t nameLength;
        const NameEntry* entry;  // null when the name has none
        int container;
    };
    std::vector<OpenElement> open_;
    bool characterHandlerSet_ = false;
    std::exception_ptr handlerError_;

    std::string_view documentType_;
    bool documentTypeRead_ = false;
};

}  // namespace expat
