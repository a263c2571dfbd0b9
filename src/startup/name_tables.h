// The two built-in name tables (module M_Filelist).
#pragma once

#include "startup/shared_state.h"

// Replace the whole table with its built-in rows.
void MF_FillIniList(SharedState& state);
void MF_FillKeyList(SharedState& state);
