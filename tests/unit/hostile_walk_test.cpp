// What the owner of a folder or key can change while a run works in it - a folder or key swapped
// for a link, a file put in another's place - never steers the run elsewhere: what was checked
// is what is deleted, read or written, and anything else is refused and said.
#include "engine/cleaning_run.h"
#include "engine/restore_run.h"
#include "operation_world.h"
#include "operations/access_rights.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "operations/temp_files.h"
#include "operations/virtual_store.h"
#include "platform/text.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

const std::string kImportant = "C:\\Important";
const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";
const std::string kBranch(kSettingsBranch);

std::string host(std::string_view name) {
    return std::string(kHostFolder) + "\\" + std::string(name);
}

struct HostileWorld : InterposedWorld {
    HostileWorld() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        fake.add_file(kImportant + "\\system.dat", "the machine's");
        fake.add_file(kImportant + "\\Deep\\more.dat", "the machine's too");
        fake.set_value(RegistryRoot::CurrentUser, "Software\\Important", "Keep",
                       fake::reg_sz("the user's own, elsewhere"));
        fake.add_key(RegistryRoot::CurrentUser, "Software\\Important\\Sub");
    }
    // Every entry and key that lies outside what the run may touch, rights included.
    std::vector<std::string> outside() {
        std::vector<std::string> lines;
        for (const std::string& line : fake.whole_world()) {
            if (line.starts_with("c:\\important") || line.starts_with("Software\\Important")) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // Moves the entry at path aside and leaves a link to the important folder in its place.
    void swap_for_link(const std::string& path) {
        fake.move_entry(path, path + ".moved");
        fake.add_link(path, kImportant);
    }
    std::vector<std::string> run(const std::function<void(Context&)>& operation) {
        open_log();
        operation(context);
        return lines_of(closed_log_text());
    }
};

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
    return std::ranges::find(lines, line) != lines.end();
}

class HostileWalkTest : public testing::Test, protected HostileWorld {};

// A folder is entered only through the handle that opened it, never by its path again: one
// swapped for a link after the listing that named it is refused, and nothing behind it moves.
TEST(HostileWalk, AFolderSwappedForALinkAfterItsListingIsNeverEntered) {
    struct Case {
        const char* what;
        std::function<void(HostileWorld&)> build;
        std::string swapped; // swapped when the walk opens it for the nth time
        int nth;
        std::function<void(Context&)> operation;
        std::string refusal; // a line of the log
    };
    const Case cases[] = {
        {"a store's subfolder",
         [](HostileWorld& w) {
             w.fake.add_file(kStore + "\\One\\a.ini");
             w.fake.add_file(kStore + "\\Two\\b.ini");
         },
         kStore + "\\Two", 1, [](Context& c) { MM_CleanVirtualStore(c, kStore); },
         "Could not clean Directory:  " + kStore + "\\Two (a link, which is never followed)"},
        {"a folder in a project folder an elevated run deletes, once its links are out",
         [](HostileWorld& w) {
             w.fake.administrator = true;
             w.fake.add_file(host("p.vk$\\Sub\\x.frm"));
         },
         host("p.vk$\\Sub"), 2, [](Context& c) { MM_DeleteTempDirs(c); },
         "Could not delete Directory: " + host("p.vk$") + " (the folder " + host("p.vk$\\Sub") +
             " in it cannot be entered: a link, which is never followed)"},
        {"the store itself, on the way down",
         [](HostileWorld& w) { w.fake.add_file(kStore + "\\a.ini"); }, kLocal + "\\VirtualStore", 1,
         [](Context& c) { MM_CleanVirtualStore(c, kStore); },
         "Could not clean Directory:  " + kStore + " (its folder " + kLocal +
             "\\VirtualStore is a link, which is never followed)"},
    };
    for (const Case& test : cases) {
        HostileWorld world;
        test.build(world);
        const std::vector<std::string> before = world.outside();
        int opened = 0;
        world.files.before = [&](std::string_view call, std::string_view path) {
            if (call == "open_folder" && path == test.swapped && ++opened == test.nth) {
                world.swap_for_link(test.swapped);
            }
        };
        const std::vector<std::string> lines = world.run(test.operation);
        EXPECT_GE(opened, test.nth) << test.what;
        EXPECT_TRUE(has_line(lines, test.refusal)) << test.what << "\n" << world.log_text();
        EXPECT_EQ(world.outside(), before) << test.what;
        EXPECT_FALSE(world.fake.tree(test.swapped + ".moved").empty())
            << test.what << ": what was moved aside is not the run's to follow either";
    }
}

// A settings file is read for its backup and deleted through one handle: a file put in its
// place meanwhile stays, and the backup holds the bytes that went.
TEST_F(HostileWalkTest, AFileSwappedAfterItsCheckIsNotWhatGoes) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    files.before = [this](std::string_view call, std::string_view path) {
        if (call == "delete_file" && path == host("Vesk30.ini")) {
            files.before = nullptr;
            fake.move_entry(host("Vesk30.ini"), host("Vesk30.old"));
            fake.add_file(host("Vesk30.ini"), "put in its place");
        }
    };
    CleaningOptions options;
    options.configuration_settings = true;

    const RunReport report = run_cleaning(context, options);
    log.close();

    EXPECT_EQ(report.done, 1u);
    EXPECT_FALSE(fake.exists(host("Vesk30.old")));
    EXPECT_EQ(fake.content(host("Vesk30.ini")), "put in its place");
    EXPECT_EQ(fake.content(host("Cleaning1.backup\\Vesk30.ini")), "[Window]");
}

