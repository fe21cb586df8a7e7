#pragma once
// Regular expressions over PCRE2 (8-bit code units, UTF-8 mode).
#include <cstddef>
#include <exception>
#include <ostream>
#include <string>

struct pcre2_real_code_8;

namespace xpcre {

// Flags of CompiledRe.
enum : unsigned {
    CaseInsensitive = 1u << 0,  // match without regard to case
};

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// One compiled expression. Matching only reads the compiled pattern, so one
// object may be matched from several threads at once.
class CompiledRe {
public:
    CompiledRe() = default;
    // Throws Exception("Invalid RE: <reason>") when the pattern does not compile.
    CompiledRe(const std::string& pattern, unsigned flags);
    CompiledRe(const CompiledRe& other);
    CompiledRe(CompiledRe&& other) noexcept;
    CompiledRe& operator=(const CompiledRe& other);
    CompiledRe& operator=(CompiledRe&& other) noexcept;
    virtual ~CompiledRe();

    // Whether the expression matches the subject at or after the byte offset
    // startOffset. Throws Exception("RE Error <code>") when matching fails
    // for another reason than a mismatch (bad offset, nothing compiled, ...).
    bool match(const std::string& subject, int startOffset = 0) const;

    const std::string& pattern() const { return pattern_; }
    bool isCompiled() const { return code_ != nullptr; }

    // Writes the pattern text.
    virtual void dump(std::ostream& os) const;

private:
    std::string pattern_;
    pcre2_real_code_8* code_ = nullptr;
};

std::ostream& operator<<(std::ostream& os, const CompiledRe& re);

// Whether the pattern compiles.
bool isValidRe(const std::string& pattern);

// The bytes of subject from start up to (not including) end; offsets outside
// the subject are clamped to it and an inverted range gives "".
std::string substring(const std::string& subject, std::size_t start, std::size_t end);

}  // namespace xpcre
