// The console program's standard output and standard error: in a console window as UTF-16, so
// that every name shows as it is; redirected to a file or a pipe as UTF-8, so that none is lost.
#pragma once

#include "console/console_streams.h"

#include <windows.h>

namespace win32 {

class StandardStreams final : public ConsoleStreams {
public:
    StandardStreams();
    void out(std::string_view line) override;
    void err(std::string_view line) override;

private:
    struct Stream {
        HANDLE handle = nullptr;
        bool console = false;
    };
    static Stream open(DWORD which);
    static void write(const Stream& stream, std::string_view line);

    Stream out_;
    Stream err_;
};

} // namespace win32
