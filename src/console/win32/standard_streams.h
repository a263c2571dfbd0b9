// The console program's standard output and standard error: in a console window as UTF-16, so
// that every name shows as it is; redirected to a file or a pipe as UTF-8, so that none is lost.
// Standard output to a file or a pipe is written in batches; it is all written before anything
// goes to standard error, when the program ends, and when a console event (Ctrl+C, the
// console's close, log-off, shutdown) may end it.
#pragma once

#include "console/console_streams.h"
#include "console/output_batch.h"

#include <mutex>
#include <windows.h>

namespace win32 {

class StandardStreams final : public ConsoleStreams {
public:
    StandardStreams();
    ~StandardStreams() override;
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

    void out(std::string_view line) override;
    void err(std::string_view line) override;

private:
    struct Stream {
        HANDLE handle = nullptr;
        bool console = false;
    };
    static Stream open(DWORD which);
    static void write(const Stream& stream, std::string_view line);
    static void write_bytes(const Stream& stream, std::string_view bytes);
    static BOOL WINAPI on_console_event(DWORD event);
    // With mutex_ held.
    void write_batch();

    Stream out_;
    Stream err_;
    // Standard output goes to a file or a pipe and is held in batches: a console event's handler
    // writes out what is held.
    const bool handles_console_events_;
    // Console events come on a thread of their own.
    std::mutex mutex_;
    OutputBatch batch_;
    bool batching_ = true;
};

} // namespace win32
