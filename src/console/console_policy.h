// The organisation's policy in the console program: what it left out of /all and /standard, and
// what /policy shows.
#pragma once

#include "console/command_line.h"
#include "engine/policy.h"

#include <optional>
#include <string>
#include <vector>

// "Left out by your organisation's policy: /toolbar, /rights"; empty when nothing is.
std::string left_out_text(const std::vector<std::string_view>& switches);

// What /policy prints: where the settings are read, each setting with where it comes from and
// its value, then every value taken as absent and why.
std::vector<std::string> policy_lines(const Policy& policy, platform::System& system);

// What /policy /json prints, for inventory: one object a setting, each with its value as set
// (null for a default), where it comes from, whether a value of the policy keys was taken for it,
// and what it comes to; then one object for each value not taken, with why.
std::vector<std::string> policy_json_lines(const Policy& policy, platform::System& system);
