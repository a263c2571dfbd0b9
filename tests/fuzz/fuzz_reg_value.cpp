// Decoding a registry value of any type and any bytes, through the in-memory registry. The first
// four bytes of the input are the type, least significant first; the rest is the data.
#include "fake_platform.h"
#include "fuzz_check.h"
#include "platform/text.h"
#include "startup/host_discovery.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr std::string_view kKey = "Software\\Fuzz";

std::uint32_t type_of(const std::uint8_t* data) {
    return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
           (static_cast<std::uint32_t>(data[2]) << 16) |
           (static_cast<std::uint32_t>(data[3]) << 24);
}

void check_binary(const std::string& text, const std::vector<std::uint8_t>& bytes) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    FUZZ_CHECK(error == std::errc() && end == text.data() + text.size());
    const unsigned low = bytes.empty() ? 0u : bytes[0];
    const unsigned high = bytes.size() > 1 ? bytes[1] : 0u;
    const int expected = static_cast<int>(low | (high << 8)) - (high >= 0x80 ? 0x10000 : 0);
    FUZZ_CHECK(number == expected);
}

void check_string(const std::string& text, const std::vector<std::uint8_t>& bytes) {
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    // Well-formed UTF-8 that survives the trip through UTF-16 unchanged.
    const std::u16string units = platform::utf16_from_utf8(text);
    FUZZ_CHECK(platform::utf8_from_utf16(units) == text);
    FUZZ_CHECK(units.size() <= bytes.size() / 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    static fake::FakePlatform world;
    const std::uint32_t type = type_of(data);
    std::vector<std::uint8_t> bytes(data + 4, data + size);
    world.set_value(platform::RegistryRoot::CurrentUser, kKey, "Value",
                    fake::reg_bytes(type, bytes));
    const auto key =
        world.open_key(platform::RegistryRoot::CurrentUser, kKey,
                       platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
    FUZZ_CHECK(key != nullptr);
    const std::string text = MM_GetRegValue(key.get(), "Value");

    switch (type) {
    case platform::kRegSz:
        check_string(text, bytes);
        break;
    case platform::kRegBinary:
        check_binary(text, bytes);
        break;
    default:
        FUZZ_CHECK(text.empty());
        break;
    }
    return 0;
}
