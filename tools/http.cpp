#include "tools/http.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "lib/log/downloadGroups.h"
#include "lib/log/messageLog.h"
#include "lib/misc/stringHelpers.h"
#include "tools/files.h"
#include "tools/httpAuth.h"

namespace tools {

namespace {

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The calling thread's download time bound (see DownloadTimeBound).
struct ThreadTimeBound {
    int depth = 0;
    bool started = false;
    std::chrono::steady_clock::time_point deadline;
};

thread_local ThreadTimeBound t_timeBound;

// Milliseconds left for a transfer that starts now; starts the bound's clock
// at its first transfer. Throws when nothing is left.
long transferTimeLeftMs(const InternetSession& session, const std::string& shown) {
    const long whole = session.getTransferTimeoutMs();
    if (t_timeBound.depth == 0) return whole;
    const auto now = std::chrono::steady_clock::now();
    if (!t_timeBound.started) {
        t_timeBound.started = true;
        t_timeBound.deadline = now + std::chrono::milliseconds(whole);
        return whole;
    }
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(t_timeBound.deadline - now).count();
    if (left <= 0) throw std::runtime_error("Timed out reading the URL: " + shown);
    return static_cast<long>(std::min<long long>(left, whole));
}

// A header value holds a character below 0x20 other than a tab: it could
// split a line of a file or of a later request.
bool hasControlCharacter(const std::string& value) {
    return std::any_of(value.begin(), value.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

// Owns a libcurl URL handle.
struct UrlHandle {
    CURLU* h = curl_url();
    ~UrlHandle() { curl_url_cleanup(h); }
    UrlHandle() = default;
    UrlHandle(const UrlHandle&) = delete;
    UrlHandle& operator=(const UrlHandle&) = delete;

    std::string get(CURLUPart part, unsigned flags = 0) const {
        char* value = nullptr;
        if (curl_url_get(h, part, &value, flags) != CURLUE_OK || !value) return {};
        std::string out(value);
        curl_free(value);
        return out;
    }
};

// Owns a libcurl easy handle and its header lists.
struct Request {
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;
    curl_slist* proxyHeaders = nullptr;
    ~Request() {
        curl_slist_free_all(headers);
        curl_slist_free_all(proxyHeaders);
        if (easy) curl_easy_cleanup(easy);
    }
    Request() = default;
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
};

// What one transfer collects through the callbacks.
struct Transfer {
    InternetSession* session = nullptr;
    CURL* easy = nullptr;
    std::vector<std::pair<std::string, std::string>> headers;  // of the last response
    std::string statusText;
    std::string received;
    bool statusChecked = false;
    bool discardBody = false;
    bool tooLarge = false;
    bool cancelled = false;

    const std::string* header(const char* name) const {
        for (const auto& h : headers)
            if (compareNoCase(h.first, name) == 0) return &h.second;
        return nullptr;
    }
};

// Blanks and tabs around a header's name or value are not part of it.
std::string trimBlanks(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    return text.substr(first, last - first);
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::string line(data, size * count);
    // Only the line's own end is taken off: a CR inside it stays, for the
    // check of the values that are used.
    if (!line.empty() && line.back() == '\n') line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response begins (after an interim or a proxy's answer).
        t->headers.clear();
        t->statusText.clear();
        auto sp1 = line.find(' ');
        auto sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
        if (sp2 != std::string::npos) t->statusText = trimmedCopy(line.substr(sp2 + 1));
    } else if (auto colon = line.find(':'); colon != std::string::npos && colon > 0) {
        t->headers.emplace_back(trimBlanks(line.substr(0, colon)), trimBlanks(line.substr(colon + 1)));
    }
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (!t->statusChecked) {
        long code = 0;
        curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &code);
        t->discardBody = isHttpRedirectStatus(static_cast<int>(code));
        t->statusChecked = true;
    }
    if (t->received.size() + n > t->session->getMaxBodySize()) {
        t->tooLarge = true;
        return 0;  // ends the transfer
    }
    if (!t->discardBody) t->received.append(data, n);
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->session->isCancelled()) {
        t->cancelled = true;
        return 1;
    }
    return 0;
}

void logHeaderLine(const std::string& line) {
    ORVAN_LOG(logGroupHttpHeaders()) << "Setting HTTP header: " << maskAuthorizationHeaders(line) << std::endl;
}

void readLocalFile(const InternetSession& session, const std::string& path, int* status, std::string* statusText,
                   std::string& body) {
    // Only a regular file is a resource: a directory reads as nothing, and a
    // pipe or a device may block or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw std::runtime_error("Can't open file: " + path);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Can't open file: " + path);
    const std::size_t limit = session.getMaxBodySize();
    const auto tooLarge = [&] {
        return std::runtime_error("The download is larger than the limit of " + std::to_string(limit) +
                                  " bytes: " + path);
    };
    body.clear();
    auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > limit) throw tooLarge();
    if (!ec) body.resize(static_cast<std::size_t>(size));
    in.read(body.data(), static_cast<std::streamsize>(body.size()));
    body.resize(static_cast<std::size_t>(in.gcount()));
    // A file that grew since its size was taken is read to its end.
    char chunk[0x10000];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        if (body.size() + static_cast<std::size_t>(in.gcount()) > limit) throw tooLarge();
        body.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    ORVAN_LOG(logGroupInternetDownloads())
        << "Read the local file OK: #bytes=" << body.size() << " ; faking an HTTP 200 OK status." << std::endl;
    if (status) *status = 200;
    if (statusText) *statusText = "OK";
}

}  // namespace

