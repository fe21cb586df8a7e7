#pragma once
// Credentials attached to HTTP requests (the proxy credential and a channel's
// own site credential). A credential is stored in an INI section under a key
// prefix: <prefix>Type in plain text, the secret fields enciphered with
// crypto::passwordCipher. Dumps and logs never show the password.
#include <iosfwd>
#include <string>

namespace tools {

class HttpAuth {
public:
    virtual ~HttpAuth() = default;

    // Type name as stored ("BASIC").
    virtual std::string getType() const = 0;
    // Value of the authorisation header line; "" when there is nothing to send.
    virtual std::string getHeaderValue() const = 0;
    // Writes <keyPrefix>Type, then the fields.
    virtual void save(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) const;
    // Writes "[" type ":" fields "]"; secrets are masked.
    virtual void dump(std::ostream& os) const;
    // A new copy owned by the caller.
    virtual HttpAuth* clone() const = 0;
    virtual void loadFields(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) = 0;
    virtual void saveFields(const std::string& iniFile, const std::string& section,
                            const std::string& keyPrefix) const = 0;
    virtual void dumpFields(std::ostream& os) const = 0;
};

// Basic authentication: user name and password.
class HttpBasicAuth : public HttpAuth {
public:
    HttpBasicAuth() = default;
    HttpBasicAuth(const std::string& userName, const std::string& password);
    HttpBasicAuth(const HttpBasicAuth& other) = default;
    HttpBasicAuth& operator=(const HttpBasicAuth& other) = default;

    std::string getType() const override;
    // "BASIC " + Base64 of "user:password" on one line; "" when both are empty.
    std::string getHeaderValue() const override;
    HttpAuth* clone() const override;
    void loadFields(const std::string& iniFile, const std::string& section, const std::string& keyPrefix) override;
    void saveFields(const std::string& iniFile, const std::string& section,
                    const std::string& keyPrefix) const override;
    // User name, ":", and a mask in place of a non-empty password.
    void dumpFields(std::ostream& os) const override;

    const std::string& getUserName() const { return userName_; }
    const std::string& getPassword() const { return password_; }
    void set(const std::string& userName, const std::string& password);

private:
    std::string userName_;
    std::string password_;
};

// Loads the credential stored under the key prefix; nullptr when
// <keyPrefix>Type is missing or empty. The caller owns the result. Throws
// std::runtime_error("Unknown HTTP authentication type: " + type) for a type
// other than "BASIC" (any case).
HttpAuth* createHttpAuth(const std::string& iniFile, const std::string& section, const std::string& keyPrefix);

// nullptr for nullptr, else auth->clone().
HttpAuth* cloneHttpAuth(const HttpAuth* auth);

// Calls auth.dump(os).
std::ostream& operator<<(std::ostream& os, const HttpAuth& auth);

}  // namespace tools
