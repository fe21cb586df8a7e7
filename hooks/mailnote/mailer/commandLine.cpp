#include <string>
#include <vector>

#include "hooks/mailnote/mailer/mailer.h"

namespace mailer {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inToken = false;
    bool quoted = false;
    const std::size_t n = commandLine.size();
    for (std::size_t i = 0; i < n;) {
        const char c = commandLine[i];
        if (!quoted && isBlank(c)) {
            if (inToken) args.push_back(current);
            current.clear();
            inToken = false;
            ++i;
            continue;
        }
        inToken = true;
        if (c == '\\') {
            std::size_t slashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
            } else {
                current.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else {
            current += c;
        }
        ++i;
    }
    if (inToken) args.push_back(current);
    return args;
}

std::string quoteArgument(const std::string& value) {
    std::string out = "\"";
    std::size_t slashes = 0;
    for (char c : value) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            out.append(slashes * 2 + 1, '\\');
        } else {
            out.append(slashes, '\\');
        }
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    out += '"';
    return out;
}

}  // namespace mailer
