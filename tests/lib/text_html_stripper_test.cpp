#include "lib/text/htmlStripper.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using htmlStripper::HtmlStripper;

struct Case {
    const char* input;
    const char* expected;
};

std::string stripped(const std::string& input, bool collapse = false) {
    HtmlStripper s;
    s.setCollapseBlanks(collapse);
    s.strip(input);
    return s.getOutput();
}

TEST(HtmlStripper, NoAllowedTagsTable) {
    const Case cases[] = {
        {"<p>Hello <b>world</b></p>", "Hello world"},
        {"plain text", "plain text"},
        {"", ""},
        {"<SCRIPT>var a = 1;</SCRIPT>Text", "Text"},
        {"<script>var a = 1;</script>Text", "Text"},
        {"<script type='text/javascript'>x()</ script>Text", "Text"},
        {"<script>x()</  SCRIPT  >Text", "Text"},
        {"a<!-- note -->b", "ab"},
        {"a<!-- <b>x</b> -->b", "ab"},
        {"a<!-- never closed <b>x</b> b", "a"},
        {"a<!--", "a"},
        {"a<!-", "a"},  // not a comment; an incomplete tag
        {"<a href=\"u\" title=\"x>y\">link</a>", "link"},
        {"<a title='say \"hi\" > there'>link</a>", "link"},
        {"text<b", "text"},
        {"text<b title=\"unclosed>more", "text"},
        {"a < b and c > d", "a  d"},
        {"<  b  >x< / b >", "x"},
        // A '<' in script code reads up to the next '>', here the one of the
        // closing tag, so the script stays open and the rest is dropped.
        {"<script>if (a < b) go();</script>After", ""},
        {"<script>x</script><!-- c --><br/>tail", "tail"},
        {"caf\xC3\xA9 <i>\xC3\xA9t\xC3\xA9</i>", "caf\xC3\xA9 \xC3\xA9t\xC3\xA9"},
        {"1 &lt; 2 &amp; 3", "1 &lt; 2 &amp; 3"},  // entities are not decoded
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, stripped(c.input)) << "input: " << c.input;
}

TEST(HtmlStripper, CollapseBlanks) {
    const Case collapsed[] = {
        {"a   b", "a b"},    {"a \tb", "a b"},
        {"a\t\t b", "a\tb"}, {"a\n   b", "a\nb"},
        {"a \n b", "a \nb"},  // only blanks and tabs are dropped
        {"   a", " a"},      {"<p>a</p>  <p>b</p>", "a b"},
    };
    for (const auto& c : collapsed) EXPECT_EQ(c.expected, stripped(c.input, true)) << "input: " << c.input;
    EXPECT_EQ("a   b", stripped("a   b", false));
    EXPECT_EQ("a \tb", stripped("a \tb", false));
}

TEST(HtmlStripper, ReuseStartsAfresh) {
    HtmlStripper s;
    s.strip("<script>open");
    EXPECT_EQ("", s.getOutput());
    s.strip("second");
    EXPECT_EQ("second", s.getOutput());
}

TEST(HtmlStripper, AllowedTagsAreKeptAndRecorded) {
    HtmlStripper s;
    s.addAllowedTag("b");
    s.strip("<B class=x>bold</b> and <i>not</i>");
    EXPECT_EQ("<B class=x>bold</b> and not", s.getOutput());
    ASSERT_EQ(1u, s.getTagRecords().size());
    const auto& rec = s.getTagRecords()[0];
    EXPECT_EQ("B", rec.name);
    EXPECT_EQ(0u, rec.startOffset);
    ASSERT_EQ(1u, rec.params.size());
    EXPECT_EQ("class", rec.params[0].first);
    EXPECT_EQ("x", rec.params[0].second);
    EXPECT_EQ("bold", rec.data);

    std::ostringstream os;
    rec.dump(os, "> ");
    EXPECT_EQ("> TAG: B\n> - Start offset: 0\n> - Tag params:   class=x\n> - Tag data:     bold\n", os.str());
}

TEST(HtmlStripper, ParametersAreNormalisedAndSplit) {
    HtmlStripper s;
    s.addAllowedTag("A");
    s.strip("<  a   href=\"u v\" title='t'  nofollow  >x</a>");
    EXPECT_EQ("<a href=\"u v\" title='t'  nofollow>x</a>", s.getOutput());
    ASSERT_EQ(1u, s.getTagRecords().size());
    const auto& params = s.getTagRecords()[0].params;
    ASSERT_EQ(3u, params.size());
    EXPECT_EQ((std::pair<std::string, std::string>("href", "u v")), params[0]);
    EXPECT_EQ((std::pair<std::string, std::string>("title", "t")), params[1]);
    EXPECT_EQ((std::pair<std::string, std::string>("nofollow", "")), params[2]);
}

TEST(HtmlStripper, TableRulesCloseRecords) {
    HtmlStripper s;
    for (const char* t : {"table", "tr", "td", "img", "b"}) s.addAllowedTag(t);
    s.strip("<table><tr><td>one<b>!</b><tr><td>two</table>after<img src=i>");
    const auto& recs = s.getTagRecords();
    ASSERT_EQ(7u, recs.size());
    auto dataOf = [&](std::size_t i) { return recs[i].data; };
    EXPECT_EQ("table", recs[0].name);
    EXPECT_EQ("<tr><td>one<b>!</b><tr><td>two", dataOf(0));  // closed by </table>
    EXPECT_EQ("<td>one<b>!</b>", dataOf(1));                 // first row, closed by the second <tr>
    EXPECT_EQ("one<b>!</b>", dataOf(2));                     // its cell too
    EXPECT_EQ("!", dataOf(3));                               // b, by its own end tag
    EXPECT_EQ("<td>two", dataOf(4));
    EXPECT_EQ("two", dataOf(5));
    EXPECT_EQ("img", recs[6].name);
    EXPECT_TRUE(recs[6].closed);  // never closed: runs to the end of the output
    EXPECT_EQ("", dataOf(6));
}

}  // namespace
