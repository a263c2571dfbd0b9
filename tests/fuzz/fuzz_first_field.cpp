// The pointer file's first field, from any text a file could hold.
#include "fuzz_check.h"
#include "startup/host_discovery.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string field = read_first_field(text);

    // The field lies on the first line, as one piece of it.
    const std::string_view first_line = text.substr(0, text.find_first_of("\r\n"));
    FUZZ_CHECK(field.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(first_line.find(field) != std::string_view::npos);

    const std::size_t start = first_line.find_first_not_of(' ');
    if (start != std::string_view::npos && first_line[start] == '"') {
        FUZZ_CHECK(field.find('"') == std::string::npos);
        FUZZ_CHECK(first_line.substr(start + 1).starts_with(field));
    } else {
        FUZZ_CHECK(field.find(',') == std::string::npos);
        FUZZ_CHECK(field.empty() || (field.front() != ' ' && field.back() != ' '));
    }
    return 0;
}
