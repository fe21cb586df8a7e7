#include "lib/text/htmlStripper.h"

#include <map>

#include "lib/misc/stringHelpers.h"

namespace htmlStripper {

namespace {

// How tables and images are closed when the tags around them are not.
struct TagRule {
    std::string name;
    std::vector<std::string> allowedParents;
    std::vector<std::string> innerTags;
};

std::vector<std::string> splitList(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

const std::map<std::string, TagRule, LessNoCase>& tagRules() {
    static const std::map<std::string, TagRule, LessNoCase> rules = [] {
        std::map<std::string, TagRule, LessNoCase> r;
        auto add = [&r](const char* tag, const char* name, const char* parents, const char* inner) {
            r.emplace(tag, TagRule{name, splitList(parents), splitList(inner)});
        };
        add("TABLE", "table", "", "");
        add("TR", "tr", "table", "p;b;i;u");
        add("TD", "td", "td;tr;table", "p;b;i;u");
        add("IMG", "img", "a;td;tr;table", "");
        return r;
    }();
    return rules;
}

const TagRule* findRule(const std::string& tag) {
    auto it = tagRules().find(tag);
    return it == tagRules().end() ? nullptr : &it->second;
}

bool listHas(const std::vector<std::string>& list, const std::string& name) {
    for (const auto& entry : list)
        if (compareNoCase(entry, name) == 0) return true;
    return false;
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Splits "a=1 b='x y' c" into (a,1) (b,x y) (c,"").
std::vector<std::pair<std::string, std::string>> splitParams(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && isWhitespaceByte(text[i])) ++i;
        if (i >= n) break;
        std::string name;
        while (i < n && !isWhitespaceByte(text[i]) && text[i] != '=') name.push_back(text[i++]);
        std::string value;
        if (i < n && text[i] == '=') {
            ++i;
            if (i < n && (text[i] == '"' || text[i] == '\'')) {
                const char quote = text[i++];
                while (i < n && text[i] != quote) value.push_back(text[i++]);
                if (i < n) ++i;
            } else {
                while (i < n && !isWhitespaceByte(text[i])) value.push_back(text[i++]);
            }
        }
        if (name.empty() && value.empty()) {
            ++i;  // a stray '=': skip it
            continue;
        }
        out.emplace_back(std::move(name), std::move(value));
    }
    return out;
}

}  // namespace

void TagRecord::dump(std::ostream& os, const std::string& prefix) const {
    os << prefix << "TAG: " << name << "\n";
    os << prefix << "- Start offset: " << startOffset << "\n";
    os << prefix << "- Tag params:   ";
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (i > 0) os << " ; ";
        os << params[i].first << "=" << params[i].second;
    }
    os << "\n";
    os << prefix << "- Tag data:     " << data << "\n";
}

std::ostream& operator<<(std::ostream& os, const TagRecord& record) {
    record.dump(os, "");
    return os;
}

void HtmlStripper::strip(const std::string& input) {
    input_ = &input;
    position_ = 0;
    inScript_ = false;
    output_.clear();
    output_.reserve(input.size());
    records_.clear();

    const std::size_t n = input.size();
    while (position_ < n) {
        const char c = input[position_++];
        if (c != '<') {
            if (inScript_) continue;
            if (collapseBlanks_ && isBlankOrTab(c) && !output_.empty() && isWhitespaceByte(output_.back())) continue;
            output_.push_back(c);
        } else if (n - position_ >= 3 && input.compare(position_, 3, "!--") == 0) {
            const std::size_t end = input.find("-->", position_ + 3);
            if (end == std::string::npos) break;  // unterminated comment: the rest goes
            position_ = end + 3;
        } else {
            handleTag();
        }
    }

    for (auto& record : records_)
        if (!record.closed && findRule(record.name)) closeRecord(record, output_.size());
    input_ = nullptr;
}

bool HtmlStripper::readTag(std::string& name, std::string& params) {
    enum class State { Lead, Name, AfterName, Params } state = State::Lead;
    const std::string& in = *input_;
    char quote = 0;
    while (position_ < in.size()) {
        const char c = in[position_++];
        if (quote == 0 && c == '>') {
            while (!params.empty() && isWhitespaceByte(params.back())) params.pop_back();
            return true;
        }
        switch (state) {
            case State::Lead:
                if (isWhitespaceByte(c)) break;
                name.push_back(c);
                state = State::Name;
                break;
            case State::Name:
                if (!isWhitespaceByte(c)) {
                    name.push_back(c);
                } else if (name != "/") {
                    state = State::AfterName;
                }
                break;
            case State::AfterName:
                if (isWhitespaceByte(c)) break;
                state = State::Params;
                [[fallthrough]];
            case State::Params:
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                }
                params.push_back(c);
                break;
        }
    }
    return false;
}

void HtmlStripper::handleTag() {
    std::string name;
    std::string params;
    if (!readTag(name, params)) return;  // incomplete: nothing of it is written

    const bool closing = !name.empty() && name[0] == '/';
    const std::string bareName = closing ? name.substr(1) : name;
    if (compareNoCase(bareName, "SCRIPT") == 0) inScript_ = !closing;

    if (!listHas(allowedTags_, bareName)) return;

    const std::size_t tagStart = output_.size();
    applyRules(bareName, closing, tagStart);

    output_ += "<";
    output_ += name;
    if (!params.empty()) {
        output_ += " ";
        output_ += params;
    }
    output_ += ">";

    if (!closing) {
        TagRecord record;
        record.name = name;
        record.startOffset = tagStart;
        record.params = splitParams(params);
        record.dataStart = output_.size();
        records_.push_back(std::move(record));
    }
}

void HtmlStripper::closeRecord(TagRecord& record, std::size_t end) {
    record.closed = true;
    record.dataLength = end > record.dataStart ? end - record.dataStart : 0;
    record.data = output_.substr(record.dataStart, record.dataLength);
    record.endOffset = output_.size();
}

// Before an allowed tag is written at tagStart: a closing tag closes the
// innermost open record of its name. Records of tags with a rule are also
// closed by the closing tag of one of their parents, and by an opening tag
// that has a rule itself and may not stand inside them (a new row closes the
// open row and its cells). Tags without a rule never close another record.
void HtmlStripper::applyRules(const std::string& tagName, bool closing, std::size_t tagStart) {
    if (closing) {
        for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
            if (!it->closed && compareNoCase(it->name, tagName) == 0) {
                closeRecord(*it, tagStart);
                break;
            }
        }
    }
    const TagRule* newRule = findRule(tagName);
    for (auto& record : records_) {
        if (record.closed || record.startOffset == tagStart) continue;
        const TagRule* rule = findRule(record.name);
        if (!rule) continue;
        bool letGo;
        if (closing) {
            letGo = listHas(rule->allowedParents, tagName);
        } else {
            letGo = newRule && !listHas(newRule->allowedParents, record.name) && !listHas(rule->innerTags, tagName);
        }
        if (letGo) closeRecord(record, tagStart);
    }
}

}  // namespace htmlStripper
