#include "operations/folder_walk.h"

#include "operations/folder_rules.h"
#include "platform/text.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using platform::OpenStatus;
using platform::Removal;
using platform::RemovalResult;

// Files are opened ahead in batches, at most two batches ahead of the deletion. The threads meet
// once a batch, not once a file: under Wine a meeting where one thread waits costs requests to
// the server, as many as a file's deletion. The first batch is small, so that the deletion starts
// at once; the batches grow to a size that a stop can close at little cost.
constexpr std::size_t kFirstBatch = 16;
constexpr std::size_t kLargestBatch = 256;
constexpr std::size_t kBatchesAhead = 2;
// Fewer files than this are not worth a thread.
constexpr std::size_t kWorthAThread = 64;

bool is_folder(const platform::DirEntry& entry) {
    return (entry.attributes & platform::attr::kDirectory) != 0;
}

std::string joined(std::string_view folder, std::string_view name) {
    std::string path(folder);
    path += '\\';
    path += name;
    return path;
}

bool lies_below(std::string_view path, std::string_view folder) {
    return !folder.empty() && path.size() > folder.size() && path[folder.size()] == '\\' &&
           platform::iequals(path.substr(0, folder.size()), folder);
}

// The folder above path that the system names for this run's user, from which the way down is
// checked; empty text when there is none. The local application-data folder, where the system
// keeps the stores, is itself on the way.
std::string trusted_above(const Context& context, std::string_view path) {
    const auto profile = context.os.system.special_folder(platform::kCsidlProfile);
    if (profile && lies_below(path, *profile)) {
        return *profile;
    }
    const auto local = context.os.system.special_folder(platform::kCsidlLocalAppData);
    if (local && lies_below(path, *local)) {
        const std::size_t parent = local->rfind('\\');
        return parent == std::string::npos ? std::string() : local->substr(0, parent);
    }
    return {};
}

ItemOutcome outcome_of_open(const platform::OpenedFile& opened) {
    if (opened.status == OpenStatus::Missing) {
        return {Outcome::Missing, opened.reason};
    }
    return {Outcome::Refused, opened.reason};
}

// The second thread of a deletion: opens the folder's files in order, a batch at a time, at
// most kBatchesAhead batches before the one being deleted. A failure it meets is handed over in
// the file's place.
class Opener {
public:
    struct Ahead {
        platform::OpenedFile opened;
        std::exception_ptr failure;
    };

    Opener(platform::Folder& folder, const std::vector<std::string>& names)
        : folder_(folder), names_(names), thread_([this] { open_all(); }) {}
    ~Opener() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        changed_.notify_all();
        thread_.join();
        // What was opened and never taken closes with the batches: nothing is deleted through it.
    }
    Opener(const Opener&) = delete;
    Opener& operator=(const Opener&) = delete;

    // The next file in order, once the opener has it.
    Ahead take() {
        if (next_ == taking_.size()) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty(); });
            taking_ = std::move(ready_.front());
            ready_.pop_front();
            next_ = 0;
            lock.unlock();
            changed_.notify_all();
        }
        return std::move(taking_[next_++]);
    }

private:
    void open_all() {
        std::size_t size = kFirstBatch;
        for (std::size_t first = 0; first < names_.size();
             first += size, size = std::min(size * 2, kLargestBatch)) {
            std::vector<Ahead> batch;
            for (std::size_t index = first; index < std::min(first + size, names_.size());
                 ++index) {
                Ahead& next = batch.emplace_back();
                try {
                    next.opened = folder_.open_file(names_[index], platform::Use::Delete);
                } catch (...) {
                    next.failure = std::current_exception();
                }
            }
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return cancelled_ || ready_.size() < kBatchesAhead; });
            if (cancelled_) {
                return;
            }
            ready_.push_back(std::move(batch));
            lock.unlock();
            changed_.notify_all();
        }
    }

    platform::Folder& folder_;
    const std::vector<std::string>& names_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Ahead>> ready_;
    bool cancelled_ = false;
    std::vector<Ahead> taking_; // the deletion's own: only its thread touches it
    std::size_t next_ = 0;
    std::thread thread_; // last: it starts once everything it uses is there
};

// Counts the item, then writes its line and tells the observer, which may end the run there.
void count_and_record(Context& context, const Target& target, const ItemOutcome& outcome,
                      FilesHandedOver& handed) {
    if (outcome.outcome == Outcome::Done) {
        ++handed.done;
    } else if (outcome.outcome == Outcome::Refused || outcome.outcome == Outcome::NotBackedUp) {
        handed.complete = false;
    }
    record(context, target, outcome);
}

