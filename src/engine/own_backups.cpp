#include "engine/own_backups.h"

#include "backup/backup_action.h"
#include "backup/backup_contents.h"
#include "backup/backup_reader.h"
#include "engine/marker.h"
#include "platform/registry_values.h"

#include <algorithm>
#include <charconv>

namespace {

std::optional<int> number_of(std::string_view text) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number <= 0) {
        return std::nullopt;
    }
    return number;
}

std::vector<int> numbers_in(const std::optional<platform::RegistryValue>& value) {
    std::vector<int> numbers;
    if (!value) {
        return numbers;
    }
    for (const std::string& text :
         platform::texts_of(*value).value_or(std::vector<std::string>{})) {
        if (const auto number = number_of(text)) {
            numbers.push_back(*number);
        }
    }
    return numbers;
}

// The backup's folder, when it is there at all.
std::unique_ptr<platform::Folder> backup_folder(const Context& context, int number) {
    const std::string path =
        backups_folder(context.state) + "\\Cleaning" + std::to_string(number) + ".backup";
    return platform::open_checked(context.os.files, path, platform::Use::Read).folder;
}

std::optional<std::uint64_t> record_written(platform::Folder& backup) {
    const platform::OpenedFile record = backup.open_file(kContentsName, platform::Use::Read);
    if (!record.file) {
        return std::nullopt;
    }
    return record.file->stamp().written;
}

OwnBackup described(const Context& context, int number, platform::Folder& folder) {
    OwnBackup backup;
    backup.number = number;
    backup.made = record_written(folder);
    const auto read = read_backup(context, number, false);
    if (const auto* unusable = std::get_if<Unusable>(&read)) {
        backup.unusable = unusable->why;
        return backup;
    }
    const BackupPart& part = std::get<WholeBackup>(read).machine;
    backup.keys = part.keys.size();
    for (const FileToRestore& file : part.files) {
        backup.files.push_back(file.name);
    }
    return backup;
}

} // namespace

std::optional<std::string> note_own_backup(platform::RegistryKey& key, int number) {
    std::vector<int> numbers = numbers_in(key.query_value(kBackupsValue));
    std::erase(numbers, number);
    numbers.push_back(number);
    if (numbers.size() > kOwnBackupsNoted) {
        numbers.erase(numbers.begin(), numbers.begin() + static_cast<std::ptrdiff_t>(
                                                             numbers.size() - kOwnBackupsNoted));
    }
    std::vector<std::string> texts;
    for (const int each : numbers) {
        texts.push_back(std::to_string(each));
    }
    return key.set_value(kBackupsValue, platform::texts_value(texts));
}

std::vector<int> own_backup_numbers(platform::Registry& registry) {
    const auto key =
        registry.open_key(platform::RegistryRoot::CurrentUser, kMarkerKey,
                          platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
    return key ? numbers_in(key->query_value(kBackupsValue)) : std::vector<int>{};
}

std::vector<OwnBackup> own_backups(const Context& context) {
    std::vector<OwnBackup> found;
    std::vector<int> numbers = own_backup_numbers(context.os.registry);
    std::ranges::reverse(numbers);
    for (const int number : numbers) {
        // A backup deleted since is simply no longer the user's to undo.
        if (const auto folder = backup_folder(context, number)) {
            found.push_back(described(context, number, *folder));
        }
    }
    return found;
}
