#include "console/win32/standard_streams.h"

#include "platform/win32/text.h"

namespace win32 {

StandardStreams::StandardStreams() : out_(open(STD_OUTPUT_HANDLE)), err_(open(STD_ERROR_HANDLE)) {}

StandardStreams::Stream StandardStreams::open(DWORD which) {
    Stream stream;
    stream.handle = GetStdHandle(which);
    DWORD mode = 0;
    stream.console = stream.handle != nullptr && stream.handle != INVALID_HANDLE_VALUE &&
                     GetFileType(stream.handle) == FILE_TYPE_CHAR &&
                     GetConsoleMode(stream.handle, &mode) != FALSE;
    return stream;
}

// A stream that is closed or fails takes nothing; the exit code still tells the outcome.
void StandardStreams::write(const Stream& stream, std::string_view line) {
    if (stream.handle == nullptr || stream.handle == INVALID_HANDLE_VALUE) {
        return;
    }
    if (stream.console) {
        const std::wstring text = wide(line) + L"\r\n";
        DWORD written = 0;
        WriteConsoleW(stream.handle, text.data(), static_cast<DWORD>(text.size()), &written,
                      nullptr);
        return;
    }
    const std::string bytes = std::string(line) + "\r\n";
    DWORD written = 0;
    WriteFile(stream.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void StandardStreams::out(std::string_view line) {
    write(out_, line);
}

void StandardStreams::err(std::string_view line) {
    write(err_, line);
}

} // namespace win32
