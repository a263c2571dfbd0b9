// The reader of a backup's record of its contents: any bytes give a record or a reason, never a
// crash; a record it took, written again line by line, reads back the same; and a record cut
// inside its last line is never taken.
#include "backup/backup_contents.h"
#include "fuzz_check.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto read = read_contents(input);
    if (const auto* error = std::get_if<std::string>(&read)) {
        FUZZ_CHECK(!error->empty());
        return 0;
    }
    const RecordedContents& record = std::get<RecordedContents>(read);
    std::string again;
    for (const auto& [name, item] : record) {
        again += contents_line(platform::utf8_from_utf32(name), item.size, item.sha256);
    }
    const auto reread = read_contents(again);
    FUZZ_CHECK(std::holds_alternative<RecordedContents>(reread));
    const RecordedContents& second = std::get<RecordedContents>(reread);
    FUZZ_CHECK(second.size() == record.size());
    for (const auto& [name, item] : record) {
        const auto found = second.find(name);
        FUZZ_CHECK(found != second.end() && found->second.size == item.size &&
                   found->second.sha256 == item.sha256);
    }
    if (!input.empty()) {
        FUZZ_CHECK(std::holds_alternative<std::string>(read_contents(input.substr(0, size - 1))));
    }
    return 0;
}
