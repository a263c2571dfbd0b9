#include "console/win32/standard_streams.h"

#include "platform/win32/handler_slot.h"
#include "platform/win32/text.h"

namespace win32 {
namespace {

// The streams whose batch a console event writes out: a handler is given no context, and the
// program has one pair of standard streams.
constinit HandlerSlot<StandardStreams> g_batched_streams;

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

StandardStreams::StandardStreams()
    : out_(open(STD_OUTPUT_HANDLE)), err_(open(STD_ERROR_HANDLE)),
      handles_console_events_(usable(out_.handle) && !out_.console) {
    if (handles_console_events_) {
        g_batched_streams.put(*this);
        SetConsoleCtrlHandler(on_console_event, TRUE);
    }
}

StandardStreams::~StandardStreams() {
    if (handles_console_events_) {
        SetConsoleCtrlHandler(on_console_event, FALSE);
        // Waits for a handler that is writing the batch out.
        g_batched_streams.take_out();
    }
    const std::lock_guard lock(mutex_);
    write_batch();
}

StandardStreams::Stream StandardStreams::open(DWORD which) {
    Stream stream;
    stream.handle = GetStdHandle(which);
    DWORD mode = 0;
    stream.console = usable(stream.handle) && GetFileType(stream.handle) == FILE_TYPE_CHAR &&
                     GetConsoleMode(stream.handle, &mode) != FALSE;
    return stream;
}

// A stream that is closed or fails takes nothing; the exit code still tells the outcome.
void StandardStreams::write(const Stream& stream, std::string_view line) {
    if (!usable(stream.handle)) {
        return;
    }
    if (stream.console) {
        const std::wstring text = wide(line) + L"\r\n";
        DWORD written = 0;
        WriteConsoleW(stream.handle, text.data(), static_cast<DWORD>(text.size()), &written,
                      nullptr);
        return;
    }
    write_bytes(stream, std::string(line) + "\r\n");
}

void StandardStreams::write_bytes(const Stream& stream, std::string_view bytes) {
    DWORD written = 0;
    WriteFile(stream.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Whatever the event, the batch is written before any handler may end the program, and every
// line after it goes out at once, for the program may end at any moment from then on; the next
// handler, or the system's, decides what the event does.
BOOL WINAPI StandardStreams::on_console_event(DWORD /*event*/) {
    g_batched_streams.use([](StandardStreams& streams) {
        const std::lock_guard lock(streams.mutex_);
        streams.write_batch();
        streams.batching_ = false;
    });
    return FALSE;
}

void StandardStreams::write_batch() {
    if (!batch_.empty()) {
        write_bytes(out_, batch_.take());
    }
}

void StandardStreams::out(std::string_view line) {
    if (out_.console || !usable(out_.handle)) {
        write(out_, line);
        return;
    }
    const std::lock_guard lock(mutex_);
    if (!batching_) {
        write(out_, line);
    } else if (batch_.add(line, OutputBatch::Clock::now())) {
        write_batch();
    }
}

void StandardStreams::err(std::string_view line) {
    // Both streams may go to one file: what came first on standard output stays first.
    const std::lock_guard lock(mutex_);
    write_batch();
    write(err_, line);
}

} // namespace win32
