// COM for the calling thread while the object lives: the shell functions the cleaning uses
// want it.
#pragma once

#include <objbase.h>

namespace win32 {

class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

} // namespace win32
