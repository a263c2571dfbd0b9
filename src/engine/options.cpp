#include "engine/options.h"

#include "operations/access_rights.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "operations/temp_files.h"
#include "operations/virtual_store.h"

#include <algorithm>

namespace {

void registry_settings(Context& context, std::string_view /*log_name*/) {
    CleanRegistrySettings(context);
}

void settings_files(Context& context, std::string_view /*log_name*/) {
    MM_DeleteIniFiles(context);
}

void temporary_files(Context& context, std::string_view /*log_name*/) {
    MM_DeleteTempFiles(context, "*.$*");
    MM_DeleteTempFiles(context, "log*.txt");
}

void project_folders(Context& context, std::string_view /*log_name*/) {
    MM_DeleteTempDirs(context);
}

void toolbar_files(Context& context, std::string_view /*log_name*/) {
    MM_DeleteTempFiles(context, "*.tlb");
}

void opengl_settings(Context& context, std::string_view /*log_name*/) {
    MM_DeleteOpenGLSettings(context);
}

void access_rights(Context& context, std::string_view log_name) {
    MM_RestoreAccessRights(context, std::string(log_name));
}

void program_files_store(Context& context, std::string_view /*log_name*/) {
    clean_store(context, StoreKind::ProgramFiles,
                MM_GetVirtualStorePath(context, StoreKind::ProgramFiles));
}

void program_data_store(Context& context, std::string_view /*log_name*/) {
    clean_store(context, StoreKind::ProgramData,
                MM_GetVirtualStorePath(context, StoreKind::ProgramData));
}

} // namespace

const std::array<OptionRow, kOptionCount> kOptionTable = {{
    {&CleaningOptions::registry_settings,
     "registry",
     "the suite's program-settings keys",
     Panel::Standard,
     Scope::User,
     {"Check1", 0},
     false,
     "- VESK Registry Settings",
     "CleanRegistrySettings",
     registry_settings},
    {&CleaningOptions::configuration_settings,
     "settings",
     "the suite's settings files",
     Panel::Standard,
     Scope::Machine,
     {"Check1", 1},
     false,
     "- VESK Configuration Settings",
     "MM_DeleteIniFiles",
     settings_files},
    {&CleaningOptions::temporary_files,
     "temp",
     "temporary files",
     Panel::Standard,
     Scope::Machine,
     {"Check1", 2},
     true,
     "- Temporary VESK Files",
     "MM_DeleteTempFiles",
     temporary_files},
    {&CleaningOptions::project_folders,
     "projects",
     "temporary project folders",
     Panel::Standard,
     Scope::Machine,
     {"Check1", 3},
     true,
     "- Temporary VESK Project Folders",
     "MM_DeleteTempDirs",
     project_folders},
    {&CleaningOptions::toolbar_settings,
     "toolbar",
     "toolbar settings",
     Panel::Standard,
     Scope::Machine,
     {"Check1", 4},
     false,
     "- VESK Toolbar Settings",
     "MM_DeleteTempFiles",
     toolbar_files},
    {&CleaningOptions::opengl_settings,
     "opengl",
     "the OpenGL settings file",
     Panel::Standard,
     Scope::Machine,
     {"Check1", 5},
     false,
     "- VESK OpenGL Settings",
     "MM_DeleteOpenGLSettings",
     opengl_settings},
    {&CleaningOptions::access_rights,
     "rights",
     "restore the access rights of the data folders",
     Panel::Advanced,
     Scope::Machine,
     {"Check2", 0},
     false,
     {},
     "MM_RestoreAccessRights",
     access_rights},
    {&CleaningOptions::store_program_files,
     "store-pf",
     "the virtual-store copy of the program files",
     Panel::Advanced,
     Scope::User,
     {"Check4"},
     false,
     {},
     "MM_CleanVirtualStore",
     program_files_store},
    {&CleaningOptions::store_program_data,
     "store-pd",
     "the virtual-store copy of the program data",
     Panel::Advanced,
     Scope::User,
     {"Check5"},
     false,
     {},
     "MM_CleanVirtualStore",
     program_data_store},
}};

bool any_chosen(const CleaningOptions& options) {
    return std::ranges::any_of(kOptionTable,
                               [&](const OptionRow& row) { return options.*row.chosen; });
}
