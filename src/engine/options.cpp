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

AskedFolders data_folders(Context& context) {
    return {{context.state.AppDataPath, context.state.AuxDataPath}};
}

AskedFolders store_folder(Context& context, StoreKind kind) {
    std::string store = MM_GetVirtualStorePath(context, kind);
    const bool found = store_exists(context, kind, store);
    return {{std::move(store)}, found};
}

AskedFolders program_files_store_folder(Context& context) {
    return store_folder(context, StoreKind::ProgramFiles);
}

AskedFolders program_data_store_folder(Context& context) {
    return store_folder(context, StoreKind::ProgramData);
}

// One field a line, so that a row reads down and a new column is one line a row.
// clang-format off
constexpr OptionRow kRows[] = {
    {&CleaningOptions::registry_settings,
     "registry",
     "the suite's program-settings keys",
     Panel::Standard,
     Scope::User,
     false,
     "- VESK Registry Settings",
     "CleanRegistrySettings",
     registry_settings},
    {&CleaningOptions::configuration_settings,
     "settings",
     "the suite's settings files",
     Panel::Standard,
     Scope::Machine,
     false,
     "- VESK Configuration Settings",
     "MM_DeleteIniFiles",
     settings_files},
    {&CleaningOptions::temporary_files,
     "temp",
     "temporary files",
     Panel::Standard,
     Scope::Machine,
     true,
     "- Temporary VESK Files",
     "MM_DeleteTempFiles",
     temporary_files},
    {&CleaningOptions::project_folders,
     "projects",
     "temporary project folders",
     Panel::Standard,
     Scope::Machine,
     true,
     "- Temporary VESK Project Folders",
     "MM_DeleteTempDirs",
     project_folders},
    {&CleaningOptions::toolbar_settings,
     "toolbar",
     "toolbar settings",
     Panel::Standard,
     Scope::Machine,
     false,
     "- VESK Toolbar Settings",
     "MM_DeleteTempFiles",
     toolbar_files},
    {&CleaningOptions::opengl_settings,
     "opengl",
     "the OpenGL settings file",
     Panel::Standard,
     Scope::Machine,
     false,
     "- VESK OpenGL Settings",
     "MM_DeleteOpenGLSettings",
     opengl_settings},
    {&CleaningOptions::access_rights,
     "rights",
     "restore the access rights of the data folders",
     Panel::Advanced,
     Scope::Machine,
     false,
     "Do you really want to restore the VESK folder access rights for these folders ?\r\n{}\r\n",
     "MM_RestoreAccessRights",
     access_rights,
     data_folders},
    {&CleaningOptions::store_program_files,
     "store-pf",
     "the virtual-store copy of the program files",
     Panel::Advanced,
     Scope::User,
     false,
     "Do you really want to clean the Virtual Store for this folder?\r\n{}\r\n",
     "MM_CleanVirtualStore",
     program_files_store,
     program_files_store_folder},
    {&CleaningOptions::store_program_data,
     "store-pd",
     "the virtual-store copy of the program data",
     Panel::Advanced,
     Scope::User,
     false,
     // No line break after the folder: the question has always ended so.
     "Do you really want to clean the Virtual Store for this folder?\r\n{}",
     "MM_CleanVirtualStore",
     program_data_store,
     program_data_store_folder},
};
// clang-format on

} // namespace

constinit const std::span<const OptionRow> kOptionTable(kRows);

bool any_chosen(const CleaningOptions& options) {
    return std::ranges::any_of(kOptionTable,
                               [&](const OptionRow& row) { return options.*row.chosen; });
}