std::string maskUrlCredentials(const std::string& url) { return maskUrlPasswords(url); }

namespace {

// The hosts reached without a proxy: loopback always, and those of the
// system's no_proxy list, which the option would otherwise replace.
std::string noProxyList() {
    std::string list = "localhost,127.0.0.1,::1";
    const char* system = std::getenv("no_proxy");
    if (!system || !*system) system = std::getenv("NO_PROXY");
    if (system && *system) {
        if (std::string(system) == "*") return "*";
        list += ",";
        list += system;
    }
    return list;
}

// A stored validator goes back to the server only when it is one that an
// answer could have given: not empty, not over the length limit, one line.
bool isSendableValidator(const std::string& value) {
    return !value.empty() && value.size() <= kMaxValidatorLength && !hasControlCharacter(value);
}

// The options every request of a session shares: HTTP/1.1 over http or
// https, the session's agent, proxy, time-outs, limits and certificates, the
// request's header lists, and the callbacks that fill the transfer.
void setTransferOptions(InternetSession& session, Request& req, Transfer& t, char* errorText) {
    CURL* e = req.easy;
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_USERAGENT, session.getUserAgent().c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, req.headers);
    curl_easy_setopt(e, CURLOPT_PROXYHEADER, req.proxyHeaders);
    curl_easy_setopt(e, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, session.getConnectTimeoutMs());
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, session.getTransferTimeoutMs());
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(session.getMaxBodySize()));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!session.getCaBundle().empty()) curl_easy_setopt(e, CURLOPT_CAINFO, session.getCaBundle().c_str());
    if (!session.getProxy().empty()) curl_easy_setopt(e, CURLOPT_PROXY, session.getProxy().c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, noProxyList().c_str());
    curl_easy_setopt(e, CURLOPT_SHARE, static_cast<CURLSH*>(session.shareHandle()));
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
}

// Redirects followed for a caller that asks for no Location value.
constexpr long kMaxFollowedRedirects = 10;

