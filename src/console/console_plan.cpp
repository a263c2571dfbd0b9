#include "console/console_plan.h"

#include "console/plan_file.h"
#include "platform/text.h"
#include "startup/host_discovery.h"

#include <algorithm>

namespace {

struct PlacedFile {
    std::string folder;
    std::string name;
};

PlacedFile placed(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return {path.substr(0, slash), path.substr(slash + 1)};
}

std::string lower_hex(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) {
        return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

// The options the header names, or the first name that is no option.
std::variant<CleaningOptions, std::string> options_of(const PlanHeader& header) {
    CleaningOptions options;
    for (const std::string& name : header.options) {
        const auto row = std::ranges::find(kOptionTable, name, &OptionRow::switch_name);
        if (row == kOptionTable.end()) {
            return "it names an option this program does not know, /" + name;
        }
        options.*row->chosen = true;
    }
    if (!any_chosen(options)) {
        return std::string("it names no option");
    }
    return options;
}

std::optional<std::string> header_refusal(const PlanHeader& header, platform::System& system) {
    if (!platform::iequals(header.computer, system.computer_name())) {
        return "it was made on another computer, " + header.computer;
    }
    if (!platform::iequals(header.user, system.user_name())) {
        return "it was made for another user, " + header.user;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> plan_file_refusal(const std::string& path, platform::FileSystem& files) {
    if (!is_fully_qualified(path) || path.ends_with('\\')) {
        return "\"" + path + "\" is not a file's full path, such as C:\\Plans\\vesk.plan";
    }
    const PlacedFile file = placed(path);
    const platform::OpenedFolder folder =
        platform::open_checked(files, file.folder, platform::Use::Read);
    if (!folder.folder) {
        return "the folder " + file.folder + " cannot be opened (" + folder.reason + ")";
    }
    if (folder.folder->open_file(file.name, platform::Use::Read).status !=
        platform::OpenStatus::Missing) {
        return path + " already exists: a plan is written into a new file";
    }
    return std::nullopt;
}

PlanHeader plan_header(const RunRequest& run, const SharedState& state, platform::System& system) {
    PlanHeader header{system.computer_name(),
                      system.user_name(),
                      state.VeskPath,
                      run.scope == RunScope::EveryProfile,
                      {}};
    for (const OptionRow& row : kOptionTable) {
        if (run.options.*row.chosen) {
            header.options.emplace_back(row.switch_name);
        }
    }
    return header;
}

WrittenPlan write_plan(const Plan& plan, const std::string& path, platform::FileSystem& files) {
    const PlanText text = plan_file_text(plan);
    const PlacedFile file = placed(path);
    try {
        platform::OpenedFolder folder =
            platform::open_checked(files, file.folder, platform::Use::Read);
        if (!folder.folder) {
            return {{}, "the folder " + file.folder + " cannot be opened (" + folder.reason + ")"};
        }
        platform::BinaryCreateResult created = folder.folder->create_binary_file(file.name);
        if (!created.file) {
            return {{}, path + " cannot be made (" + created.reason + ")"};
        }
        created.file->write(text.text);
    } catch (const platform::Failure& failure) {
        return {{}, path + " cannot be written (" + failure.what() + ")"};
    }
    return {text.sha256, {}};
}

std::variant<ConsoleRequest, std::string> request_from_plan(const ConsoleRequest& request,
                                                            const platform::Platform& os) {
    std::string bytes;
    try {
        bytes = os.files.read_binary_file(request.plan_in);
    } catch (const platform::Failure& failure) {
        return request.plan_in + " cannot be read (" + failure.what() + ")";
    }
    auto read = read_plan_file(bytes);
    if (auto* wrong = std::get_if<std::string>(&read)) {
        return *wrong;
    }
    PlanFile& file = std::get<PlanFile>(read);
    if (!request.expect.empty() && lower_hex(request.expect) != file.sha256) {
        return "its SHA-256 is " + file.sha256 + ", not the one expected";
    }
    if (auto wrong = header_refusal(file.plan.header, os.system)) {
        return *wrong;
    }
    auto options = options_of(file.plan.header);
    if (auto* wrong = std::get_if<std::string>(&options)) {
        return *wrong;
    }
    ConsoleRequest applied = request;
    applied.run.options = applied.run.named = std::get<CleaningOptions>(options);
    applied.run.scope =
        file.plan.header.every_profile ? RunScope::EveryProfile : RunScope::OwnProfile;
    applied.run.plan = std::make_shared<Plan>(std::move(file.plan));
    return applied;
}

std::optional<std::string> host_refusal(const Plan& plan, const SharedState& state) {
    if (!platform::iequals(plan.header.host, state.VeskPath)) {
        return "it was made for another host folder, " + plan.header.host;
    }
    return std::nullopt;
}
