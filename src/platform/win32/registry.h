// The registry through the wide advapi32 functions. Every key the program deletes or creates is
// reached key by key, each opened through the one above it as itself (REG_OPTION_OPEN_LINK), so
// that a registry link is seen where it stands and never followed.
#pragma once

#include "platform/platform.h"

namespace win32 {

class Registry final : public platform::Registry {
public:
    std::unique_ptr<platform::RegistryKey> open_key(platform::RegistryRoot root,
                                                    std::string_view path,
                                                    platform::RegistryAccess access,
                                                    platform::RegistryView view) override;
    platform::OpenedKey open_unlinked(platform::RegistryRoot root, std::string_view path,
                                      platform::RegistryAccess access) override;
    std::optional<std::string> load_hive(std::string_view name, std::string_view file) override;
    std::optional<std::string> unload_hive(std::string_view name) override;
};

} // namespace win32