// One GET; throws on transport failures. Returns the status code.
int performGet(InternetSession& session, const std::string& url, const std::string& shown, const std::string& host,
               const std::string* lastModified, const std::string* etag, bool forceDownload, const HttpAuth* siteAuth,
               const HttpAuth* proxyAuth, bool followRedirects, Transfer& t) {
    Request req;
    if (!req.easy) throw std::runtime_error("Can't open request: host=" + host + " ; urlPath=" + shown);
    CURL* e = req.easy;
    t.session = &session;
    t.easy = e;

    // Conditional headers.
    if (forceDownload) {
        ORVAN_LOG(logGroupHttpHeaders()) << "ForceDownload is requested - skipping HTTP headers." << std::endl;
        req.headers = curl_slist_append(req.headers, "Pragma: no-cache");
        req.headers = curl_slist_append(req.headers, "Cache-Control: no-cache");
    } else {
        if (lastModified && isSendableValidator(*lastModified)) {
            std::string line = "If-Modified-Since: " + *lastModified;
            logHeaderLine(line);
            req.headers = curl_slist_append(req.headers, line.c_str());
        } else {
            ORVAN_LOG(logGroupHttpHeaders()) << "No Last-Modified HTTP header was provided." << std::endl;
        }
        if (etag && isSendableValidator(*etag)) {
            std::string line = "If-None-Match: " + *etag;
            logHeaderLine(line);
            req.headers = curl_slist_append(req.headers, line.c_str());
        } else {
            ORVAN_LOG(logGroupHttpHeaders()) << "No ETag HTTP header was provided." << std::endl;
        }
    }
    if (siteAuth) {
        std::string value = siteAuth->getHeaderValue();
        if (!value.empty()) {
            std::string line = "Authorization: " + value;
            logHeaderLine(line);
            req.headers = curl_slist_append(req.headers, line.c_str());
        }
    }
    if (proxyAuth) {
        std::string value = proxyAuth->getHeaderValue();
        if (!value.empty()) {
            // Only proxies receive it (with CURLHEADER_SEPARATE), never the
            // origin server.
            std::string line = "Proxy-Authorization: " + value;
            logHeaderLine(line);
            req.proxyHeaders = curl_slist_append(req.proxyHeaders, line.c_str());
        }
    }

    char errorText[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    if (followRedirects) {
        // Only to web addresses; the channel's credential does not go to
        // another host, scheme or port along the way.
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxFollowedRedirects);
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(e, CURLOPT_UNRESTRICTED_AUTH, 0L);
    } else {
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    }
    setTransferOptions(session, req, t, errorText);
    // A request within a time bound gets what is left of it.
    const long timeLeftMs = transferTimeLeftMs(session, shown);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, std::min(session.getConnectTimeoutMs(), timeLeftMs));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeLeftMs);

    if (session.isCancelled()) throw std::runtime_error("The download was stopped: " + shown);
    CURLcode rc = curl_easy_perform(e);
    long code = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
    if (rc == CURLE_OK) return static_cast<int>(code);

    const std::string detail = errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(rc));
    if (t.cancelled || rc == CURLE_ABORTED_BY_CALLBACK) throw std::runtime_error("The download was stopped: " + shown);
    // A proxy that refuses to open the tunnel of an https request answers
    // its CONNECT with 407: reported as that status, like a proxy's answer
    // to a plain request, so that the caller can repeat the request with the
    // proxy credential.
    long connectCode = 0;
    curl_easy_getinfo(e, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode == 407) return 407;
    if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        throw std::runtime_error("The download is larger than the limit of " +
                                 std::to_string(session.getMaxBodySize()) + " bytes: " + shown);
    if (rc == CURLE_OPERATION_TIMEDOUT) {
        // The request was never sent when the time ran out before the
        // connection was ready (a reused connection has no connect time of
        // its own, but is ready at once).
        curl_off_t pretransfer = 0;
        curl_easy_getinfo(e, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
        if (code == 0 && pretransfer <= 0) throw std::runtime_error("Timed out connecting to host: " + host);
        throw std::runtime_error("Timed out reading the URL: " + shown);
    }
    // libcurl gives up on a response header beyond its size limit with an
    // out-of-memory code; a server saying too much is not a lack of memory.
    if (rc == CURLE_OUT_OF_MEMORY && t.received.empty() && !t.statusChecked)
        throw std::runtime_error("The server sent an HTTP response header larger than the limit of " +
                                 std::to_string(CURL_MAX_HTTP_HEADER / 1024) + " KiB: " + shown);
    if (rc == CURLE_WEIRD_SERVER_REPLY && detail.find("Nul byte in header") != std::string::npos)
        throw std::runtime_error("The server sent a control character in an HTTP header: " + shown);
    if (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CACERT_BADFILE || rc == CURLE_SSL_ISSUER_ERROR)
        throw std::runtime_error("Can't verify the secure connection to host: " + host + " (" + detail + ")");
    if (rc == CURLE_SSL_CONNECT_ERROR)
        throw std::runtime_error("Can't make a secure connection to host: " + host + " (" + detail + ")");
    if (rc == CURLE_COULDNT_RESOLVE_HOST || rc == CURLE_COULDNT_RESOLVE_PROXY || rc == CURLE_COULDNT_CONNECT)
        throw std::runtime_error("Can't send the HTTP request: " + shown + " (" + detail + ")");
    if (code > 0) throw std::runtime_error("Can't read the URL: " + shown + " (" + detail + ")");
    throw std::runtime_error("Can't send the HTTP request: " + shown + " (" + detail + ")");
}

// The validator to keep from an answer: none when it is over the length
// limit (it would not be sent back either).
std::string storableValidator(const std::string& value, const char* name) {
    if (value.size() <= kMaxValidatorLength) return value;
    ORVAN_LOG(logGroupHttpHeaders()) << "The " << name << " HTTP tag is longer than " << kMaxValidatorLength
                                     << " bytes; it is not kept." << std::endl;
    return std::string();
}

}  // namespace

DownloadTimeBound::DownloadTimeBound() {
    if (t_timeBound.depth++ == 0) t_timeBound.started = false;
}

DownloadTimeBound::~DownloadTimeBound() {
    if (--t_timeBound.depth == 0) t_timeBound.started = false;
}

