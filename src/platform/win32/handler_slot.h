// Where a handler that the system calls without context finds the object it works on: a console
// control handler runs on a thread the system starts for the event, at any moment, the program's
// exit included.
#pragma once

#include <type_traits>
#include <windows.h>

namespace win32 {

// The object's owner puts it in and takes it out; taking it out waits until no handler uses it,
// so the object outlives every use. The slot itself is a slim lock and a pointer, which need no
// destruction: as a namespace-scope variable it is still there for a handler that runs while the
// program exits, empty by then.
template <class T> class HandlerSlot {
public:
    void put(T& object) {
        const Exclusive lock(lock_);
        object_ = &object;
    }
    void take_out() {
        const Exclusive lock(lock_);
        object_ = nullptr;
    }
    // Calls use with the object, which stays in until use returns; false, without calling it,
    // when the slot is empty. Handlers use it side by side.
    template <class Use> bool use(Use&& use) {
        const Shared lock(lock_);
        if (!object_) {
            return false;
        }
        use(*object_);
        return true;
    }

private:
    class Exclusive {
    public:
        explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
        ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;

    private:
        SRWLOCK& lock_;
    };
    class Shared {
    public:
        explicit Shared(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockShared(&lock_); }
        ~Shared() { ReleaseSRWLockShared(&lock_); }
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;

    private:
        SRWLOCK& lock_;
    };

    SRWLOCK lock_ = SRWLOCK_INIT;
    T* object_ = nullptr; // guarded by lock_
};

static_assert(std::is_trivially_destructible_v<HandlerSlot<int>>,
              "a handler may use the slot after the program's static objects are gone");

} // namespace win32
