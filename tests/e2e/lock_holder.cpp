// Holds the cleaning lock, as a cleaning in another program would, until it is ended: says
// "held" on standard output once it has it, then waits for as many seconds as its first
// argument. Given a SID as its second, it holds that profile's lock instead.
#include "platform/win32/system.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    win32::System system;
    const auto lock = argc > 2 ? system.lock_profile(argv[2]) : system.lock_cleaning();
    if (!lock) {
        std::fputs("the lock is held already\n", stderr);
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 60) * 1000);
    return 0;
}
