#include "platform/library.h"

#include <dlfcn.h>

#include <cctype>

namespace platform::library {

namespace {
// dlerror() keeps one message per thread; take it right after the failing call.
std::string takeLoaderError(const char* fallback) {
    const char* text = ::dlerror();
    return text ? std::string(text) : std::string(fallback);
}
}  // namespace

std::string nativeLibraryName(const std::string& name) {
    static const char dll[] = ".dll";
    if (name.size() >= 4) {
        bool match = true;
        for (std::size_t i = 0; i < 4; ++i) {
            if (std::tolower(static_cast<unsigned char>(name[name.size() - 4 + i])) != dll[i]) match = false;
        }
        if (match) return name.substr(0, name.size() - 4) + ".so";
    }
    return name;
}

Library::Library(const std::string& path) { open(path); }

Library::~Library() { close(); }

Library::Library(Library&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_)) {
    other.handle_ = nullptr;
}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        error_ = std::move(other.error_);
        other.handle_ = nullptr;
    }
    return *this;
}

bool Library::open(const std::string& path) {
    close();
    error_.clear();
    if (path.empty()) {
        error_ = "No library name given";
        return false;
    }
    ::dlerror();
    handle_ = ::dlopen(nativeLibraryName(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = takeLoaderError("The library could not be loaded");
        return false;
    }
    return true;
}

void Library::close() {
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* Library::symbol(const std::string& name) {
    if (!handle_) {
        error_ = "No library is loaded";
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(handle_, name.c_str());
    if (!address) {
        error_ = takeLoaderError("Symbol not found");
        return nullptr;
    }
    error_.clear();
    return address;
}

}  // namespace platform::library
