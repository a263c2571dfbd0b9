// The world of the operation tests: the fake seen through a registry and a file system that
// pass every call on after a hook, which a test uses to fail a chosen call (by throwing
// platform::Failure) or to change the world under the operation.
#pragma once

#include "log_lines.h"
#include "world.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// call is the function's name: "find", "delete_file", "delete_key_tree", ...
using CallHook = std::function<void(std::string_view call, std::string_view path)>;

class InterposedRegistry : public platform::Registry {
public:
    explicit InterposedRegistry(fake::FakePlatform& inner) : inner_(inner) {}
    CallHook before;

    platform::KeyCheck check_key(platform::RegistryRoot root, std::string_view path,
                                 platform::RegistryAccess access) override {
        hook("check_key", path);
        return inner_.check_key(root, path, access);
    }
    std::unique_ptr<platform::RegistryKey> open_key(platform::RegistryRoot root,
                                                    std::string_view path,
                                                    platform::RegistryAccess access,
                                                    platform::RegistryView view) override {
        hook("open_key", path);
        return inner_.open_key(root, path, access, view);
    }
    platform::RemovalResult delete_key_tree(platform::RegistryRoot root,
                                            std::string_view path) override {
        hook("delete_key_tree", path);
        return inner_.delete_key_tree(root, path);
    }
    platform::RemovalResult delete_key(platform::RegistryRoot root,
                                       std::string_view path) override {
        hook("delete_key", path);
        return inner_.delete_key(root, path);
    }
    platform::CreatedKey create_key(platform::RegistryRoot root, std::string_view path) override {
        hook("create_key", path);
        return inner_.create_key(root, path);
    }
    std::optional<std::string> load_hive(std::string_view name, std::string_view file) override {
        hook("load_hive", name);
        return inner_.load_hive(name, file);
    }
    std::optional<std::string> unload_hive(std::string_view name) override {
        hook("unload_hive", name);
        return inner_.unload_hive(name);
    }

private:
    void hook(std::string_view call, std::string_view path) {
        if (before) {
            before(call, path);
        }
    }
    fake::FakePlatform& inner_;
};

class InterposedFiles : public platform::FileSystem {
public:
    explicit InterposedFiles(fake::FakePlatform& inner) : inner_(inner) {}
    CallHook before;

    platform::FindResult find(std::string_view path_pattern) override {
        hook("find", path_pattern);
        return inner_.find(path_pattern);
    }
    platform::RemovalResult delete_file(std::string_view path) override {
        hook("delete_file", path);
        return inner_.delete_file(path);
    }
    platform::RemovalResult discard_file(std::string_view path) override {
        hook("discard_file", path);
        return inner_.discard_file(path);
    }
    platform::RemovalResult shell_delete(std::string_view path) override {
        hook("shell_delete", path);
        return inner_.shell_delete(path);
    }
    platform::RemovalResult remove_link(std::string_view path) override {
        hook("remove_link", path);
        return inner_.remove_link(path);
    }
    bool still_there(std::string_view path) override {
        hook("still_there", path);
        return inner_.still_there(path);
    }
    platform::CreateResult create_new_text_file(std::string_view path) override {
        hook("create_new_text_file", path);
        return inner_.create_new_text_file(path);
    }
    std::string read_text_file(std::string_view path) override {
        hook("read_text_file", path);
        return inner_.read_text_file(path);
    }
    platform::BinaryCreateResult create_new_binary_file(std::string_view path) override {
        hook("create_new_binary_file", path);
        return inner_.create_new_binary_file(path);
    }
    std::string read_binary_file(std::string_view path) override {
        hook("read_binary_file", path);
        return inner_.read_binary_file(path);
    }
    platform::FolderResult create_folder(std::string_view path) override {
        hook("create_folder", path);
        return inner_.create_folder(path);
    }
    std::optional<std::string> copy_file(std::string_view from, std::string_view to) override {
        hook("copy_file", to);
        return inner_.copy_file(from, to);
    }

private:
    void hook(std::string_view call, std::string_view path) {
        if (before) {
            before(call, path);
        }
    }
    fake::FakePlatform& inner_;
};

// A hook that fails the one call named, for the one path given.
inline CallHook fail_on(std::string call, std::string path,
                        std::string description = "The device is not ready.") {
    return [=](std::string_view made, std::string_view on) {
        if (made == call && on == path) {
            throw platform::Failure(description);
        }
    };
}

struct InterposedWorld : World {
    InterposedRegistry registry{fake};
    InterposedFiles files{fake};
    Context interposed{state, {registry, files, fake, fake}, log, deletion, observer};
};
