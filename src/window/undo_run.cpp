// "Undo...": the user's own cleanings that have a backup, and the restore of the one chosen,
// through the same checks, log and marker as VeskClean /restore:N.
#include "engine/own_backups.h"
#include "platform/utc_time.h"
#include "window/form1.h"

namespace {

constexpr std::string_view kNoBackups =
    "None of your cleanings has a backup to restore. A cleaning made over every profile is "
    "restored by an administrator with VeskClean /restore:N /allusers.";

std::string holdings(const OwnBackup& backup) {
    if (!backup.unusable.empty()) {
        return "Cannot be restored: " + backup.unusable;
    }
    std::string text = std::to_string(backup.keys) + (backup.keys == 1 ? " key" : " keys");
    text += ", " + std::to_string(backup.files.size()) +
            (backup.files.size() == 1 ? " file" : " files");
    if (!backup.files.empty()) {
        text += " (";
        for (std::size_t i = 0; i < backup.files.size(); ++i) {
            text += i ? ", " : "";
            text += backup.files[i];
        }
        text += ")";
    }
    return text;
}

UndoRow undo_row(const OwnBackup& backup) {
    return {backup.number,
            backup.made ? platform::shown_utc(platform::utc_time_of(*backup.made))
                        : std::string("unknown"),
            holdings(backup)};
}

} // namespace

void Form1::Command5_Click() {
    // Where the backups are and whether the user may restore at all, before anything is listed.
    const auto probe = allowed_restore(0);
    if (!probe) {
        return;
    }
    context_.state.backup_home = probe->backups();
    set_mouse_pointer(platform::kPointerHourglass);
    std::vector<UndoRow> rows;
    for (const OwnBackup& backup : own_backups(context_)) {
        rows.push_back(undo_row(backup));
    }
    set_mouse_pointer(platform::kPointerDefault);
    if (rows.empty()) {
        ui_.message_box(kNoBackups, platform::kMbInformation);
        return;
    }
    const auto chosen = dialogs_.choose_cleaning_to_undo(rows);
    if (!chosen) {
        return;
    }
    const auto run = allowed_restore(*chosen);
    const auto session = run ? claim_cleaning() : nullptr;
    if (session) {
        work_and_tell(*run, "Command5_Click", frame_of(shown_panel()), kRestoreClosing);
    }
}

std::optional<AllowedRun> Form1::allowed_restore(int number) {
    RunRequest request{RunKind::Restore, RunScope::OwnProfile, {}, {}};
    request.restore_number = number;
    auto checked = check_run(request, policy_, context_.os.system);
    if (const auto* refusal = std::get_if<RunRefusal>(&checked)) {
        ui_.message_box(refusal->text, platform::kMbInformation);
        return std::nullopt;
    }
    return std::get<AllowedRun>(std::move(checked));
}
