// The two XML-RPC calls to the feed directory: request bodies from templates,
// one POST each, and the replies cut out and parsed with small element tables.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "appPlugins/siteseek/rowTemplateProcessor.h"
#include "appPlugins/siteseek/siteseek.h"
#include "expat/encoding.h"
#include "expat/parser.h"
#include "lib/log/messageGroup.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "lib/text/htmlStripper.h"
#include "lib/text/templateProcessor.h"
#include "tools/codecs.h"

namespace siteseek {

namespace {

CMessageGroup g_findSitesElements("FindSites_XmlElements", "");
CMessageGroup g_findSitesTagStack("FindSites_XmlTagStack", "");
CMessageGroup g_findSitesCharData("FindSites_XmlCharData", "");
CMessageGroup g_getFeedInfoElements("GetFeedInfo_XmlElements", "");
CMessageGroup g_getFeedInfoTagStack("GetFeedInfo_XmlTagStack", "");
CMessageGroup g_getFeedInfoCharData("GetFeedInfo_XmlCharData", "");

std::string makeStartTag(const std::string& tag) { return "<" + tag + ">"; }
std::string makeEndTag(const std::string& tag) { return "</" + tag + ">"; }

// Every <int> of a search reply is one feed identifier, in document order.
class FindSitesXmlParser : public expat::Parser {
public:
    explicit FindSitesXmlParser(std::vector<int>& ids) : expat::Parser(kTable), ids_(ids) {
        setDebugGroups(&g_findSitesElements, &g_findSitesTagStack, &g_findSitesCharData);
    }

private:
    void onIntEnd() { ids_.push_back(std::atoi(getElementText().c_str())); }

    static const expat::ElementHandlerRow kTable[];
    std::vector<int>& ids_;
};

const expat::ElementHandlerRow FindSitesXmlParser::kTable[] = {
    {expat::kEndElement, expat::elementHandler(&FindSitesXmlParser::onIntEnd), "int"},
    {expat::kEndOfTable, nullptr, ""},
};

// One FeedInfo per outermost struct that has both a name and an address;
// members of nested structs count for the outer one.
class GetFeedInfoXmlParser : public expat::Parser {
public:
    GetFeedInfoXmlParser(std::vector<FeedInfo>& feeds, const ReplyTags& tags)
        : expat::Parser(kTable), feeds_(feeds), tags_(tags) {
        setDebugGroups(&g_getFeedInfoElements, &g_getFeedInfoTagStack, &g_getFeedInfoCharData);
    }

private:
    void onStructStart() {
        if (depth_++ == 0) current_ = FeedInfo{};
    }
    void onStructEnd() {
        if (--depth_ == 0 && !current_.url.empty() && !current_.name.empty()) feeds_.push_back(current_);
    }
    void onNameEnd() { member_ = getElementText(); }
    void onStringEnd() {
        const std::string value = getElementText();
        if (compareNoCase(member_, tags_.channelName) == 0) {
            current_.name = value;
        } else if (compareNoCase(member_, tags_.channelUrl) == 0) {
            current_.url = value;
        } else if (compareNoCase(member_, tags_.channelDescription) == 0) {
            htmlStripper::HtmlStripper stripper;
            stripper.strip(value);
            current_.description = stripper.getOutput();
        }
    }

    static const expat::ElementHandlerRow kTable[];
    std::vector<FeedInfo>& feeds_;
    const ReplyTags& tags_;
    int depth_ = 0;
    std::string member_;
    FeedInfo current_;
};

const expat::ElementHandlerRow GetFeedInfoXmlParser::kTable[] = {
    {expat::kStartElement, expat::elementHandler(&GetFeedInfoXmlParser::onStructStart), "struct"},
    {expat::kEndElement, expat::elementHandler(&GetFeedInfoXmlParser::onStructEnd), "struct"},
    {expat::kEndElement, expat::elementHandler(&GetFeedInfoXmlParser::onNameEnd), "name"},
    {expat::kEndElement, expat::elementHandler(&GetFeedInfoXmlParser::onStringEnd), "string"},
    {expat::kEndOfTable, nullptr, ""},
};

// The faultCode and faultString members of a fault response.
class FaultXmlParser : public expat::Parser {
public:
    FaultXmlParser() : expat::Parser(kTable) {}

