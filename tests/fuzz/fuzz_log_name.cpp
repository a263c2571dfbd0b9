// The log-name parser: any name gives 0 or a number whose own log name it is, and every number's
// log name, in any letter case, gives that number back. The first two input bytes choose the
// number and the rest the letter case of its name; the whole input is also parsed as a name.
#include "fuzz_check.h"
#include "log/cleaning_log.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string log_name(int number) {
    return "Cleaning" + std::to_string(number) + ".log";
}

// The name with the letters whose bit is set in the mask turned to the other case.
std::string recased(std::string name, std::string_view mask) {
    for (std::size_t i = 0; i < name.size() && i / 8 < mask.size(); ++i) {
        const bool flip = (static_cast<unsigned char>(mask[i / 8]) >> (i % 8)) & 1u;
        char& c = name[i];
        if (flip && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (flip && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const int number = log_number_of(input);
    FUZZ_CHECK(number >= 0 && number <= kLastLogNumber);
    if (number > 0) {
        FUZZ_CHECK(platform::iequals(input, log_name(number)));
    }

    if (size >= 2) {
        const int chosen = (data[0] | (data[1] << 8)) % kLastLogNumber + 1;
        FUZZ_CHECK(log_number_of(recased(log_name(chosen), input.substr(2))) == chosen);
    }
    return 0;
}
