// The virtual store: where the suite's two store folders are, and how one is emptied.
#include "operation_world.h"
#include "operations/virtual_store.h"

#include <gtest/gtest.h>
#include <pthread.h>

namespace {

using platform::attr::kHidden;
using platform::attr::kReadOnly;
using platform::attr::kSystem;

const std::string kLocal = "C:\\Users\\Ann\\AppData\\Local";
const std::string kPfStore = kLocal + "\\VirtualStore\\A\\B\\Veskpath";
const std::string kPdStore = kLocal + "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4";

struct StoreWorld : InterposedWorld {
    StoreWorld() {
        fake.special_folders[platform::kCsidlLocalAppData] = kLocal;
        state.ProgramPath = "C:\\A\\B\\C";
    }
    std::vector<std::string> clean(const std::string& path) {
        open_log();
        MM_CleanVirtualStore(context, path);
        return lines_of(closed_log_text());
    }
    std::vector<std::string> deletions() const {
        std::vector<std::string> made;
        for (const auto& call : fake.calls) {
            if (call.rfind("delete_file ", 0) == 0) {
                made.push_back(call.substr(12));
            }
        }
        return made;
    }
};

class StorePathTest : public testing::Test, protected StoreWorld {};

TEST_F(StorePathTest, ProgramFilesStoreMirrorsTheFolderBesideTheProgramPath) {
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramFiles), kPfStore);
    state.ProgramPath = "C:\\A\\B\\";
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramFiles), kPfStore);
    state.ProgramPath = "D:\\Program Files\\TOLM\\VESK 4.4";
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramFiles),
              kLocal + "\\VirtualStore\\Program Files\\TOLM\\Veskpath");
}

TEST_F(StorePathTest, ProgramDataStoreDoesNotDependOnTheProgramPath) {
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramData), kPdStore);
    state.ProgramPath = "";
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramData), kPdStore);
}

TEST_F(StorePathTest, ShortOrTopLevelProgramPathsGiveAnEmptyRelativePart) {
    for (const char* program_path : {"", "C", "C:", "C:\\", "C:\\Vesk"}) {
        state.ProgramPath = program_path;
        EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramFiles),
                  kLocal + "\\VirtualStore\\Veskpath")
            << program_path;
    }
}

TEST_F(StorePathTest, ParentPathEndsAtTheLastBackslash) {
    EXPECT_EQ(MM_GetParentPath(""), "");
    EXPECT_EQ(MM_GetParentPath("Vesk"), "");
    EXPECT_EQ(MM_GetParentPath("A\\B\\C"), "A\\B\\");
    EXPECT_EQ(MM_GetParentPath("A\\B\\"), "A\\B\\");
    EXPECT_EQ(MM_GetParentPath("\\"), "\\");
}

TEST_F(StorePathTest, AFailedSpecialFolderLookUpNeverReachesTheCurrentDrive) {
    fake.special_folders.clear();
    EXPECT_EQ(MM_GetSpecialFolder(context, platform::kCsidlLocalAppData), "");
    const std::string pf = MM_GetVirtualStorePath(context, StoreKind::ProgramFiles);
    EXPECT_EQ(pf, "\\VirtualStore\\A\\B\\Veskpath");
    EXPECT_EQ(MM_GetVirtualStorePath(context, StoreKind::ProgramData),
              "\\VirtualStore\\ProgramData\\TOLM\\VESK 4.4");
    // A store as the current drive would resolve the path.
    fake.add_file("\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini");
    fake.add_file("C:\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini");

    EXPECT_FALSE(virtual_store_exists(context, pf));
    EXPECT_EQ(clean(pf), std::vector<std::string>{"\\VirtualStore\\A\\B\\Veskpath not found!"});
    EXPECT_TRUE(deletions().empty());
    EXPECT_TRUE(fake.exists("\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini"));
    EXPECT_TRUE(fake.exists("C:\\VirtualStore\\A\\B\\Veskpath\\Vesk.ini"));
}

