#include "engine/marker.h"

#include "engine/own_backups.h"
#include "log/cleaning_log.h"
#include "platform/registry_values.h"
#include "platform/utc_time.h"

namespace {

// The reason the marker could not be written, or nullopt once it is.
std::optional<std::string> write_marker(Context& context, const RunReport& report, MarkedRun run) {
    const platform::CreatedKey created =
        platform::create_key(context.os.registry, platform::RegistryRoot::CurrentUser, kMarkerKey);
    if (!created.key) {
        return created.reason;
    }
    const std::string last = run == MarkedRun::Restore ? "LastRestore" : "LastCleaning";
    const std::pair<std::string, platform::RegistryValue> values[] = {
        {last + "Time", platform::text_value(platform::iso_8601(context.os.system.utc_now()))},
        {last + "ExitCode", platform::dword_value(exit_code_of(report))},
        {last + "Log", platform::text_value(report.log_path)},
        {"Version", platform::text_value(kVersion)},
    };
    for (const auto& [name, value] : values) {
        if (auto failed = created.key->set_value(name, value)) {
            return name + ": " + *failed;
        }
    }
    // The window's undo lists the user's own backups; a run over every profile's are the
    // administrators'.
    const int number = log_number_of(report.log_name);
    if (run == MarkedRun::Cleaning && !report.backup_folder.empty() && number > 0) {
        if (auto failed = note_own_backup(*created.key, number)) {
            return std::string(kBackupsValue) + ": " + *failed;
        }
    }
    return std::nullopt;
}

} // namespace

std::uint32_t exit_code_of(const RunReport& report) {
    if (report.uncovered) {
        return 1;
    }
    if (report.stopped) {
        return 7;
    }
    return report.refused == 0 && report.trapped.empty() ? 0 : 1;
}

void mark_run(Context& context, const RunReport& report, MarkedRun run) {
    if (report.log != LogStatus::Open) {
        return;
    }
    std::optional<std::string> failed;
    try {
        failed = write_marker(context, report, run);
    } catch (const std::exception& failure) {
        failed = failure.what();
    }
    if (!failed) {
        return;
    }
    try {
        if (context.log.is_open()) {
            context.log.write_refusal(
                "Could not write Key:", std::string(kCurrentUserRoot) + std::string(kMarkerKey),
                *failed);
        }
    } catch (const std::exception&) {
        // The marker is a courtesy to detection rules: a log that cannot take even this line
        // is the run's own concern, and the run has ended.
    }
}
