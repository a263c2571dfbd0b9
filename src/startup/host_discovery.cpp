#include "startup/host_discovery.h"

#include "platform/registry_values.h"

#include <cctype>
#include <cstdint>

namespace {

std::string decode_reg_binary(const std::vector<std::uint8_t>& data) {
    // The first two bytes, least significant first, as a signed 16-bit number.
    std::uint16_t bits = 0;
    if (!data.empty()) {
        bits = data[0];
    }
    if (data.size() > 1) {
        bits = static_cast<std::uint16_t>(bits | (data[1] << 8));
    }
    return std::to_string(static_cast<std::int16_t>(bits));
}

bool is_blank(char c) {
    return c == ' ';
}

} // namespace

void MM_ReadHostPaths(SharedState& state, platform::Registry& registry) {
    // The suite is a 32-bit program and writes its key in the 32-bit view; both builds of the
    // wizard must read that same key.
    const auto key =
        registry.open_key(platform::RegistryRoot::LocalMachine, kHostKey,
                          platform::RegistryAccess::QueryValue, platform::RegistryView::Wow64_32);
    state.AppDataPath = MM_GetRegValue(key.get(), kAppDataValue);
    state.AuxDataPath = MM_GetRegValue(key.get(), kAuxDataValue);
    state.ProgramPath = MM_GetRegValue(key.get(), kProgramValue);
}

std::string MM_GetRegValue(const platform::RegistryKey* key, std::string_view name) {
    if (key == nullptr) {
        return {};
    }
    const auto value = key->query_value(name);
    if (!value) {
        return {};
    }
    switch (value->type) {
    case platform::kRegSz:
        return platform::text_of(*value);
    case platform::kRegBinary:
        return decode_reg_binary(value->data);
    default:
        return {};
    }
}

std::string MM_GetWindowsDir(platform::System& system) {
    return system.windows_directory();
}

std::optional<std::string> MM_ReadDirFile(const platform::Platform& os, platform::UserInterface& ui,
                                          const std::string& folder) {
    const std::string path = folder + "\\" + std::string(kDirFileName);
    // Without a Windows directory the path would name the root of the current drive.
    if (folder.empty() || !platform::finds_entry(os.files, path, platform::Lookup::OrdinaryFiles)) {
        ui.message_box("VESK40.DIR not found!", platform::kMbWarning);
        return std::nullopt;
    }
    return platform::claim_failures(
        "MM_ReadDirFile", [&] { return read_first_field(os.files.read_text_file(path)); });
}

std::string read_first_field(std::string_view text) {
    const std::size_t line_end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, line_end);
    std::size_t start = 0;
    while (start < line.size() && is_blank(line[start])) {
        ++start;
    }
    line.remove_prefix(start);
    if (!line.empty() && line.front() == '"') {
        // An unterminated quote runs to the end of the line: no path holds a line break.
        line.remove_prefix(1);
        return std::string(line.substr(0, line.find('"')));
    }
    std::string field(line.substr(0, line.find(',')));
    while (!field.empty() && is_blank(field.back())) {
        field.pop_back();
    }
    return field;
}

bool is_fully_qualified(std::string_view path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\') {
        return true;
    }
    return path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}
