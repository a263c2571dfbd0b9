// The organisation's policy: which options may run on this computer, whether anything may be
// cleaned at all, and where the backups go. Group Policy (or any tool that writes the registry)
// sets it as values of one key under HKEY_LOCAL_MACHINE, for the machine, and under
// HKEY_CURRENT_USER, for the user; a value the machine sets wins over the user's.
#pragma once

#include "engine/options.h"
#include "platform/platform.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kPolicyKey = "Software\\Policies\\TOLM\\VESK Cleaning Wizard";
// The option values are named as the options' switches.
inline constexpr std::string_view kPreviewOnlyValue = "PreviewOnly";
inline constexpr std::string_view kBackupFolderValue = "BackupFolder";
// Patterns of items no cleaning deletes (REG_MULTI_SZ); also the user's own list's value.
inline constexpr std::string_view kKeepValue = "Keep";

enum class PolicySource { Default, Machine, User };

// One setting as it holds: its value and where it was set.
struct PolicySetting {
    std::string_view name; // the registry value's name
    PolicySource source = PolicySource::Default;
    bool on = false;  // an option: allowed; PreviewOnly: nothing but previews
    std::string text; // as set: a number in decimal, or BackupFolder's folder, expanded; empty
                      // for a default
};

// A value of a policy key that the program does not take, and so treats as absent.
struct IgnoredValue {
    PolicySource source;
    std::string name;
    std::string why;
};

// A pattern of the organisation's keep list, and which key set it.
struct KeepEntry {
    PolicySource source;
    std::string pattern;
};

struct Policy {
    // Nothing set: every option allowed, cleaning allowed, backups beside the log.
    Policy();

    bool allows(const OptionRow& row) const { return setting_of(row).on; }
    const PolicySetting& setting_of(const OptionRow& row) const;
    bool previews_only() const { return preview_only.on; }

    std::vector<PolicySetting> options; // one a row, in the table's order
    PolicySetting preview_only;
    PolicySetting backup_folder;
    std::vector<KeepEntry> keep; // the machine's, then the user's: both hold
    std::vector<IgnoredValue> ignored;

    std::vector<std::string> keep_patterns() const;
};

// Reads both keys. A value of the wrong type, one that cannot be read, and a folder that is not a
// full path count as absent and are listed in ignored, as are values the program does not know.
// The machine's key is read in the 64-bit view, where Group Policy writes it on 64-bit Windows.
Policy read_policy(platform::Registry& registry, platform::System& system);

// The key a source's values are in, with its root: "HKEY_LOCAL_MACHINE\Software\Policies\...".
std::string policy_key_of(PolicySource source);
// "PreviewOnly = 1 in HKEY_CURRENT_USER\Software\Policies\...": what set the setting, for the
// texts that tell a user why something is refused.
std::string where_set(const PolicySetting& setting);

// What a refused cleaning or restore tells the user when only previews are allowed.
std::string previews_only_text(const Policy& policy);

// Where the backups of the user on this computer go: <BackupFolder>\<computer>\<user>, or
// an empty folder when the policy sets none (they go beside the log).
BackupHome backup_home(const Policy& policy, platform::System& system);
