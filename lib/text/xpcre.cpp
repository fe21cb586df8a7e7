#include "lib/text/xpcre.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

namespace xpcre {

namespace {

// Room for 50 captured ranges, as many as the matcher reports; a match with
// more groups than that is still a match.
constexpr uint32_t kMatchPairs = 50;

// Patterns and subjects are UTF-8. Invalid sequences in a subject never
// match a character but do not make the match fail.
constexpr uint32_t kBaseOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;

// PCRE1's code for "no compiled pattern", kept for callers that print it.
constexpr int kNullPatternError = -2;

std::string errorText(int code) {
    PCRE2_UCHAR buffer[256];
    int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (n < 0) return "error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

// A pattern that is not valid UTF-8 is compiled byte by byte, as it is.
pcre2_code* compile(const std::string& pattern, uint32_t options, int& errorCode) {
    PCRE2_SIZE errorOffset = 0;
    const auto text = reinterpret_cast<PCRE2_SPTR>(pattern.data());
    pcre2_code* code = pcre2_compile(text, pattern.size(), options | kBaseOptions, &errorCode, &errorOffset, nullptr);
    if (!code && errorCode <= PCRE2_ERROR_UTF8_ERR1 && errorCode >= PCRE2_ERROR_UTF8_ERR21)
        code = pcre2_compile(text, pattern.size(), options, &errorCode, &errorOffset, nullptr);
    return code;
}

struct MatchDataDeleter {
    void operator()(pcre2_match_data* md) const { pcre2_match_data_free(md); }
};

}  // namespace

CompiledRe::CompiledRe(const std::string& pattern, unsigned flags) : pattern_(pattern) {
    int errorCode = 0;
    code_ = compile(pattern, (flags & CaseInsensitive) ? PCRE2_CASELESS : 0u, errorCode);
    if (!code_) throw Exception("Invalid RE: " + errorText(errorCode));
}

CompiledRe::CompiledRe(const CompiledRe& other)
    : pattern_(other.pattern_), code_(other.code_ ? pcre2_code_copy(other.code_) : nullptr) {
    if (other.code_ && !code_) throw std::bad_alloc();
}

CompiledRe::CompiledRe(CompiledRe&& other) noexcept : pattern_(std::move(other.pattern_)), code_(other.code_) {
    other.code_ = nullptr;
}

CompiledRe& CompiledRe::operator=(const CompiledRe& other) {
    if (this != &other) {
        CompiledRe copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CompiledRe& CompiledRe::operator=(CompiledRe&& other) noexcept {
    if (this != &other) {
        pcre2_code_free(code_);
        pattern_ = std::move(other.pattern_);
        code_ = other.code_;
        other.code_ = nullptr;
    }
    return *this;
}

CompiledRe::~CompiledRe() { pcre2_code_free(code_); }

bool CompiledRe::match(const std::string& subject, int startOffset) const {
    if (!code_) throw Exception("RE Error " + std::to_string(kNullPatternError));
    if (startOffset < 0) throw Exception("RE Error " + std::to_string(PCRE2_ERROR_BADOFFSET));
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> md(pcre2_match_data_create(kMatchPairs, nullptr));
    if (!md) throw Exception("RE Error " + std::to_string(PCRE2_ERROR_NOMEMORY));
    int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                         static_cast<PCRE2_SIZE>(startOffset), 0, md.get(), nullptr);
    // 0 means the match succeeded but its groups did not all fit the vector.
    if (rc >= 0) return true;
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    throw Exception("RE Error " + std::to_string(rc));
}

void CompiledRe::dump(std::ostream& os) const { os << pattern_; }

std::ostream& operator<<(std::ostream& os, const CompiledRe& re) {
    re.dump(os);
    return os;
}

bool isValidRe(const std::string& pattern) {
    int errorCode = 0;
    pcre2_code* code = compile(pattern, 0, errorCode);
    if (!code) return false;
    pcre2_code_free(code);
    return true;
}

std::string substring(const std::string& subject, std::size_t start, std::size_t end) {
    if (end > subject.size()) end = subject.size();
    if (start >= end) return std::string();
    return subject.substr(start, end - start);
}

}  // namespace xpcre
