// COM for the calling thread while the object lives: the shell functions the cleaning uses
// want it.
#pragma once

#include <objbase.h>

namespace win32 {

class ComScope {
public:
    // A window's thread takes a single-threaded apartment, as the shell's windows want. A thread
    // that never dispatches messages (a worker, the console program) must take the multithreaded
    // one: a call into a single-threaded apartment waits for its thread's message loop.
    enum class Apartment { SingleThreaded, MultiThreaded };

    explicit ComScope(Apartment apartment = Apartment::SingleThreaded)
        : initialised_(SUCCEEDED(CoInitializeEx(nullptr, apartment == Apartment::MultiThreaded
                                                             ? COINIT_MULTITHREADED
                                                             : COINIT_APARTMENTTHREADED))) {}
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
