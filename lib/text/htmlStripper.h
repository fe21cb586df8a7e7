#pragma once
// Turns HTML into plain text: the text outside tags is kept; comments, the
// content of SCRIPT elements and every tag not on the allowed list are
// dropped. Allowed tags are written back as "<name params>" and recorded with
// their parameters and the output they enclose.
//
//   htmlStripper::HtmlStripper s;
//   s.setCollapseBlanks(true);
//   s.strip("<p>Hello   <b>world</b></p>");   // s.getOutput() == "Hello world"
//
// Entities are not decoded. Any '<' starts a tag, so "a < b and c > d"
// loses the text between the two brackets.
#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace htmlStripper {

// One allowed opening tag met while stripping.
struct TagRecord {
    std::string name;                                         // as written
    std::size_t startOffset = 0;                              // output length before the tag
    std::vector<std::pair<std::string, std::string>> params;  // in order
    // The output the tag encloses: from dataStart, dataLength bytes, and a
    // copy of that text. Empty until the tag is closed.
    std::size_t dataStart = 0;
    std::size_t dataLength = 0;
    std::string data;
    bool closed = false;
    std::size_t endOffset = 0;  // output length when the tag was closed

    // Diagnostic lines, each after prefix.
    void dump(std::ostream& os, const std::string& prefix) const;
};

std::ostream& operator<<(std::ostream& os, const TagRecord& record);

class HtmlStripper {
public:
    HtmlStripper() = default;
    virtual ~HtmlStripper() = default;

    // Drops a blank or tab that follows white space in the output.
    void setCollapseBlanks(bool collapse) { collapseBlanks_ = collapse; }
    // A tag name to keep (compared without regard to case).
    void addAllowedTag(const std::string& name) { allowedTags_.push_back(name); }

    // Strips input; the result replaces any earlier output and records.
    virtual void strip(const std::string& input);

    const std::string& getOutput() const { return output_; }
    const std::vector<TagRecord>& getTagRecords() const { return records_; }

private:
    bool readTag(std::string& name, std::string& params);
    void handleTag();
    void closeRecord(TagRecord& record, std::size_t end);
    void applyRules(const std::string& tagName, bool closing, std::size_t tagStart);

    bool collapseBlanks_ = false;
    std::vector<std::string> allowedTags_;
    const std::string* input_ = nullptr;
    std::size_t position_ = 0;
    bool inScript_ = false;
    std::string output_;
    std::vector<TagRecord> records_;
};

}  // namespace htmlStripper
