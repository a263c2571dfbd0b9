// The reader of plans: any bytes give a plan or a reason, never a crash. The input also serves
// as a plan's body under an end that vouches for it, so that the lines themselves are read; a
// plan it takes, written again, reads back the same.
#include "console/json.h"
#include "console/plan_file.h"
#include "fuzz_check.h"
#include "platform/sha256.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool same(const Plan& a, const Plan& b) {
    const auto same_item = [](const PlanItem& x, const PlanItem& y) {
        return x.kind == y.kind && x.path == y.path && x.identity == y.identity;
    };
    return a.header.computer == b.header.computer && a.header.user == b.header.user &&
           a.header.host == b.header.host && a.header.every_profile == b.header.every_profile &&
           a.header.options == b.header.options &&
           std::ranges::equal(a.items(), b.items(), same_item);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto direct = read_plan_file(input);
    if (const auto* reason = std::get_if<std::string>(&direct)) {
        FUZZ_CHECK(!reason->empty());
    }
    std::string body(input);
    if (!body.ends_with("\r\n")) {
        body += "\r\n";
    }
    const auto lines = static_cast<std::uint64_t>(std::ranges::count(body, '\n'));
    const std::string vouched = body +
                                JsonObject()
                                    .add("type", "end")
                                    .add("items", lines - 1)
                                    .add("sha256", sha256_hex(body))
                                    .text() +
                                "\r\n";
    const auto read = read_plan_file(vouched);
    if (const auto* reason = std::get_if<std::string>(&read)) {
        FUZZ_CHECK(!reason->empty());
        return 0;
    }
    const Plan& plan = std::get<PlanFile>(read).plan;
    const auto again = read_plan_file(plan_file_text(plan).text);
    FUZZ_CHECK(std::holds_alternative<PlanFile>(again));
    FUZZ_CHECK(same(std::get<PlanFile>(again).plan, plan));
    return 0;
}
