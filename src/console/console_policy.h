// The organisation's policy in the console program: what it refuses before anything is done,
// what /all and /standard come to, and what /policy shows.
#pragma once

#include "console/command_line.h"
#include "engine/policy.h"

#include <optional>
#include <string>
#include <vector>

// Why the policy refuses the request, as one line naming the setting and its key; nullopt when
// it allows it. Refused are a cleaning or a restore when only previews are allowed, an option
// named that is forbidden, and /all or /standard when every option they stand for is.
std::optional<std::string> refusal_by_policy(const ConsoleRequest& request, const Policy& policy);

// The request's options without those the policy forbids: /all and /standard mean the allowed
// ones among theirs.
CleaningOptions options_allowed(const ConsoleRequest& request, const Policy& policy);

// The switches of the options that /all or /standard stood for and the policy forbids, in the
// runs' order: what a run it allows leaves out without a word unless it is told.
std::vector<std::string_view> left_out_by_policy(const ConsoleRequest& request,
                                                 const Policy& policy);
// "Left out by your organisation's policy: /toolbar, /rights"; empty when nothing is.
std::string left_out_text(const std::vector<std::string_view>& switches);

// What /policy prints: where the settings are read, each setting with where it comes from and
// its value, then every value taken as absent and why.
std::vector<std::string> policy_lines(const Policy& policy, platform::System& system);

// What /policy /json prints, for inventory: one object a setting, each with its value as set
// (null for a default), where it comes from, whether a value of the policy keys was taken for it,
// and what it comes to; then one object for each value not taken, with why.
std::vector<std::string> policy_json_lines(const Policy& policy, platform::System& system);
