#include "lib/text/templateProcessor.h"

#include <cstring>
#include <sstream>

namespace templateProcessor {

namespace {

constexpr char kBlockStart[] = "{%REPEAT%";
constexpr char kBlockEnd[] = "{%/REPEAT%}";
constexpr char kRepeatName[] = "REPEAT%";

// Whether text ends with tag (ASCII, without regard to case).
bool endsWithNoCase(const std::string& text, const char* tag) {
    const std::size_t n = std::strlen(tag);
    if (text.size() < n) return false;
    return mbsCompareNoCase(text.substr(text.size() - n), tag) == 0;
}

// Pops the innermost block parameter also when an iteration throws.
class ParameterScope {
public:
    ParameterScope(std::vector<std::string>& stack, const std::string& parameter) : stack_(stack) {
        stack_.push_back(parameter);
    }
    ~ParameterScope() { stack_.pop_back(); }
    ParameterScope(const ParameterScope&) = delete;
    ParameterScope& operator=(const ParameterScope&) = delete;

private:
    std::vector<std::string>& stack_;
};

}  // namespace

bool TemplateProcessor::getValue(const std::string& name, std::string& value) {
    auto it = values_.find(name);
    if (it == values_.end()) return false;
    value = it->second;
    return true;
}

bool TemplateProcessor::prepareRepeat(const std::string&, int n) { return n == 1; }

void TemplateProcessor::process(std::istream& in, std::ostream& out) {
    for (;;) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) return;
        if (c == '{' && in.peek() == '%') {
            in.get();
            directive(in, out);
        } else {
            out.put(static_cast<char>(c));
        }
    }
}

void TemplateProcessor::directive(std::istream& in, std::ostream& out) {
    const auto eof = std::char_traits<char>::eof();
    std::string name;
    for (;;) {
        const int c = in.get();
        if (c == eof) return;  // unterminated: dropped
        if (c == '%' && in.peek() == '}') {
            in.get();
            break;
        }
        name.push_back(static_cast<char>(c));
        if (name.size() == sizeof kRepeatName - 1 && mbsCompareNoCase(name, kRepeatName) == 0) {
            std::string parameter;
            for (int p = in.get(); p != eof && p != '}'; p = in.get()) parameter.push_back(static_cast<char>(p));
            trimWhitespace(parameter);
            repeatBlock(in, out, parameter);
            return;
        }
    }
    std::string value;
    if (getValue(name, value)) {
        out << value;
    } else {
        out << "{%" << name << "%}";
    }
}

void TemplateProcessor::repeatBlock(std::istream& in, std::ostream& out, const std::string& parameter) {
    const auto eof = std::char_traits<char>::eof();
    std::string body;
    int depth = 0;
    for (;;) {
        if (!body.empty() && body.back() == '%' && endsWithNoCase(body, kBlockStart)) {
            ++depth;
        } else if (!body.empty() && body.back() == '}' && endsWithNoCase(body, kBlockEnd)) {
            if (depth == 0) {
                body.resize(body.size() - (sizeof kBlockEnd - 1));
                break;
            }
            --depth;
        }
        const int c = in.get();
        if (c == eof) break;  // no end tag: the rest of the input is the body
        body.push_back(static_cast<char>(c));
    }

    ParameterScope scope(repeatParameters_, parameter);
    for (int n = 1; prepareRepeat(parameter, n); ++n) {
        std::istringstream bodyStream(body);
        process(bodyStream, out);
    }
}

void TemplateProcessor::setValue(const std::string& name, const std::string& value) {
    auto it = values_.find(name);
    if (it != values_.end()) {
        it->second = value;
    } else {
        values_.emplace(name, value);
    }
}

void TemplateProcessor::run(std::istream& in, std::ostream& out) { process(in, out); }

}  // namespace templateProcessor
