// The two built-in name tables: the settings files and the program-settings keys of the suite.
#pragma once

#include "model/shared_state.h"

// Replace the whole table with its built-in rows.
void MF_FillIniList(SharedState& state);
void MF_FillKeyList(SharedState& state);
