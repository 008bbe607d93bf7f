#pragma once
// Shared libraries loaded at run time. The library stays loaded while its object lives, or
// until Unload.

#include <QString>

namespace platform {

class LoadedLibrary {
public:
    LoadedLibrary() = default;
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    // Loads a library from a host path ("/opt/q/libzipadd.so"); a bare file name
    // ("libzipadd.so") is found by the system's library search. Any library loaded before
    // is unloaded first. False when it cannot be loaded; errorText() says why.
    bool Load(const QString& hostPath);
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of an exported function or variable; nullptr when the library does not
    // export the name or is not loaded.
    void* Symbol(const char* name) const;

    QString errorText() const { return errorText_; }

private:
    void* handle_ = nullptr;
    QString errorText_;
};

}  // namespace platform
