#include "platform/win32/registry.h"

#include "platform/win32/handles.h"
#include "platform/win32/native.h"
#include "platform/win32/privileges.h"
#include "platform/win32/text.h"

#include <algorithm>
#include <optional>
#include <vector>
#include <windows.h>

namespace win32 {
namespace {

HKEY root_handle(platform::RegistryRoot root) {
    switch (root) {
    case platform::RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case platform::RegistryRoot::Users:
        return HKEY_USERS;
    case platform::RegistryRoot::CurrentUser:
        break;
    }
    return HKEY_CURRENT_USER;
}

std::optional<std::string> reason_of(LSTATUS status) {
    if (status == ERROR_SUCCESS) {
        return std::nullopt;
    }
    return error_text(static_cast<DWORD>(status));
}

REGSAM access_mask(platform::RegistryAccess access) {
    switch (access) {
    case platform::RegistryAccess::QueryValue:
        return KEY_QUERY_VALUE;
    case platform::RegistryAccess::AllAccess:
        return KEY_ALL_ACCESS;
    case platform::RegistryAccess::Default:
        break;
    }
    return MAXIMUM_ALLOWED;
}

platform::RemovalResult removal_from(LSTATUS status) {
    if (status == ERROR_SUCCESS) {
        return {platform::Removal::Deleted, {}};
    }
    const auto code = static_cast<DWORD>(status);
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        return {platform::Removal::Missing, error_text(code)};
    }
    return {platform::Removal::Refused, error_text(code)};
}

// A link holds where it leads in this value, and only a link holds a value of this type.
bool is_link(HKEY key) {
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    return (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type == REG_LINK;
}

class Key final : public platform::RegistryKey {
public:
    explicit Key(HKEY key) : key_(key) {}
    HKEY handle() const { return key_.get(); }

    std::optional<platform::RegistryValue> query_value(std::string_view name) const override {
        const std::wstring value_name = wide(name);
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status =
            RegQueryValueExW(key_.get(), value_name.c_str(), nullptr, &type, nullptr, &size);
        platform::RegistryValue value;
        // The value may grow between the calls; read again with the size it asks for.
        for (int attempt = 0; status == ERROR_SUCCESS && attempt < 4; ++attempt) {
            value.data.resize(size);
            DWORD got = size;
            status = RegQueryValueExW(key_.get(), value_name.c_str(), nullptr, &type,
                                      value.data.data(), &got);
            if (status == ERROR_SUCCESS) {
                value.type = type;
                value.data.resize(got);
                return value;
            }
            if (status == ERROR_MORE_DATA) {
                size = got;
                status = ERROR_SUCCESS;
            }
        }
        return std::nullopt;
    }

    platform::SubkeyEntry enum_subkey(std::uint32_t index,
                                      std::size_t max_name_chars) const override {
        std::vector<wchar_t> name(max_name_chars + 1, L'\0');
        auto size = static_cast<DWORD>(name.size());
        const LSTATUS status = RegEnumKeyExW(key_.get(), index, name.data(), &size, nullptr,
                                             nullptr, nullptr, nullptr);
        switch (status) {
        case ERROR_SUCCESS:
            return {platform::EnumStatus::Found, utf8(std::wstring_view(name.data(), size))};
        case ERROR_MORE_DATA:
            return {platform::EnumStatus::NameTooLong, {}};
        case ERROR_NO_MORE_ITEMS:
            return {platform::EnumStatus::NoMoreItems, {}};
        default:
            return {platform::EnumStatus::Failed, {}};
        }
    }

    platform::ValueEntry enum_value(std::uint32_t index) const override {
        // Value names run to 16,383 characters. The data comes from RegQueryValueExW: Wine's
        // RegEnumValueW gives a string value stored without its NUL with one added.
        std::vector<wchar_t> name(16384, L'\0');
        auto name_size = static_cast<DWORD>(name.size());
        const LSTATUS status = RegEnumValueW(key_.get(), index, name.data(), &name_size, nullptr,
                                             nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            return {platform::EnumStatus::NoMoreItems, {}, {}};
        }
        if (status != ERROR_SUCCESS) {
            return {platform::EnumStatus::Failed, {}, {}};
        }
        std::string value_name = utf8(std::wstring_view(name.data(), name_size));
        auto value = query_value(value_name);
        if (!value) {
            return {platform::EnumStatus::Failed, {}, {}};
        }
        return {platform::EnumStatus::Found, std::move(value_name), std::move(*value)};
    }

    std::optional<std::string> set_value(std::string_view name,
                                         const platform::RegistryValue& value) override {
        // RegSetValueExW counts a NUL into string data that ends without one when the character
        // after the data is NUL: a character that is not keeps the data as it was.
        std::vector<std::uint8_t> data = value.data;
        data.push_back(0xFF);
        data.push_back(0xFF);
        const LSTATUS status = RegSetValueExW(key_.get(), wide(name).c_str(), 0, value.type,
                                              value.data.empty() ? nullptr : data.data(),
                                              static_cast<DWORD>(value.data.size()));
        if (status != ERROR_SUCCESS) {
            return error_text(static_cast<DWORD>(status));
        }
        return std::nullopt;
    }

    platform::OpenedKey open_subkey(std::string_view name,
                                    platform::RegistryAccess access) override {
        return open_itself(key_.get(), wide(name), access_mask(access));
    }

    platform::CreatedKey create_subkey(std::string_view name) override {
        HKEY created = nullptr;
        DWORD disposition = 0;
        const LSTATUS status = RegCreateKeyExW(key_.get(), wide(name).c_str(), 0, nullptr,
                                               REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK,
                                               KEY_ALL_ACCESS, nullptr, &created, &disposition);
        if (status != ERROR_SUCCESS) {
            return {nullptr, false, error_text(static_cast<DWORD>(status))};
        }
        UniqueKey key(created);
        if (is_link(key.get())) {
            return {nullptr, true, std::string(platform::kRegistryLink)};
        }
        return {std::make_unique<Key>(key.release()), disposition == REG_OPENED_EXISTING_KEY, {}};
    }

    platform::RemovalResult delete_now() override {
        return removal_from(native::delete_key(key_.get()));
    }

    // The subkey name of parent, opened as itself; a link is said to be one.
    static platform::OpenedKey open_itself(HKEY parent, const std::wstring& name, REGSAM sam) {
        HKEY opened = nullptr;
        // A link is told by a value, which needs asking for.
        LSTATUS status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK,
                                       sam | KEY_QUERY_VALUE, &opened);
        if (status == ERROR_ACCESS_DENIED) {
            status =
                RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &opened);
            UniqueKey probe(status == ERROR_SUCCESS ? opened : nullptr);
            if (probe && is_link(probe.get())) {
                return {nullptr, platform::KeyState::Link, {}};
            }
            status = probe ? ERROR_ACCESS_DENIED : status;
        }
        if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) {
            return {nullptr, platform::KeyState::Missing, error_text(static_cast<DWORD>(status))};
        }
        if (status != ERROR_SUCCESS) {
            return {nullptr, platform::KeyState::Unopenable,
                    error_text(static_cast<DWORD>(status))};
        }
        UniqueKey key(opened);
        if (is_link(key.get())) {
            return {nullptr, platform::KeyState::Link, {}};
        }
        return {std::make_unique<Key>(key.release()), platform::KeyState::Present, {}};
    }

