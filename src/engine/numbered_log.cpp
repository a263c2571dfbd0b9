#include "engine/numbered_log.h"

#include "operations/folder_walk.h"
#include "platform/text.h"

#include <set>

namespace {

constexpr std::string_view kBackupSuffix = ".backup";

// The numbers of the backups in the backup home, where it is not the host folder.
std::set<int> numbers_of_backups(const Context& context) {
    std::set<int> numbers;
    const std::string& home = context.state.backup_home.folder;
    if (home.empty()) {
        return numbers;
    }
    const platform::OpenedFolder opened = open_folder_at(context, home, platform::Use::Read);
    if (!opened.folder) {
        return numbers;
    }
    try {
        for (const platform::DirEntry& entry : opened.folder->list()) {
            const std::string_view name = entry.name;
            if (name.size() > kBackupSuffix.size() &&
                platform::iequals(name.substr(name.size() - kBackupSuffix.size()), kBackupSuffix)) {
                const std::string log =
                    std::string(name.substr(0, name.size() - kBackupSuffix.size())) + ".log";
                if (const int number = log_number_of(log); number > 0) {
                    numbers.insert(number);
                }
            }
        }
    } catch (const platform::Failure&) {
        // A home that cannot be listed takes no backup either: the cleaning says so item by item.
    }
    return numbers;
}

} // namespace

bool open_numbered_log(Context& context, RunReport& report) {
    report.log = LogStatus::NotCreated;
    // A host folder that cannot be reached (a link on its way among the reasons) cannot be
    // listed for a free number either.
    const platform::OpenedFolder host =
        open_folder_at(context, context.state.VeskPath, platform::Use::Read);
    report.log_name = host.folder ? context.log.open_new(*host.folder, numbers_of_backups(context))
                                  : std::string();
    if (report.log_name.empty()) {
        report.log = LogStatus::NoName;
        return false;
    }
    report.log = LogStatus::Open;
    report.log_path = context.state.VeskPath + "\\" + report.log_name;
    return true;
}
