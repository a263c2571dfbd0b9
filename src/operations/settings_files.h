// Deleting the suite's settings files and its OpenGL settings file.
#pragma once

#include "operations/context.h"

inline constexpr std::string_view kOpenGLSettingsFile = "veskhogl.ini";

// Deletes the files of IniList from the host folder.
void MM_DeleteIniFiles(Context& context);
// Deletes veskhogl.ini from the Windows directory. Traps nothing.
void MM_DeleteOpenGLSettings(Context& context);
