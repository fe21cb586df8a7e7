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
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
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
    void setDebugGroups(CMessageGroup* elementGroup, CMessageGroup* tagStackGroup,
                        CMessageGroup* characterDataGroup);

    // Names of the open elements, outermost first.
    std::deque<std::string>& getTagStack() { return tagStack_; }
    const std::deque<std::string>& getTagStack() const { return tagStack_; }
    // Text received since the last start tag of any element (inside a
    // container: since the last child element ended). The string is a copy
    // made for the call: changing it changes nothing for the parser.
    std::string& getCharacterData();
    const std::string& getCharacterData() const;
    // All text inside the innermost open element, the text of its child
    // elements included; "" when no element is open or it is a container.
    std::string getElementText() const;

    // ":rss:channel:item"; "" for an empty stack.
    std::string getTagStackText() const;
    // anywhere: some open element has this name; else the innermost one has.
    bool isTagOnStack(const std::string& name, bool anywhere) const;
    // The element enclosing the innermost open one has this name.
    bool isParentTag(const std::string& name) const;
    bool isParentTag(const char* name) const;

protected:
    virtual void parseDocument(const char* buffer, std::size_t length);
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
    // Kept apart from handleCharacters, which runs for every piece of text.
    void logCharacters(const char* text, int length) const;
    // The first start row and the first end row for the name (null when none).
    void findRows(const char* name, std::size_t length, const ElementHandlerRow*& startRow,
                  const ElementHandlerRow*& endRow) const;
    void callRow(const ElementHandlerRow& row);
    // Stops expat after a handler threw; parseDocument rethrows.
    void abortWith(std::exception_ptr error);

    const ElementHandlerRow* handlerTable_;
    // Rows of the table grouped by the folded first byte of their names:
    // bucket b is rowIndex_[bucketStart_[b] .. bucketStart_[b + 1]).
    std::vector<const ElementHandlerRow*> rowIndex_;
    // The length of the name of each row of rowIndex_.
    std::vector<std::size_t> rowNameLengths_;
    std::array<std::uint32_t, 257> bucketStart_{};
    XML_Parser parser_ = nullptr;
    std::deque<std::string> tagStack_;
    // Made from text_ when asked for.
    mutable std::string characterData_;
    CMessageGroup* elementGroup_ = nullptr;
    CMessageGroup* tagStackGroup_ = nullptr;
    CMessageGroup* characterDataGroup_ = nullptr;

    // Text of the open elements: text_ from open_[i].textStart on is the text of
    // the open element i; from lastStart_ on, the text since the last start
    // tag. Text inside a container is dropped once it is no longer needed.
    std::string text_;
    std::size_t lastStart_ = 0;
    // What is kept of each open element besides its name.
    struct OpenElement {
        std::size_t textStart;
        // Its end-tag row (null when none matches).
        const ElementHandlerRow* endRow;
        bool container;
    };
    std::vector<OpenElement> open_;
    const char* const* containerNames_ = nullptr;
    std::bitset<256> containerFirstBytes_;  // folded first bytes of their names
    std::exception_ptr handlerError_;

    std::string_view documentType_;
    bool documentTypeRead_ = false;
};

}  // namespace expat