private:
    UniqueKey key_;
};

} // namespace

std::unique_ptr<platform::RegistryKey> Registry::open_key(platform::RegistryRoot root,
                                                          std::string_view path,
                                                          platform::RegistryAccess access,
                                                          platform::RegistryView view) {
    REGSAM sam = access_mask(access);
    if (view == platform::RegistryView::Wow64_32) {
        sam |= KEY_WOW64_32KEY;
    } else if (view == platform::RegistryView::Wow64_64) {
        sam |= KEY_WOW64_64KEY;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_handle(root), wide(path).c_str(), 0, sam, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<Key>(key);
}

platform::OpenedKey Registry::open_unlinked(platform::RegistryRoot root, std::string_view path,
                                            platform::RegistryAccess access) {
    std::vector<std::wstring> names;
    for (std::wstring rest = wide(path); !rest.empty();) {
        const std::size_t end = std::min(rest.find(L'\\'), rest.size());
        if (end > 0) {
            names.push_back(rest.substr(0, end));
        }
        rest.erase(0, std::min(end + 1, rest.size()));
    }
    if (names.empty()) {
        // The root itself: a handle of the program's own, as every other key it hands out.
        return Key::open_itself(root_handle(root), L"", access_mask(access));
    }
    platform::OpenedKey current;
    HKEY parent = root_handle(root);
    for (std::size_t index = 0; index < names.size(); ++index) {
        const bool last = index + 1 == names.size();
        platform::OpenedKey next =
            Key::open_itself(parent, names[index], last ? access_mask(access) : KEY_QUERY_VALUE);
        if (!next.key) {
            return next;
        }
        current = std::move(next);
        parent = static_cast<Key&>(*current.key).handle();
    }
    return current;
}

std::optional<std::string> Registry::load_hive(std::string_view name, std::string_view file) {
    const HivePrivileges privileges;
    return reason_of(RegLoadKeyW(HKEY_USERS, wide(name).c_str(), wide(file).c_str()));
}

std::optional<std::string> Registry::unload_hive(std::string_view name) {
    const HivePrivileges privileges;
    return reason_of(RegUnLoadKeyW(HKEY_USERS, wide(name).c_str()));
}

} // namespace win32
