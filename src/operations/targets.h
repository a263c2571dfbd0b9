// What the operations find to clean, and what a run does with each find. An operation walks its
// targets and hands each one to the run's action: the walk is the same whether the action
// deletes, only lists (a preview), or backs up before it deletes.
#pragma once

#include "platform/platform.h"

#include <optional>
#include <string>
#include <string_view>

struct Context;

enum class TargetKind {
    Key,           // a program-settings key, with its subkeys and values
    SettingsFile,  // a settings file of the host folder, or the OpenGL settings file
    File,          // a temporary or toolbar file
    ProjectFolder, // a ".vk$" entry, removed through the shell with everything in it
    ProjectLink,   // a ".vk$" entry that is a link: the link goes, never what it leads to
    StoreFile,     // a file in a virtual-store folder
    StoreFolder,   // a virtual-store folder that the walk must not or cannot enter
    FolderRights,  // a data folder whose access rights the system's tool restores
};

// How the log and the console show a key of the user's: with its root in front, this one unless
// the run cleans another profile's.
inline constexpr std::string_view kCurrentUserRoot = "HKEY_CURRENT_USER\\";

struct Target {
    TargetKind kind;
    std::string path; // keys: below HKEY_CURRENT_USER; everything else: a file-system path
    // Where a file-system target is reached: the folder it is in, held open, and its name there;
    // and the entry itself when the walk opened it already. Never a path again.
    platform::Folder* folder = nullptr;
    std::string name = {};
    platform::File* file = nullptr;
};

// What a target of each kind is called, wherever it is named: the log's labels, the console's
// preview, the JSON output, and a restore's log. One row a kind.
struct KindWords {
    std::string_view done;          // the log's label once done; empty where the log names only
                                    // what could not be done
    std::string_view refused;       // the log's label when the platform refused
    std::string_view not_backed_up; // the log's label when its backup failed
    std::string_view restored;      // a restore's labels, for the kinds a cleaning backs up
    std::string_view not_restored;
    std::string_view json;      // its "kind" in the JSON output
    std::string_view json_done; // its "outcome" once done, and in a preview
    std::string_view json_previewed;
    std::string_view would;     // the preview's line, before the path
    std::string_view would_not; // the preview's line for what would be refused, before the path
    std::string_view one;       // a detection's count of one, "1 key", and of more, "2 keys"
    std::string_view many;
    std::string_view kept;      // the log's label when a keep list kept it; empty for what no
                                // cleaning deletes
    std::string_view not_found; // the log's label for a plan's item that is gone
};
// The kind that the JSON output names so; nullopt for none.
std::optional<TargetKind> kind_named(std::string_view json);
const KindWords& words_of(TargetKind kind);

// What became of one target. Previewed: the action would have done it, and did nothing.
// NotBackedUp: its backup failed, so it was left as it was. Restored and NotRestored: what a
// restore did with a key or settings file of a backup (put back, or left with the reason). Kept:
// a keep list names it or something inside it; left alone, and no refusal.
enum class Outcome { Done, Previewed, Refused, NotBackedUp, Missing, Restored, NotRestored, Kept };
struct ItemOutcome {
    Outcome outcome = Outcome::Done;
    std::string reason; // the platform's words, for Refused and Missing
};

// The path as a user reads it in the log and the console: keys with the run's key root.
std::string shown_path(const Target& target, std::string_view key_root = kCurrentUserRoot);

class TargetAction {
public:
    virtual ~TargetAction() = default;
    // Does to the target what the run is for. Expected refusals come back as outcomes; the
    // unexpected throws platform::Failure.
    virtual ItemOutcome apply(const Context& context, const Target& target) = 0;
    // Whether it deletes what it is handed: a walk then opens the entries ahead for it.
    virtual bool deletes() const { return false; }
};

// What a removal the platform reported comes to.
ItemOutcome outcome_of(const platform::RemovalResult& result);
// Writes the outcome's log line, when a log is open (a preview has none), and tells the run's
// observer. A target found gone at its turn gets no line.
void record(Context& context, const Target& target, const ItemOutcome& outcome);
// Why the run leaves the target alone, or nullopt when it goes to the action: a keep list names
// it (its name, or for a key or a project folder the name of anything inside it), or the plan
// the run applies does not list it, or lists it as it was before it changed. Access rights are
// no deletion: a keep list never holds them.
std::optional<std::string> left_alone(const Context& context, const Target& target);
// Whether the run leaves anything alone at all: a keep list, or a plan it applies.
bool leaves_any_alone(const Context& context);
// The target recorded as kept when the run leaves it alone; nullopt when it goes to the action.
std::optional<ItemOutcome> set_aside(Context& context, const Target& target);
// Adds the target to the plan a preview makes, when it makes one and the target would go.
void add_to_plan(const Context& context, const Target& target, const ItemOutcome& outcome);
// Logs and reports each item of the plan being applied that the cleaning did not meet: gone
// since the preview.
void record_plan_leftovers(Context& context);
// The run's action applied to the target, then recorded; a target left alone is recorded as
// kept and never reaches the action.
ItemOutcome hand_over(Context& context, const Target& target);
