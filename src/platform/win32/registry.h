// The registry through the wide advapi32 and shlwapi functions.
#pragma once

#include "platform/platform.h"

namespace win32 {

class Registry final : public platform::Registry {
public:
    platform::KeyCheck check_key(platform::RegistryRoot root, std::string_view path,
                                 platform::RegistryAccess access) override;
    std::unique_ptr<platform::RegistryKey> open_key(platform::RegistryRoot root,
                                                    std::string_view path,
                                                    platform::RegistryAccess access,
                                                    platform::RegistryView view) override;
    platform::RemovalResult delete_key_tree(platform::RegistryRoot root,
                                            std::string_view path) override;
    platform::RemovalResult delete_key(platform::RegistryRoot root, std::string_view path) override;
    platform::CreatedKey create_key(platform::RegistryRoot root, std::string_view path) override;
    std::optional<std::string> load_hive(std::string_view name, std::string_view file) override;
    std::optional<std::string> unload_hive(std::string_view name) override;
};

} // namespace win32
