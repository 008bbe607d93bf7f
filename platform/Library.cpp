#include "platform/Library.h"

#include <dlfcn.h>

#include "platform/HostNames.h"

namespace platform {

LoadedLibrary::~LoadedLibrary() {
    Unload();
}

bool LoadedLibrary::Load(const QString& hostPath) {
    Unload();
    // RTLD_LOCAL: two libraries may use the same names inside without meeting each other.
    handle_ = ::dlopen(EncodeHostName(hostPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* error = ::dlerror();
        errorText_ = error ? QString::fromUtf8(error) : QString();
        return false;
    }
    errorText_.clear();
    return true;
}

void LoadedLibrary::Unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
}

void* LoadedLibrary::Symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace platform
