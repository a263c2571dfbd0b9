// The reader of the backups' registry files: any bytes give keys or a reason, never a crash;
// whatever it takes, written again in our own form, reads back the same; and a file it took,
// cut inside its last key, is never taken.
#include "backup/reg_file.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool same(const RegFile& a, const RegFile& b) {
    if (a.keys.size() != b.keys.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.keys.size(); ++k) {
        const RegKeyBlock& x = a.keys[k];
        const RegKeyBlock& y = b.keys[k];
        if (x.path != y.path || x.values.size() != y.values.size()) {
            return false;
        }
        for (std::size_t v = 0; v < x.values.size(); ++v) {
            if (x.values[v].first != y.values[v].first ||
                x.values[v].second.type != y.values[v].second.type ||
                x.values[v].second.data != y.values[v].second.data) {
                return false;
            }
        }
    }
    return true;
}

std::string written(const RegFile& file) {
    std::u16string text = reg_file_header();
    for (const RegKeyBlock& key : file.keys) {
        text += reg_key_block(key) + u"\r\n";
    }
    return utf16le_bytes(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto parsed = parse_reg_file(input);
    if (const auto* error = std::get_if<RegFileError>(&parsed)) {
        FUZZ_CHECK(!error->what.empty());
        return 0;
    }
    const RegFile& file = std::get<RegFile>(parsed);
    FUZZ_CHECK(!file.keys.empty());
    const std::string again = written(file);
    const auto reread = parse_reg_file(again);
    FUZZ_CHECK(std::holds_alternative<RegFile>(reread));
    FUZZ_CHECK(same(std::get<RegFile>(reread), file));
    // Cut in the middle of the last key's line: never a file.
    const std::size_t last_key = again.rfind(utf16le_bytes(u"\r\n["));
    FUZZ_CHECK(last_key != std::string::npos);
    const std::string cut = again.substr(0, last_key + 8);
    FUZZ_CHECK(std::holds_alternative<RegFileError>(parse_reg_file(cut)));
    return 0;
}
