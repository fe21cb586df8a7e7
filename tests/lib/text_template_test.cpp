#include "lib/text/templateProcessor.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using templateProcessor::TemplateProcessor;

std::string expand(TemplateProcessor& tp, const std::string& text) {
    std::istringstream in(text);
    std::ostringstream out;
    tp.run(in, out);
    return out.str();
}

// Lists named by the block parameter; ITEM and the variable named like the
// list hold the current entry, and PATH joins the parameters of all running blocks.
class ListProcessor : public TemplateProcessor {
public:
    std::map<std::string, std::vector<std::string>> lists;
    std::vector<std::string> calls;

    bool prepareRepeat(const std::string& parameter, int n) override {
        calls.push_back(parameter + "#" + std::to_string(n));
        auto it = lists.find(parameter);
        if (it == lists.end() || n > static_cast<int>(it->second.size())) return false;
        setValue("ITEM", it->second[static_cast<std::size_t>(n - 1)]);
        setValue(parameter, it->second[static_cast<std::size_t>(n - 1)]);
        return true;
    }
    bool getValue(const std::string& name, std::string& value) override {
        if (name == "PATH") {
            value.clear();
            for (const auto& p : repeatParameters()) value += "/" + p;
            return true;
        }
        return TemplateProcessor::getValue(name, value);
    }
};

struct Case {
    const char* text;
    const char* expected;
};

TEST(TemplateVariables, Table) {
    TemplateProcessor tp;
    tp.setValue("NAME", "World");
    tp.setValue("Empty", "");
    tp.setValue("two words", "2w");
    tp.setValue("REPEAT", "rep");
    const Case cases[] = {
        {"Hello {%NAME%}!", "Hello World!"},
        {"{%name%}/{%NaMe%}", "World/World"},
        {"[{%NOPE%}]", "[{%NOPE%}]"},
        {"[{%%}]", "[{%%}]"},
        {"[{%Empty%}]", "[]"},
        {"{%two words%}|{% NAME %}", "2w|{% NAME %}"},  // names are taken as written
        {"{%REPEAT%}", "rep"},                          // a variable, not a block
        {"{%/REPEAT%}x", "{%/REPEAT%}x"},               // a stray end tag is echoed
        {"a{b}c%d%}e{{%NAME%}", "a{b}c%d%}e{World"},
        {"50%{%NAME%}%", "50%World%"},
        {"{%NA%ME%}", "{%NA%ME%}"},    // '%' not followed by '}' belongs to the name
        {"before {%NAME", "before "},  // cut off at the end: dropped
        {"before {%", "before "},
        {"end{", "end{"},
        {"\xC3\xA9t\xC3\xA9 {%NAME%}", "\xC3\xA9t\xC3\xA9 World"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, expand(tp, c.text)) << "template: " << c.text;
}

TEST(TemplateVariables, NamesCompareWithoutCaseAndReplace) {
    TemplateProcessor tp;
    tp.setValue("NAME", "first");
    tp.setValue("Name", "second");
    std::string value;
    ASSERT_TRUE(tp.getValue("name", value));
    EXPECT_EQ("second", value);
    EXPECT_FALSE(tp.getValue("NAMES", value));
}

TEST(TemplateBlocks, Table) {
    ListProcessor tp;
    tp.lists["items"] = {"a", "b", "c"};
    tp.lists["x"] = {"1", "2"};
    tp.lists["none"] = {};
    tp.lists["   "] = {"blank"};
    const Case cases[] = {
        {"{%REPEAT%items}<li>{%ITEM%}</li>{%/REPEAT%}", "<li>a</li><li>b</li><li>c</li>"},
        {"{%REPEAT%  items  }{%ITEM%}{%/REPEAT%}", "abc"},
        {"{%repeat%x}{%ITEM%}{%/Repeat%}.", "12."},
        {"{%REPEAT%   }{%ITEM%}{%/REPEAT%}", "blank"},  // a parameter of blanks only is kept
        {"<{%REPEAT%none}never{%/REPEAT%}>", "<>"},
        {"{%REPEAT%unknown}never{%/REPEAT%}", ""},
        // No end tag: the rest of the template is the body.
        {"{%REPEAT%x}[{%ITEM%}]", "[1][2]"},
        // Nested: the inner block runs completely in every outer iteration,
        // with the inner parameter on top of the stack.
        {"{%REPEAT%x}({%ITEM%}:{%REPEAT%items}{%ITEM%}{%PATH%},{%/REPEAT%}){%/REPEAT%}",
         "(1:a/x/items,b/x/items,c/x/items,)(2:a/x/items,b/x/items,c/x/items,)"},
        // Values set by the last iteration stay after the block.
        {"{%REPEAT%x}{%/REPEAT%}{%ITEM%}{%PATH%}", "2"},
        // An end tag inside a cut-off reference of the body still ends the block.
        {"{%REPEAT%x}<{%ITEM{%/REPEAT%}>", "<<>"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, expand(tp, c.text)) << "template: " << c.text;
}

TEST(TemplateBlocks, NestingDepthAndIterationCalls) {
    ListProcessor tp;
    tp.lists["x"] = {"1", "2"};
    tp.lists["y"] = {"p", "q"};
    tp.lists["z"] = {"-"};
    const std::string text = "{%REPEAT%x}{%REPEAT%y}{%REPEAT%z}{%z%}{%/REPEAT%}{%y%}{%/REPEAT%}{%x%};{%/REPEAT%}end";
    EXPECT_EQ("-p-q1;-p-q2;end", expand(tp, text));
    const std::vector<std::string> expectedCalls = {"x#1", "y#1", "z#1", "z#2", "y#2", "z#1", "z#2", "y#3", "x#2",
                                                    "y#1", "z#1", "z#2", "y#2", "z#1", "z#2", "y#3", "x#3"};
    EXPECT_EQ(expectedCalls, tp.calls);
}

TEST(TemplateBlocks, BaseRunsEachBlockOnce) {
    TemplateProcessor tp;
    tp.setValue("V", "v");
    EXPECT_EQ("[v][(v)]", expand(tp, "{%REPEAT%a}[{%V%}]{%REPEAT%b}[({%V%})]{%/REPEAT%}{%/REPEAT%}"));
}

// A stream that fails part way is read like one that ended there.
TEST(TemplateStreams, FailedInputEndsProcessing) {
    TemplateProcessor tp;
    tp.setValue("A", "x");
    std::istringstream in("{%A%} and more");
    in.setstate(std::ios::failbit);
    std::ostringstream out;
    tp.run(in, out);
    EXPECT_EQ("", out.str());
}

class ThrowingProcessor : public TemplateProcessor {
public:
    bool prepareRepeat(const std::string&, int n) override {
        if (n == 2) throw std::runtime_error("stop");
        return true;
    }
    bool getValue(const std::string& name, std::string& value) override {
        value = std::to_string(repeatParameters().size());
        return name == "DEPTH";
    }
};

TEST(TemplateStreams, SubclassExceptionsReachTheCallerAndUnwindBlocks) {
    ThrowingProcessor tp;
    std::istringstream in("{%REPEAT%p}{%DEPTH%}{%/REPEAT%}");
    std::ostringstream out;
    EXPECT_THROW(tp.run(in, out), std::runtime_error);
    EXPECT_EQ("1", out.str());
    EXPECT_EQ("0", expand(tp, "{%DEPTH%}"));
}

}  // namespace