RemovalResult refused(std::string reason) {
    return {Removal::Refused, std::move(reason)};
}

// One folder of a tree being deleted: its handle, what it held, how far the walk has come.
struct Level {
    std::unique_ptr<platform::Folder> folder;
    platform::Folder* above;
    std::string name;
    std::string path;
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
};

// Takes the next entry of the level out of the tree; the reason when it stays. A folder is
// not taken out here but entered: it goes once it is empty.
std::optional<std::string> take_out(std::vector<Level>& levels) {
    Level& level = levels.back();
    const platform::DirEntry& entry = level.entries[level.next++];
    const std::string path = joined(level.path, entry.name);
    if (!is_plain_entry_name(entry.name)) {
        return "the entry " + path + " in it has " + std::string(kNotAPlainName);
    }
    if (platform::is_link(entry)) {
        const RemovalResult removed = level.folder->remove_link(entry.name);
        if (removed.removal == Removal::Refused) {
            return "the link " + path + " in it cannot be removed by itself: " + removed.reason;
        }
        return std::nullopt;
    }
    if (is_folder(entry)) {
        platform::OpenedFolder opened =
            level.folder->open_folder(entry.name, platform::Use::Delete);
        if (opened.status == OpenStatus::Missing) {
            return std::nullopt;
        }
        if (!opened.folder) {
            return "the folder " + path + " in it cannot be entered: " + opened.reason;
        }
        std::vector<platform::DirEntry> entries = opened.folder->list();
        levels.push_back(
            {std::move(opened.folder), level.folder.get(), entry.name, path, std::move(entries)});
        return std::nullopt;
    }
    const RemovalResult removed = level.folder->delete_file(entry.name);
    if (removed.removal == Removal::Refused) {
        return "the file " + path + " in it cannot be deleted: " + removed.reason;
    }
    return std::nullopt;
}

// Deletes the emptied folder of the last level; the reason when it stays.
std::optional<std::string> remove_emptied(std::vector<Level>& levels) {
    Level level = std::move(levels.back());
    levels.pop_back();
    RemovalResult removed = level.folder->delete_now();
    level.folder.reset();
    // The folder above is the one that can tell whether the name is gone.
    if (removed.removal == Removal::Deleted &&
        level.above->open_folder(level.name, platform::Use::Read).status != OpenStatus::Missing) {
        removed = refused(std::string(platform::kStillThere));
    }
    if (removed.removal != Removal::Refused) {
        return std::nullopt;
    }
    return levels.empty()
               ? removed.reason
               : "the folder " + level.path + " in it cannot be deleted: " + removed.reason;
}

} // namespace

platform::OpenedFolder open_folder_at(const Context& context, std::string_view path,
                                      platform::Use use) {
    const std::string trusted = trusted_above(context, path);
    if (trusted.empty()) {
        return platform::open_checked(context.os.files, path, use);
    }
    return platform::open_below(context.os.files, path.substr(0, trusted.size()), path, use);
}

platform::OpenedFolder open_windows_folder(const Context& context, std::string_view path) {
    return context.os.files.open_trusted_folder(path, platform::Use::Read);
}

void hand_over_files(Context& context, platform::Folder& folder, std::string_view folder_path,
                     const std::vector<std::string>& all_names, TargetKind kind,
                     FilesHandedOver& handed) {
    // Kept files are told first and never opened ahead: the rest go as they would without them.
    std::vector<std::string> going;
    const bool keeps = leaves_any_alone(context);
    for (const std::string& name : keeps ? all_names : std::vector<std::string>{}) {
        if (set_aside(context, {kind, joined(folder_path, name), &folder, name})) {
            ++handed.kept;
        } else {
            going.push_back(name);
        }
    }
    const std::vector<std::string>& names = keeps ? going : all_names;
    if (!context.action.deletes() || names.size() < kWorthAThread) {
        for (const std::string& name : names) {
            const Target target{kind, joined(folder_path, name), &folder, name};
            const ItemOutcome outcome = context.action.apply(context, target);
            add_to_plan(context, target, outcome);
            count_and_record(context, target, outcome, handed);
        }
        return;
    }
    Opener opener(folder, names);
    for (const std::string& name : names) {
        Opener::Ahead ahead = opener.take();
        if (ahead.failure) {
            std::rethrow_exception(ahead.failure);
        }
        const Target target{kind, joined(folder_path, name), &folder, name,
                            ahead.opened.file.get()};
        const ItemOutcome outcome = ahead.opened.file ? context.action.apply(context, target)
                                                      : outcome_of_open(ahead.opened);
        ahead.opened.file.reset();
        count_and_record(context, target, outcome, handed);
    }
}

