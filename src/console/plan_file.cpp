#include "console/plan_file.h"

#include "console/json.h"
#include "platform/sha256.h"

#include <vector>

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::uint64_t kVersion = 1;

std::string header_line(const PlanHeader& header) {
    const std::vector<std::string_view> options(header.options.begin(), header.options.end());
    return JsonObject()
        .add("type", "plan")
        .add("version", kVersion)
        .add("computer", header.computer)
        .add("user", header.user)
        .add("host", header.host)
        .add("scope", header.every_profile ? "every profile" : "own profile")
        .add_list("options", options)
        .text();
}

template <typename T> const T* member(const JsonFields& fields, std::string_view name) {
    const auto found = fields.find(name);
    return found == fields.end() ? nullptr : std::get_if<T>(&found->second);
}

bool is_type(const JsonFields& fields, std::string_view type) {
    const auto* value = member<std::string>(fields, "type");
    return value && *value == type;
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find(kLineEnd);
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + kLineEnd.size());
    }
    return lines;
}

std::variant<PlanHeader, std::string> header_of(std::string_view line) {
    const auto fields = parse_json_object(line);
    if (!fields || !is_type(*fields, "plan")) {
        return std::string("its first line is not a plan's header");
    }
    const auto* version = member<std::uint64_t>(*fields, "version");
    const auto* computer = member<std::string>(*fields, "computer");
    const auto* user = member<std::string>(*fields, "user");
    const auto* host = member<std::string>(*fields, "host");
    const auto* scope = member<std::string>(*fields, "scope");
    const auto* options = member<std::vector<std::string>>(*fields, "options");
    if (!version || *version != kVersion) {
        return std::string("it is of another version");
    }
    if (!computer || !user || !host || !scope || !options ||
        (*scope != "own profile" && *scope != "every profile")) {
        return std::string("its header is not whole");
    }
    return PlanHeader{*computer, *user, *host, *scope == "every profile", *options};
}

} // namespace

PlanText plan_file_text(const Plan& plan) {
    std::string text = header_line(plan.header) + std::string(kLineEnd);
    for (const PlanItem& item : plan.items()) {
        text += JsonObject()
                    .add("type", "item")
                    .add("kind", item.kind)
                    .add("path", item.path)
                    .add("identity", item.identity)
                    .text();
        text += kLineEnd;
    }
    std::string digest = sha256_hex(text);
    text += JsonObject()
                .add("type", "end")
                .add("items", std::uint64_t{plan.items().size()})
                .add("sha256", digest)
                .text() +
            std::string(kLineEnd);
    return {std::move(text), std::move(digest)};
}

std::variant<PlanFile, std::string> read_plan_file(std::string_view bytes) {
    if (!bytes.ends_with(kLineEnd)) {
        return std::string("it does not end as a plan ends");
    }
    const std::size_t last_start = bytes.substr(0, bytes.size() - kLineEnd.size()).rfind(kLineEnd);
    if (last_start == std::string_view::npos) {
        return std::string("it holds no plan");
    }
    const std::string_view body = bytes.substr(0, last_start + kLineEnd.size());
    const auto end =
        parse_json_object(bytes.substr(body.size(), bytes.size() - body.size() - kLineEnd.size()));
    const auto* digest = end ? member<std::string>(*end, "sha256") : nullptr;
    const auto* count = end ? member<std::uint64_t>(*end, "items") : nullptr;
    if (!end || !is_type(*end, "end") || !digest || !count) {
        return std::string("it does not end as a plan ends");
    }
    if (sha256_hex(body) != *digest) {
        return std::string("it was changed after it was written");
    }
    const std::vector<std::string_view> lines = lines_of(body);
    auto header = header_of(lines.front());
    if (auto* wrong = std::get_if<std::string>(&header)) {
        return *wrong;
    }
    PlanFile file{Plan(), *digest};
    file.plan.header = std::move(std::get<PlanHeader>(header));
    for (std::size_t at = 1; at < lines.size(); ++at) {
        const auto fields = parse_json_object(lines[at]);
        const auto* kind = fields ? member<std::string>(*fields, "kind") : nullptr;
        const auto* path = fields ? member<std::string>(*fields, "path") : nullptr;
        const auto* identity = fields ? member<std::string>(*fields, "identity") : nullptr;
        if (!fields || !is_type(*fields, "item") || !kind || !path || !identity) {
            return "line " + std::to_string(at + 1) + " is not an item";
        }
        file.plan.add(*kind, *path, *identity);
    }
    if (file.plan.items().size() != *count) {
        return std::string("its end counts other items than it holds");
    }
    return file;
}
