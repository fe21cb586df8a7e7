#pragma once
// The named character entities of HTML 4 (its Latin-1, symbol and special
// sets, 252 names), which feeds written for browsers use in their XML.
#include <cstddef>
#include <string>

namespace channels {

struct HtmlEntity {
    const char* name;
    char32_t codePoint;
};

// The 252 entities in the order of their sets; names are case-sensitive.
const HtmlEntity* htmlEntities(std::size_t& count);

// The entities as XML declarations ("<!ENTITY eacute \"&#233;\">" ...), for
// a parser to read as the document type of a feed. The four that XML has
// built in (lt, gt, amp, quot) are left out.
const std::string& htmlEntityDeclarations();

}  // namespace channels