bool look_through_tree(platform::Folder& parent, std::string_view name, std::string_view path,
                       const StepFunction& step,
                       const std::function<bool(const std::string&)>& unopened) {
    platform::OpenedFolder top = parent.open_folder(name, platform::Use::Read);
    if (!top.folder) {
        return unopened(std::string(path));
    }
    // An explicit stack: a tree can be nested deeper than any thread's stack would allow.
    std::vector<std::pair<std::unique_ptr<platform::Folder>, std::string>> pending;
    pending.emplace_back(std::move(top.folder), std::string(path));
    while (!pending.empty()) {
        auto [folder, at] = std::move(pending.back());
        pending.pop_back();
        for (const platform::DirEntry& entry : folder->list()) {
            const std::string inside = joined(at, entry.name);
            const Step next = step(entry, *folder, inside);
            if (next == Step::Stop) {
                return true;
            }
            if (next != Step::Enter || !is_folder(entry) || platform::is_link(entry)) {
                continue;
            }
            platform::OpenedFolder below = folder->open_folder(entry.name, platform::Use::Read);
            if (below.folder) {
                pending.emplace_back(std::move(below.folder), inside);
            } else if (unopened(inside)) {
                return true;
            }
        }
    }
    return false;
}

platform::RemovalResult delete_folder_tree(platform::Folder& parent, std::string_view name,
                                           std::string_view path) {
    platform::OpenedFolder opened = parent.open_folder(name, platform::Use::Delete);
    if (opened.status == OpenStatus::Missing) {
        return {Removal::Missing, opened.reason};
    }
    if (opened.status == OpenStatus::WrongKind) {
        return parent.delete_file(name);
    }
    if (!opened.folder) {
        return refused(opened.reason);
    }
    std::vector<Level> levels;
    std::vector<platform::DirEntry> entries = opened.folder->list();
    levels.push_back({std::move(opened.folder), &parent, std::string(name), std::string(path),
                      std::move(entries)});
    while (!levels.empty()) {
        const bool emptied = levels.back().next == levels.back().entries.size();
        if (auto kept = emptied ? remove_emptied(levels) : take_out(levels)) {
            return refused(std::move(*kept));
        }
    }
    return {Removal::Deleted, {}};
}

std::optional<std::string> grant_tree(platform::Folder& folder, std::string_view path) {
    std::optional<std::string> first;
    auto keep_first = [&first](const std::string& at, const std::string& reason) {
        if (!first) {
            first = at.empty() ? reason : at + ": " + reason;
        }
    };
    std::vector<std::pair<std::unique_ptr<platform::Folder>, std::string>> below;
    auto visit = [&](platform::Folder& current, const std::string& at, bool top) {
        if (auto kept = current.grant_users_full_control()) {
            keep_first(top ? std::string() : at, *kept);
        }
        for (const platform::DirEntry& entry : current.list()) {
            const std::string entry_path = joined(at, entry.name);
            // What a link leads to is not the folder's, and keeps its rights.
            if (!is_plain_entry_name(entry.name) || platform::is_link(entry)) {
                continue;
            }
            if (is_folder(entry)) {
                platform::OpenedFolder opened =
                    current.open_folder(entry.name, platform::Use::ChangeRights);
                if (opened.folder) {
                    below.emplace_back(std::move(opened.folder), entry_path);
                } else if (opened.status == OpenStatus::Refused) {
                    keep_first(entry_path, opened.reason);
                }
                continue;
            }
            platform::OpenedFile opened =
                current.open_file(entry.name, platform::Use::ChangeRights);
            if (opened.file) {
                if (auto kept = opened.file->grant_users_full_control()) {
                    keep_first(entry_path, *kept);
                }
            } else if (opened.status == OpenStatus::Refused) {
                keep_first(entry_path, opened.reason);
            }
        }
    };
    visit(folder, std::string(path), true);
    while (!below.empty()) {
        auto [next, at] = std::move(below.back());
        below.pop_back();
        visit(*next, at, false);
    }
    return first;
}
