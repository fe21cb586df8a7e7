#include "tools/httpAuth.h"

#include <cctype>
#include <memory>
#include <ostream>
#include <stdexcept>

#include "lib/misc/stringHelpers.h"
#include "lib/text/blowfish.h"
#include "tools/codecs.h"
#include "tools/ini.h"

namespace tools {

namespace {

const char kBasicType[] = "BASIC";

bool equalsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

void HttpAuth::save(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) const {
    writeIniString(iniFile, section, keyPrefix + "Type", getType());
    saveFields(iniFile, section, keyPrefix);
}

void HttpAuth::dump(std::ostream& os) const {
    os << "[" << getType() << ":";
    dumpFields(os);
    os << "]";
}

HttpBasicAuth::HttpBasicAuth(const std::string& userName, const std::string& password)
    : userName_(userName), password_(password) {}

std::string HttpBasicAuth::getType() const { return kBasicType; }

std::string HttpBasicAuth::getHeaderValue() const {
    if (userName_.empty() && password_.empty()) return std::string();
    // The encoder breaks lines after 76 characters; a header value is one line.
    std::string encoded;
    for (char c : base64Encode(userName_ + ":" + password_)) {
        if (c != '\r' && c != '\n') encoded += c;
    }
    return std::string(kBasicType) + " " + encoded;
}

HttpAuth* HttpBasicAuth::clone() const { return new HttpBasicAuth(*this); }

void HttpBasicAuth::loadFields(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) {
    userName_ = getIniEncryptedString(crypto::passwordCipher, iniFile, section, keyPrefix + "UserName", "", true);
    password_ = getIniEncryptedString(crypto::passwordCipher, iniFile, section, keyPrefix + "Password", "", true);
}

void HttpBasicAuth::saveFields(const std::string& iniFile, const std::string& section,
                               const std::string& keyPrefix) const {
    writeIniEncryptedString(crypto::passwordCipher, iniFile, section, keyPrefix + "UserName", userName_);
    writeIniEncryptedString(crypto::passwordCipher, iniFile, section, keyPrefix + "Password", password_);
}

void HttpBasicAuth::dumpFields(std::ostream& os) const { os << userName_ << ":" << maskSecret(password_); }

void HttpBasicAuth::set(const std::string& userName, const std::string& password) {
    userName_ = userName;
    password_ = password;
}

HttpAuth* createHttpAuth(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) {
    const std::string type = getIniString(iniFile, section, keyPrefix + "Type", "", true);
    if (type.empty()) return nullptr;
    if (equalsNoCase(type, kBasicType)) {
        auto auth = std::make_unique<HttpBasicAuth>();
        auth->loadFields(iniFile, section, keyPrefix);
        return auth.release();
    }
    throw std::runtime_error("Unknown HTTP authentication type: " + type);
}

HttpAuth* cloneHttpAuth(const HttpAuth* auth) { return auth ? auth->clone() : nullptr; }

std::ostream& operator<<(std::ostream& os, const HttpAuth& auth) {
    auth.dump(os);
    return os;
}

}  // namespace tools