    bool fault = false;
    std::string faultCode;
    std::string faultString;

private:
    void onFaultStart() { fault = true; }
    void onNameEnd() { member_ = getElementText(); }
    void onValueEnd() {
        if (!fault || !isParentTag("member")) return;
        if (compareNoCase(member_, "faultCode") == 0) faultCode = trimmedCopy(getElementText());
        if (compareNoCase(member_, "faultString") == 0) faultString = getElementText();
    }

    static const expat::ElementHandlerRow kTable[];
    std::string member_;
};

const expat::ElementHandlerRow FaultXmlParser::kTable[] = {
    {expat::kStartElement, expat::elementHandler(&FaultXmlParser::onFaultStart), "fault"},
    {expat::kEndElement, expat::elementHandler(&FaultXmlParser::onNameEnd), "name"},
    {expat::kEndElement, expat::elementHandler(&FaultXmlParser::onValueEnd), "value"},
    {expat::kEndOfTable, nullptr, ""},
};

// FEED-ID of the request's repeat block: one identifier per iteration.
class GetFeedInfoTemplateProcessor : public RowTemplateProcessor {
public:
    explicit GetFeedInfoTemplateProcessor(const std::vector<int>& ids) : RowTemplateProcessor(ids.size()), ids_(ids) {}

    bool getValue(const std::string& name, std::string& value) override {
        if (compareNoCase(name, "FEED-ID") != 0) return TemplateProcessor::getValue(name, value);
        value = row() >= 0 ? std::to_string(ids_[static_cast<std::size_t>(row())]) : std::string();
        return true;
    }

private:
    const std::vector<int>& ids_;
};

std::string expand(templateProcessor::TemplateProcessor& processor, const std::string& text) {
    std::istringstream in(text);
    std::ostringstream out;
    processor.run(in, out);
    return out.str();
}

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string clean = text;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') c = ' ';
    return tools::escapeHtml(clean);
}

std::string replyAsUtf8(const std::string& reply) {
    auto byte = [&reply](std::size_t i) { return static_cast<unsigned char>(reply[i]); };
    if (reply.size() < 2) return reply;
    const char* from;
    std::size_t pos = 0;
    if (byte(0) == 0xFF && byte(1) == 0xFE) {
        from = "UTF-16LE";
        pos = 2;
    } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
        from = "UTF-16BE";
        pos = 2;
    } else if (byte(0) == '<' && byte(1) == 0) {
        from = "UTF-16LE";
    } else if (byte(0) == 0 && byte(1) == '<') {
        from = "UTF-16BE";
    } else {
        return reply;  // an ASCII-compatible reply: its declaration says the rest
    }
    std::string out;
    if (!expat::convertToUtf8(from, reply.data() + pos, reply.size() - pos, out, 2))
        throw std::runtime_error("Can't read the UTF-16 reply.");
    // The declaration named UTF-16; the text is UTF-8 now.
    if (out.compare(0, 5, "<?xml") == 0) {
        const std::size_t close = out.find("?>");
        if (close != std::string::npos) out.replace(0, close + 2, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    }
    return out;
}

std::string cutReply(const std::string& reply, const std::string& tag) {
    const std::string startTag = makeStartTag(tag);
    const std::string endTag = makeEndTag(tag);
    const std::size_t start = reply.find(startTag);
    if (start == std::string::npos) throw std::runtime_error("Can't find the start of the XML response.");
    const std::size_t end = reply.find(endTag, start);
    if (end == std::string::npos) throw std::runtime_error("Can't find the end of the XML response.");

    // The declaration before the element names the reply's encoding; without
    // it the parser would read the element as UTF-8.
    std::string declaration;
    std::size_t pos = 0;
    if (reply.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos < start && isWhitespaceByte(reply[pos])) ++pos;
    if (reply.compare(pos, 5, "<?xml") == 0) {
        const std::size_t close = reply.find("?>", pos);
        if (close != std::string::npos && close < start) declaration = reply.substr(pos, close + 2 - pos) + "\n";
    }
    return declaration + reply.substr(start, end + endTag.size() - start);
}

void checkForFault(const std::string& response) {
    FaultXmlParser parser;
    parser.parse(response.data(), response.size());
    if (!parser.fault) return;
    std::string message = "The feed directory reported an error";
    if (!parser.faultString.empty()) message += ": " + parser.faultString;
    if (!parser.faultCode.empty()) message += " (fault code " + parser.faultCode + ")";
    throw std::runtime_error(message + ".");
}

std::vector<int> parseFindSitesReply(const std::string& response) {
    checkForFault(response);
    std::vector<int> ids;
    FindSitesXmlParser parser(ids);
    parser.parse(response.data(), response.size());
    return ids;
}

std::vector<FeedInfo> parseGetFeedInfoReply(const std::string& response, const ReplyTags& tags) {
    checkForFault(response);
    std::vector<FeedInfo> feeds;
    GetFeedInfoXmlParser parser(feeds, tags);
    parser.parse(response.data(), response.size());
    return feeds;
}

std::vector<int> Siteseek::findSites(const std::string& host, const std::string& path, const std::string& searchText) {
    const std::string body = [&] {
        templateProcessor::TemplateProcessor processor;
        processor.setValue("SEARCH-STRING", escapeXml(searchText));
        return expand(processor,
                      readTemplate("Siteseek-FindSites.template", "Can't open the FindSites XML template file: "));
    }();
    const std::string reply = postHttpRequest(host, path, body);
    return parseFindSitesReply(cutReply(replyAsUtf8(reply), tags_.findSitesResponse));
}

std::vector<FeedInfo> Siteseek::getFeedInfo(const std::string& host, const std::string& path,
                                            const std::vector<int>& ids) {
    GetFeedInfoTemplateProcessor processor(ids);
    const std::string body = expand(
        processor, readTemplate("Siteseek-GetFeedInfo.template", "Can't open the GetFeedInfo XML template file: "));
    const std::string reply = postHttpRequest(host, path, body);
    return parseGetFeedInfoReply(cutReply(replyAsUtf8(reply), tags_.getFeedInfoResponse), tags_);
}

std::string Siteseek::postHttpRequest(const std::string& host, const std::string& path, const std::string& body) {
    if (logGroupHttpRequests().isEnabled()) {
        ORVAN_LOG(logGroupHttpRequests()) << "--- BEGIN HTTP REQUEST ---" << std::endl;
        ORVAN_LOG(logGroupHttpRequests()) << body << std::endl;
        ORVAN_LOG(logGroupHttpRequests()) << "--- END HTTP REQUEST ---" << std::endl;
    }
    if (!session_) throw std::runtime_error("Can't open an HTTP session with " + host + ": the plugin is not loaded.");

    const std::string url = "http://" + host + (path.empty() || path[0] != '/' ? "/" : "") + path;
    std::string reply;
    try {
        tools::postUrl(*session_, url, "text/xml", body, nullptr, reply);
    } catch (const tools::HttpTransferError& e) {
        switch (e.step()) {
            case tools::HttpTransferError::Step::Connect:
                throw std::runtime_error("Can't open an HTTP session with " + host + ": " + e.what());
            case tools::HttpTransferError::Step::Send:
                throw std::runtime_error("Can't send the HTTP request to " + host + ": " + e.what());
            case tools::HttpTransferError::Step::Receive:
                break;
        }
        throw std::runtime_error("Can't read the HTTP response from " + host + ": " + e.what());
    }

    if (logGroupHttpRequests().isEnabled()) {
        ORVAN_LOG(logGroupHttpRequests()) << "--- BEGIN HTTP RESPONSE ---" << std::endl;
        ORVAN_LOG(logGroupHttpRequests()) << reply << std::endl;
        ORVAN_LOG(logGroupHttpRequests()) << "--- END HTTP RESPONSE ---" << std::endl;
    }
    return reply;
}

}  // namespace siteseek