// The restore writes through the host folder's handle: a host folder swapped for a link between
// its check and the write gets the file where the handle is, and the link's target nothing.
TEST_F(HostileWalkTest, TheRestoreWritesIntoTheFolderItCheckedWhateverTakesItsPlace) {
    fake.add_file(host("Vesk30.ini"), "[Window]");
    CleaningOptions options;
    options.configuration_settings = true;
    run_cleaning(context, options);
    log.close();
    ASSERT_FALSE(fake.exists(host("Vesk30.ini")));
    const std::vector<std::string> before = outside();
    files.before = [this](std::string_view call, std::string_view path) {
        if (call == "create_binary_file" && path == host("Vesk30.ini")) {
            files.before = nullptr;
            fake.move_entry(kHostFolder, std::string(kHostFolder) + ".moved");
            fake.add_link(kHostFolder, kImportant);
        }
    };

    const RunReport restored = run_restore(context, 1);
    log.close();

    EXPECT_EQ(restored.done, 1u);
    EXPECT_EQ(fake.content(std::string(kHostFolder) + ".moved\\Vesk30.ini"), "[Window]");
    EXPECT_EQ(outside(), before);
}

// Keys are deleted key by key, each opened through its parent as itself: a key or a subkey
// swapped for a link between its check and its deletion is refused, and where it leads keeps
// every value.
TEST(HostileWalk, AKeySwappedForALinkBeforeItsDeletionIsRefused) {
    struct Case {
        const char* what;
        std::string swapped;
        std::string when; // the call before which it is swapped
        int nth;          // the how-manieth such call
    };
    const Case cases[] = {
        {"the key, after its check", kBranch + "\\VeskTorp", "open_unlinked", 2},
        {"a subkey, during the deletion", kBranch + "\\VeskTorp\\Recent", "open_subkey", 1},
    };
    for (const Case& test : cases) {
        HostileWorld world;
        world.fake.set_value(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent\\Old", "x",
                             fake::reg_sz("1"));
        const std::vector<std::string> before = world.outside();
        int seen = 0;
        world.registry.before = [&](std::string_view call, std::string_view path) {
            if (call == test.when && path == test.swapped && ++seen == test.nth) {
                world.fake.key(RegistryRoot::CurrentUser, kBranch + "\\VeskTorp\\Recent")
                    ->subkeys.clear();
                fake::RegKey* parent = world.fake.key(
                    RegistryRoot::CurrentUser, test.swapped.substr(0, test.swapped.rfind('\\')));
                parent->subkeys.erase(platform::fold_case(
                    std::string_view(test.swapped).substr(test.swapped.rfind('\\') + 1)));
                world.fake.add_key_link(RegistryRoot::CurrentUser, test.swapped,
                                        "Software\\Important");
            }
        };
        const std::vector<std::string> lines = world.run([](Context& c) { MM_DeleteVESKKeys(c); });
        EXPECT_EQ(seen, test.nth) << test.what;
        EXPECT_EQ(lines,
                  std::vector<std::string>{"Could not delete Key:       HKEY_CURRENT_USER\\" +
                                           kBranch + "\\VeskTorp (a registry link)"})
            << test.what;
        EXPECT_EQ(world.outside(), before) << test.what;
    }
}

// The data folders' rights: an elevated run grants them itself through the folders' handles, a
// standard user's through icacls with the way held. Neither passes a link, and what one leads to
// keeps its rights.
TEST(HostileWalk, NoLinkLeadsTheRightsElsewhere) {
    const std::string data = "D:\\Vesk\\Data";
    struct Case {
        const char* what;
        bool elevated;
        std::function<void(HostileWorld&)> stage;
        std::string line;
    };
    const Case cases[] = {
        {"an elevated run, the folder a link from the start", true,
         [&](HostileWorld& w) { w.swap_for_link(data); },
         "Permissions Not Set For:    " + data + " (a link, which is never followed)"},
        {"an elevated run, a subfolder swapped once the folder is granted", true,
         [&](HostileWorld& w) {
             w.files.before = [&w, &data](std::string_view call, std::string_view path) {
                 if (call == "grant" && path == data) {
                     w.swap_for_link(data + "\\Sub");
                 }
             };
         },
         "Permissions Set For:        " + data},
        {"a standard user's run, a folder on the way a link", false,
         [&](HostileWorld& w) { w.swap_for_link("D:\\Vesk"); },
         "Permissions Not Set For:    " + data +
             " (its folder D:\\Vesk is a link, which is never followed)"},
    };
    for (const Case& test : cases) {
        HostileWorld world;
        world.fake.administrator = test.elevated;
        world.fake.add_file(data + "\\Sub\\x.dat");
        world.fake.add_file(data + "\\y.dat");
        world.state.AppDataPath = data;
        test.stage(world);
        const std::vector<std::string> before = world.outside();

        const std::vector<std::string> lines =
            world.run([](Context& c) { MM_RestoreAccessRights(c, "Cleaning1.log"); });

        EXPECT_EQ(lines, std::vector<std::string>{test.line}) << test.what;
        EXPECT_EQ(world.outside(), before) << test.what;
        EXPECT_TRUE(world.fake.starts.empty()) << test.what;
    }
}

} // namespace
