// Finding the platform family and the host suite's folders, once at start-up.
#pragma once

#include "model/shared_state.h"
#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kHostKey = "SOFTWARE\\TOLM\\VESK 4.0";
inline constexpr std::string_view kAppDataValue = "AppData Path";
inline constexpr std::string_view kAuxDataValue = "AuxData Path";
inline constexpr std::string_view kProgramValue = "Program Path";
inline constexpr std::string_view kDirFileName = "VESK40.DIR";

void MM_ReadHostPaths(SharedState& state, platform::Registry& registry);
// Empty when the value is absent, unreadable or of a type other than REG_SZ and REG_BINARY.
std::string MM_GetRegValue(const platform::RegistryKey* key, std::string_view name);
std::string MM_GetWindowsDir(platform::System& system);
// The first field of the pointer file in folder. When the file is missing it says so and gives
// nullopt: the program must then end. Throws platform::Failure when the file cannot be read.
std::optional<std::string> MM_ReadDirFile(const platform::Platform& os, platform::UserInterface& ui,
                                          const std::string& folder);

// The first field of a pointer file's text: leading blanks skipped; a quoted field runs to the
// next quote, commas included; otherwise to the first comma or the end of the first line.
std::string read_first_field(std::string_view text);
// True for "X:\..." and for "\\server\..." paths: the only ones that cannot land on the
// current drive or folder.
bool is_fully_qualified(std::string_view path);
