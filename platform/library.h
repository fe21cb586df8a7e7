#pragma once
// Shared libraries loaded at run time (dlopen/dlsym/dlclose), with the
// loader's own error text. Library names that end in ".dll" (as definition
// files name them) are looked up with ".so" in their place.
#include <string>

namespace platform::library {

// "hook.dll" -> "hook.so" (the ending compared without regard to case);
// other names are returned unchanged.
std::string nativeLibraryName(const std::string& name);

// Owns one loaded library; the library is released with the object.
class Library {
public:
    Library() = default;
    // Loads at once; check loaded() and error().
    explicit Library(const std::string& path);
    ~Library();
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads the library (a name without "/" is searched by the loader's rules;
    // a ".dll" ending becomes ".so"). Releases a library held before.
    // False on failure; error() then holds the loader's text.
    bool open(const std::string& path);
    // Releases the library (nothing when none is loaded).
    void close();

    bool loaded() const { return handle_ != nullptr; }
    void* handle() const { return handle_; }

    // Address of an exported symbol, or nullptr (error() says why).
    void* symbol(const std::string& name);
    // The same, as a function pointer type: lib.function<int (*)(int)>("f").
    template <class F>
    F function(const std::string& name) {
        return reinterpret_cast<F>(symbol(name));
    }

    // Text of the last failure of this object ("" when none).
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace platform::library
