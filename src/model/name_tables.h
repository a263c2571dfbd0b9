// The two built-in name tables: the settings files and the program-settings keys of the suite.
#pragma once

#include "model/shared_state.h"

#include <array>
#include <string_view>

// The host folder's settings files. The row order is the order of the log lines; the letter
// case is repeated in the log as it stands here.
inline constexpr std::array<std::string_view, 19> kIniNames = {
    "TorpMain.ini", "Qult30.ini",   "Vesk30.ini",   "VeskImEx.ini", "VeskLgnd.ini",
    "VeskMain.ini", "VeskDrov.ini", "VeskTree.ini", "VeskSubF.ini", "Pomb30.ini",
    "i_skep32.ini", "ItemSkep.ini", "Grist30.ini",  "Darl30.ini",   "Melp30.ini",
    "Nurl40.ini",   "ZSkepMap.ini", "VeskFont.ini", "PlaskMap.ini"};

// The program-settings keys that every cleaning deletes, before those its key search finds.
inline constexpr std::array<std::string_view, 11> kBuiltInKeyNames = {
    "VeskTorp", "VeskQult", "VeskPomb", "VeskHobb", "VeskImex", "VeskMain",
    "VeskGris", "VeskDarl", "VeskMelp", "VeskWend", "VESK"};

// Whether name is a row of the table, in any letter case.
bool is_settings_file_name(std::string_view name);
bool is_built_in_key_name(std::string_view name);

// Replace the whole table with its built-in rows.
void MF_FillIniList(SharedState& state);
void MF_FillKeyList(SharedState& state);