// ---------------------------------------------------------------------------
// InternetSession

struct InternetSession::Share {
    CURLSH* handle = nullptr;
    std::mutex locks[CURL_LOCK_DATA_LAST];

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
        static_cast<Share*>(user)->locks[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user) { static_cast<Share*>(user)->locks[data].unlock(); }
};

InternetSession::InternetSession(const std::string& userAgent) : userAgent_(userAgent), share_(new Share) {
    initCurlOnce();
    if (const char* ca = std::getenv("ORVAN_CA_BUNDLE"); ca && *ca) caBundle_ = ca;
    share_->handle = curl_share_init();
    if (share_->handle) {
        curl_share_setopt(share_->handle, CURLSHOPT_LOCKFUNC, &Share::lock);
        curl_share_setopt(share_->handle, CURLSHOPT_UNLOCKFUNC, &Share::unlock);
        curl_share_setopt(share_->handle, CURLSHOPT_USERDATA, share_.get());
        curl_share_setopt(share_->handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share_->handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share_->handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    }
}

InternetSession::~InternetSession() {
    if (share_->handle) curl_share_cleanup(share_->handle);
}

void* InternetSession::shareHandle() const { return share_->handle; }

// ---------------------------------------------------------------------------

std::string resolveUrl(const std::string& base, const std::string& reference) {
    // An absolute reference ("scheme:...") stands as it is.
    const auto colon = reference.find(':');
    if (colon != std::string::npos && colon > 0 && std::isalpha(static_cast<unsigned char>(reference[0])) &&
        std::all_of(reference.begin(), reference.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        }))
        return reference;
    initCurlOnce();
    UrlHandle h;
    if (!h.h) return reference;
    if (curl_url_set(h.h, CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) return reference;
    if (curl_url_set(h.h, CURLUPART_URL, reference.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) return reference;
    std::string resolved = h.get(CURLUPART_URL);
    return resolved.empty() ? reference : resolved;
}

bool isHttpRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void readUrl(InternetSession& session, const std::string& url, std::string* lastModified, std::string* etag,
             bool forceDownload, const HttpAuth* siteAuth, const HttpAuth* proxyAuth, int* status,
             std::string* statusText, std::string* location, std::string& body) {
    const std::string shown = maskUrlCredentials(url);
    ORVAN_LOG(logGroupInternetDownloads()) << "Reading URL: " << shown << std::endl;

    UrlHandle parsed;
    if (!parsed.h) throw std::runtime_error("Can't parse URL: " + shown);
    const bool cracked = curl_url_set(parsed.h, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    const std::string scheme = cracked ? toLowerCopy(parsed.get(CURLUPART_SCHEME)) : std::string();

    // Local files: a "file:" URL, or a bare path of an existing file.
    if (scheme == "file") {
        readLocalFile(session, parsed.get(CURLUPART_PATH, CURLU_URLDECODE), status, statusText, body);
        return;
    }
    if (scheme != "http" && scheme != "https") {
        if (isFile(url)) {
            readLocalFile(session, url, status, statusText, body);
            return;
        }
        throw std::runtime_error("Can't parse URL: " + shown);
    }
    const std::string host = parsed.get(CURLUPART_HOST);
    if (host.empty()) throw std::runtime_error("Can't parse URL: " + shown);

    // The request repeated with a credential shares the first one's time.
    DownloadTimeBound timeBound;
    Transfer t;
    // A caller that wants no Location value gets the resource at the end of
    // any redirects; the others see each redirect and decide.
    const bool follow = location == nullptr;
    int code = performGet(session, url, shown, host, lastModified, etag, forceDownload, nullptr, proxyAuth, follow, t);
    if (code == 401 && siteAuth && !siteAuth->getHeaderValue().empty()) {
        ORVAN_LOG(logGroupInternetDownloads())
            << "HTTP 401: repeating the request with the channel's credential." << std::endl;
        t = Transfer{};
        code = performGet(session, url, shown, host, lastModified, etag, forceDownload, siteAuth, proxyAuth, follow, t);
    }
    if (code <= 0) throw std::runtime_error("Can't read the HTTP response: " + shown);
    // A value that is stored or acted on must be one line of text: a CR in a
    // Location would become the channel's address, in a validator a line
    // of the channel file or of the next request.
    for (const char* name : {"Location", "ETag", "Last-Modified", "Content-Type"}) {
        const std::string* value = t.header(name);
        if (value && hasControlCharacter(*value))
            throw std::runtime_error("The server sent a control character in the HTTP header " + std::string(name) +
                                     ": " + shown);
    }
    if (status) *status = code;
    if (statusText) *statusText = t.statusText;
    ORVAN_LOG(logGroupInternetDownloads()) << "HTTP response: " << code << " " << t.statusText << std::endl;

    if (isHttpRedirectStatus(code)) {
        if (const std::string* value = t.header("Location")) {
            ORVAN_LOG(logGroupHttpHeaders())
                << "Found HTTP tag: Location='" << maskUrlCredentials(*value) << "'" << std::endl;
            if (location) *location = *value;
        } else {
            ORVAN_LOG(logGroupHttpHeaders()) << "No Location HTTP tag was returned." << std::endl;
        }
        return;
    }

    if (code == 200) {
        if (lastModified) {
            if (const std::string* value = t.header("Last-Modified")) {
                ORVAN_LOG(logGroupHttpHeaders()) << "Found HTTP tag: LastModified='" << *value << "'" << std::endl;
                *lastModified = storableValidator(*value, "LastModified");
            } else {
                ORVAN_LOG(logGroupHttpHeaders()) << "No LastModified HTTP tag was returned." << std::endl;
            }
        }
        if (etag) {
            if (const std::string* value = t.header("ETag")) {
                ORVAN_LOG(logGroupHttpHeaders()) << "Found HTTP tag: ETag='" << *value << "'" << std::endl;
                *etag = storableValidator(*value, "ETag");
            } else {
                ORVAN_LOG(logGroupHttpHeaders()) << "No ETag HTTP tag was returned." << std::endl;
            }
        }
    }

    body.swap(t.received);
    ORVAN_LOG(logGroupInternetDownloads()) << "Received file OK: #bytes=" << body.size() << std::endl;
}

void readUrl(InternetSession& session, const std::string& url, std::string& body) {
    readUrl(session, url, nullptr, nullptr, false, nullptr, nullptr, nullptr, nullptr, nullptr, body);
}

int postUrl(InternetSession& session, const std::string& url, const std::string& contentType, const std::string& body,
            std::string* statusText, std::string& reply) {
    using Step = HttpTransferError::Step;
    const std::string shown = maskUrlCredentials(url);
    ORVAN_LOG(logGroupInternetDownloads()) << "Posting to URL: " << shown << std::endl;
    initCurlOnce();
    Request req;
    if (!req.easy) throw HttpTransferError(Step::Connect, "Can't open a request: " + shown);
    CURL* e = req.easy;
    Transfer t;
    t.session = &session;
    t.easy = e;
    const std::string contentHeader = "Content-Type: " + contentType;
    req.headers = curl_slist_append(req.headers, contentHeader.c_str());
    // The body goes at once, without waiting for a "100 Continue".
    req.headers = curl_slist_append(req.headers, "Expect:");

    char errorText[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_POST, 1L);
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    setTransferOptions(session, req, t, errorText);

    if (session.isCancelled()) throw HttpTransferError(Step::Connect, "The transfer was stopped: " + shown);
    const CURLcode rc = curl_easy_perform(e);
    long code = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
    if (rc == CURLE_OK) {
        ORVAN_LOG(logGroupInternetDownloads()) << "HTTP response: " << code << " " << t.statusText << std::endl;
        if (statusText) *statusText = t.statusText;
        reply.swap(t.received);
        return static_cast<int>(code);
    }

    const std::string detail = errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(rc));
    if (t.cancelled || rc == CURLE_ABORTED_BY_CALLBACK)
        throw HttpTransferError(Step::Receive, "The transfer was stopped: " + shown);
    if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        throw HttpTransferError(Step::Receive, "The answer is larger than the limit of " +
                                                   std::to_string(session.getMaxBodySize()) + " bytes.");
    double connectTime = 0;
    curl_easy_getinfo(e, CURLINFO_CONNECT_TIME, &connectTime);
    switch (rc) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
            throw HttpTransferError(Step::Connect, detail);
        case CURLE_OPERATION_TIMEDOUT:
            throw HttpTransferError(code == 0 && connectTime <= 0 ? Step::Connect : Step::Receive, detail);
        case CURLE_SEND_ERROR:
            throw HttpTransferError(Step::Send, detail);
        default:
            throw HttpTransferError(Step::Receive, detail);
    }
}

bool isRasConnected(bool& connected) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool up = false;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        if (a->ifa_name && std::strncmp(a->ifa_name, "ppp", 3) == 0 && (a->ifa_flags & IFF_UP) &&
            (a->ifa_flags & IFF_POINTOPOINT))
            up = true;
    }
    freeifaddrs(list);
    connected = up;
    return true;
}

}  // namespace tools