TEST_F(StorePathTest, PathsThatClimbOutOfTheStoreCountAsMissing) {
    state.ProgramPath = "C:\\..\\..\\Windows\\x";
    const std::string pf = MM_GetVirtualStorePath(context, StoreKind::ProgramFiles);
    EXPECT_EQ(pf, kLocal + "\\VirtualStore\\..\\..\\Windows\\Veskpath");
    fake.add_file(kLocal + "\\VirtualStore\\..\\..\\Windows\\Veskpath\\Vesk.ini");
    EXPECT_FALSE(virtual_store_exists(context, pf));
    EXPECT_EQ(clean(pf), std::vector<std::string>{pf + " not found!"});
    EXPECT_TRUE(deletions().empty());
}

TEST_F(StorePathTest, ExistenceIsTheLookUpThatIncludesFoldersButNotHiddenOnes) {
    EXPECT_FALSE(virtual_store_exists(context, kPfStore));
    fake.add_dir(kPfStore);
    EXPECT_TRUE(virtual_store_exists(context, kPfStore));
    fake.add_dir(kPdStore, kHidden);
    EXPECT_FALSE(virtual_store_exists(context, kPdStore));
}

class CleanStoreTest : public testing::Test, protected StoreWorld {};

TEST_F(CleanStoreTest, NestedTreeLosesEveryFileAndKeepsEveryFolder) {
    fake.add_file(kPfStore + "\\Vesk.ini");
    fake.add_file(kPfStore + "\\Hidden.dat", "", kHidden | kSystem);
    fake.add_file(kPfStore + "\\Sub\\Toolbar.tlb");
    fake.add_file(kPfStore + "\\Sub\\Deeper\\Deepest\\a.txt");
    fake.add_dir(kPfStore + "\\Empty");

    EXPECT_EQ(clean(kPfStore), std::vector<std::string>{"Path cleaned: " + kPfStore});
    EXPECT_EQ(fake.tree(kPfStore),
              (std::vector<std::string>{"empty", "sub", "sub\\deeper", "sub\\deeper\\deepest"}));
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(CleanStoreTest, SubfoldersAreEmptiedBeforeTheFilesBesideThem) {
    fake.add_file(kPfStore + "\\a.txt");
    fake.add_file(kPfStore + "\\Sub\\b.txt");
    fake.add_file(kPfStore + "\\Sub\\Deeper\\c.txt");
    fake.add_file(kPfStore + "\\Tail\\d.txt");
    clean(kPfStore);
    EXPECT_EQ(deletions(), (std::vector<std::string>{
                               kPfStore + "\\Sub\\Deeper\\c.txt", kPfStore + "\\Sub\\b.txt",
                               kPfStore + "\\Tail\\d.txt", kPfStore + "\\a.txt"}));
}

TEST_F(CleanStoreTest, EmptyStoreIsCleaned) {
    fake.add_dir(kPfStore);
    EXPECT_EQ(clean(kPfStore), std::vector<std::string>{"Path cleaned: " + kPfStore});
    EXPECT_TRUE(deletions().empty());
}

TEST_F(CleanStoreTest, MissingStoreIsReportedOnlyInTheLog) {
    EXPECT_EQ(clean(kPdStore), std::vector<std::string>{kPdStore + " not found!"});
    EXPECT_TRUE(deletions().empty());
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_FALSE(has_refusal(log_text()));
}

TEST_F(CleanStoreTest, AJunctionInTheStoreIsLeftWithEverythingBehindIt) {
    fake.add_file("D:\\Projects\\precious.vsk");
    fake.add_file("D:\\Projects\\Sub\\older.vsk");
    fake.add_file(kPfStore + "\\Vesk.ini");
    fake.add_link(kPfStore + "\\Projects", "D:\\Projects");

    EXPECT_EQ(clean(kPfStore), std::vector<std::string>{"Path cleaned: " + kPfStore});
    EXPECT_EQ(deletions(), std::vector<std::string>{kPfStore + "\\Vesk.ini"});
    EXPECT_TRUE(fake.exists("D:\\Projects\\precious.vsk"));
    EXPECT_TRUE(fake.exists("D:\\Projects\\Sub\\older.vsk"));
    EXPECT_TRUE(fake.exists(kPfStore + "\\Projects"));
}

TEST_F(CleanStoreTest, AStoreThatIsItselfALinkIsNotFollowed) {
    fake.add_file("D:\\Projects\\precious.vsk");
    fake.add_link(kPdStore, "D:\\Projects");

    EXPECT_EQ(clean(kPdStore),
              (std::vector<std::string>{"Could not clean Directory:  " + kPdStore +
                                            " (a link, which is never followed)",
                                        "Path not fully cleaned:     " + kPdStore}));
    EXPECT_TRUE(deletions().empty());
    EXPECT_TRUE(fake.exists("D:\\Projects\\precious.vsk"));
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(CleanStoreTest, ALinkOnTheWayDownToTheStoreIsNotFollowed) {
    fake.add_file("D:\\Elsewhere\\VESK 4.4\\precious.vsk");
    fake.add_link(kLocal + "\\VirtualStore\\ProgramData\\TOLM", "D:\\Elsewhere");

    EXPECT_EQ(clean(kPdStore),
              (std::vector<std::string>{
                  "Could not clean Directory:  " + kPdStore + " (its folder " + kLocal +
                      "\\VirtualStore\\ProgramData\\TOLM" + " is a link, which is never followed)",
                  "Path not fully cleaned:     " + kPdStore}));
    EXPECT_TRUE(deletions().empty());
    EXPECT_TRUE(fake.exists("D:\\Elsewhere\\VESK 4.4\\precious.vsk"));
}

// The system keeps the stores in the local application-data folder, wherever a link has moved
// the profile that holds it; that folder itself is the first one checked.
TEST_F(CleanStoreTest, OnlyTheWayFromTheApplicationDataFolderDownIsChecked) {
    fake.add_file("E:\\Profiles\\Ann\\AppData\\Local\\VirtualStore\\A\\B\\Veskpath\\a.ini");
    fake.add_link("C:\\Users", "E:\\Profiles");
    EXPECT_EQ(clean(kPfStore), std::vector<std::string>{"Path cleaned: " + kPfStore});
    // Reached through the folders above it as the system resolves them: where it really is.
    EXPECT_EQ(deletions(),
              std::vector<std::string>{
                  "E:\\Profiles\\Ann\\AppData\\Local\\VirtualStore\\A\\B\\Veskpath\\a.ini"});

    StoreWorld moved;
    moved.fake.add_file("D:\\Local\\VirtualStore\\A\\B\\Veskpath\\b.ini");
    moved.fake.add_link(kLocal, "D:\\Local");
    EXPECT_EQ(
        moved.clean(kPfStore),
        (std::vector<std::string>{"Could not clean Directory:  " + kPfStore + " (its folder " +
                                      kLocal + " is a link, which is never followed)",
                                  "Path not fully cleaned:     " + kPfStore}));
    EXPECT_TRUE(moved.fake.exists("D:\\Local\\VirtualStore\\A\\B\\Veskpath\\b.ini"));
}

TEST_F(CleanStoreTest, NamesThatAreNotPlainAreRefusedAndNeverJoined) {
    const std::string beside = kLocal + "\\VirtualStore\\A\\B";
    fake.add_file(beside + "\\victim.ini");
    fake.add_file(beside + "\\Victims\\v.ini");
    fake.add_file(kPfStore + "\\odd.ini").name = "x\\..\\..\\victim.ini";
    fake.add_file(kPfStore + "\\Odd\\kept.ini");
    fake.entry(kPfStore + "\\Odd")->name = "..\\Victims";
    fake.add_file(kPfStore + "\\a.ini");

    const std::string reason = " (a name that is not a plain file name)";
    EXPECT_EQ(clean(kPfStore),
              (std::vector<std::string>{
                  "Could not clean Directory:  " + kPfStore + "\\..\\Victims" + reason,
                  "Could not delete File:      " + kPfStore + "\\x\\..\\..\\victim.ini" + reason,
                  "Path not fully cleaned:     " + kPfStore}));
    EXPECT_EQ(deletions(), std::vector<std::string>{kPfStore + "\\a.ini"});
    EXPECT_TRUE(fake.exists(beside + "\\victim.ini"));
    EXPECT_TRUE(fake.exists(beside + "\\Victims\\v.ini"));
}

TEST_F(CleanStoreTest, RefusedFilesAreLoggedAndTheWalkGoesOn) {
    fake.add_file(kPfStore + "\\a.ini");
    fake.add_file(kPfStore + "\\Sub\\ReadOnly.ini", "", kReadOnly);
    fake.add_file(kPfStore + "\\Sub\\z.ini");
    fake.add_file(kPfStore + "\\Tail\\Busy.ini").locked = true;

    EXPECT_EQ(clean(kPfStore),
              (std::vector<std::string>{"Could not delete File:      " + kPfStore +
                                            "\\Sub\\ReadOnly.ini (" + fake::kAccessDenied + ")",
                                        "Could not delete File:      " + kPfStore +
                                            "\\Tail\\Busy.ini (" + fake::kInUse + ")",
                                        "Path not fully cleaned:     " + kPfStore}));
    EXPECT_FALSE(fake.exists(kPfStore + "\\a.ini"));
    EXPECT_FALSE(fake.exists(kPfStore + "\\Sub\\z.ini"));
    EXPECT_TRUE(fake.exists(kPfStore + "\\Sub\\ReadOnly.ini"));
    EXPECT_TRUE(has_refusal(log_text()));
}

TEST_F(CleanStoreTest, UnlistableFoldersAreLoggedAndTheWalkGoesOn) {
    fake.add_file(kPfStore + "\\a.ini");
    fake.add_file(kPfStore + "\\Locked\\kept.ini");
    fake.add_file(kPfStore + "\\Broken\\kept.ini");
    fake.add_file(kPfStore + "\\Next\\b.ini");
    fake.make_unlistable(kPfStore + "\\Locked");
    files.before = fail_on("list", kPfStore + "\\Broken");

    open_log();
    MM_CleanVirtualStore(interposed, kPfStore);
    EXPECT_EQ(
        lines_of(closed_log_text()),
        (std::vector<std::string>{
            "Could not clean Directory:  " + kPfStore + "\\Broken (The device is not ready.)",
            "Could not clean Directory:  " + kPfStore + "\\Locked (" + fake::kAccessDenied + ")",
            "Path not fully cleaned:     " + kPfStore}));
    EXPECT_EQ(fake.tree(kPfStore), (std::vector<std::string>{"broken", "broken\\kept.ini", "locked",
                                                             "locked\\kept.ini", "next"}));
}

TEST_F(CleanStoreTest, AFileInPlaceOfTheStoreIsLoggedAsNotCleaned) {
    fake.add_file(kPfStore, "not a folder");
    EXPECT_TRUE(virtual_store_exists(context, kPfStore));
    EXPECT_EQ(clean(kPfStore),
              (std::vector<std::string>{"Could not clean Directory:  " + kPfStore + " (" +
                                            fake::kNotAFolder + ")",
                                        "Path not fully cleaned:     " + kPfStore}));
    EXPECT_TRUE(fake.exists(kPfStore));
}

TEST_F(CleanStoreTest, UncoveredFailuresPropagateNamingTheProcedure) {
    fake.add_file(kPfStore + "\\a.ini");
    files.before = fail_on("find", kPfStore);
    open_log();
    try {
        MM_CleanVirtualStore(interposed, kPfStore);
        ADD_FAILURE() << "the failure was swallowed";
    } catch (const platform::Failure& failure) {
        EXPECT_EQ(failure.where, "MM_CleanVirtualStore");
        EXPECT_STREQ(failure.what(), "The device is not ready.");
    }
    EXPECT_TRUE(fake.exists(kPfStore + "\\a.ini"));
}

TEST_F(CleanStoreTest, ATreeThreeHundredLevelsDeepIsEmptied) {
    std::string folder = kPfStore;
    std::vector<std::string> planted;
    for (int level = 1; level <= 300; ++level) {
        folder += "\\d";
        if (level % 150 == 1 || level % 150 == 0) {
            planted.push_back(folder + "\\f.txt");
            fake.add_file(planted.back());
        }
    }
    ASSERT_GT(folder.size(), 600u);

    EXPECT_EQ(clean(kPfStore), std::vector<std::string>{"Path cleaned: " + kPfStore});
    EXPECT_EQ(deletions(),
              (std::vector<std::string>{planted[3], planted[2], planted[1], planted[0]}));
    EXPECT_TRUE(fake.exists(folder));
    EXPECT_EQ(fake.tree(kPfStore).size(), 300u);
}

// A chain of folders "d", each holding a file "f" and the next folder, too deep to be stored
// path by path in the fake: folder handles of its own, one a level.
class DeepChain {
public:
    explicit DeepChain(std::size_t depth) : depth_(depth), deleted_(depth + 1, false) {}

    class Level : public platform::Folder {
    public:
        Level(DeepChain& chain, std::size_t level) : chain_(chain), level_(level) {}
        std::vector<platform::DirEntry> list() override {
            std::vector<platform::DirEntry> entries;
            if (level_ < chain_.depth_) {
                entries.push_back({"d", platform::attr::kDirectory});
            }
            if (!chain_.deleted_[level_]) {
                entries.push_back({"f", platform::attr::kArchive});
            }
            return entries;
        }
        platform::OpenedFolder open_folder(std::string_view name, platform::Use) override {
            if (name != "d" || level_ == chain_.depth_) {
                return {nullptr, platform::OpenStatus::Missing, fake::kFileNotFound};
            }
            return {std::make_unique<Level>(chain_, level_ + 1), platform::OpenStatus::Opened, {}};
        }
        platform::OpenedFile open_file(std::string_view, platform::Use) override {
            return {nullptr, platform::OpenStatus::Refused, fake::kAccessDenied};
        }
        platform::RemovalResult delete_file(std::string_view name) override {
            if (name != "f" || chain_.deleted_[level_]) {
                return {platform::Removal::Missing, fake::kFileNotFound};
            }
            chain_.deleted_[level_] = true;
            chain_.order_.push_back(level_);
            return {platform::Removal::Deleted, {}};
        }
        platform::RemovalResult remove_link(std::string_view) override { return refused(); }
        platform::RemovalResult delete_now() override { return refused(); }
        std::optional<std::string> grant_users_full_control() override {
            return std::string(fake::kAccessDenied);
        }
        platform::CreateResult create_text_file(std::string_view) override {
            return {nullptr, platform::CreateStatus::Failed, fake::kAccessDenied};
        }
        platform::BinaryCreateResult create_binary_file(std::string_view) override {
            return {nullptr, platform::CreateStatus::Failed, fake::kAccessDenied};
        }
        platform::CreatedFolder create_folder(std::string_view, platform::NewFolder) override {
            return {nullptr, platform::CreateStatus::Failed, fake::kAccessDenied};
        }
        std::optional<std::string> others_may_write() override { return std::nullopt; }

    private:
        static platform::RemovalResult refused() {
            return {platform::Removal::Refused, fake::kAccessDenied};
        }
        DeepChain& chain_;
        std::size_t level_;
    };

    const std::vector<std::size_t>& order() const { return order_; }

private:
    std::size_t depth_;
    std::vector<bool> deleted_;
    std::vector<std::size_t> order_;
};

// Runs body on a thread whose stack a walk that recursed once per level would overflow.
void run_on_small_stack(std::function<void()> body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 512 * 1024), 0);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* argument) -> void* {
                      (*static_cast<std::function<void()>*>(argument))();
                      return nullptr;
                  },
                  &body),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST_F(CleanStoreTest, ATreeTenThousandLevelsDeepIsEmptiedOnASmallStack) {
    constexpr std::size_t kDepth = 10000;
    DeepChain chain(kDepth);
    DeepChain::Level top(chain, 0);
    open_log();
    FilesHandedOver handed;
    run_on_small_stack([&] { MM_DeleteFolderFiles(context, top, kPdStore, handed); });

    EXPECT_TRUE(handed.complete);
    EXPECT_EQ(handed.done, kDepth + 1);
    ASSERT_EQ(chain.order().size(), kDepth + 1);
    EXPECT_EQ(chain.order().front(), kDepth);
    EXPECT_EQ(chain.order().back(), 0u);
    EXPECT_EQ(closed_log_text(), "");
}

} // namespace
