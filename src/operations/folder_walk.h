// How the operations reach what they delete: a folder is named once, when a walk starts, and
// opened through every folder on its way; after that, everything in it is reached through the
// handles, so that whoever owns the folder cannot steer a deletion elsewhere between two calls.
#pragma once

#include "operations/context.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The folder at path, held open. Below a folder that the system itself names for this run's
// user (the profile's folder, the local application-data folder), every folder on the way is
// checked; anywhere else, every folder from the volume's root.
platform::OpenedFolder open_folder_at(const Context& context, std::string_view path,
                                      platform::Use use);
// The Windows folder, as the system names it; nobody but administrators can change it.
platform::OpenedFolder open_windows_folder(const Context& context, std::string_view path);

// What became of the files handed over from one folder.
struct FilesHandedOver {
    std::size_t done = 0; // deleted, or whatever the run's action does
    std::size_t kept = 0; // left alone for a keep list
    bool complete = true; // nothing refused
};

// Hands each named file of folder (whose path is folder_path) to the run's action as a target
// of that kind, in order, and counts into handed as it goes. When the action deletes, a second
// thread opens and checks the next files while it deletes one; a stop or a failure still ends at
// an item boundary, and files opened ahead and not handed over are closed, never deleted
// through.
void hand_over_files(Context& context, platform::Folder& folder, std::string_view folder_path,
                     const std::vector<std::string>& names, TargetKind kind,
                     FilesHandedOver& handed);

// What a look through a folder's tree does after an entry.
enum class Step { Next, Enter, Stop };
// Looks through the tree of the folder name of parent (whose path is path), each folder opened
// for reading through the one above it: step is told each entry, with the folder that holds it
// and the entry's path, and says whether to go on, to enter it (a folder; a link is never
// entered) or to stop. A folder that will not open, the top one included, is handed to
// unopened, which says whether to stop. True when the look stopped.
using StepFunction =
    std::function<Step(const platform::DirEntry&, platform::Folder&, const std::string&)>;
bool look_through_tree(platform::Folder& parent, std::string_view name, std::string_view path,
                       const StepFunction& step,
                       const std::function<bool(const std::string&)>& unopened);

// Deletes the folder name of parent with everything in it, through the walk: each folder opened
// through the one above it, links removed by themselves and never followed, each file deleted
// through its own handle, each folder once it is empty; a file of that name goes as a file. The
// first refusal, said of the entry it concerns, leaves the rest where it is.
platform::RemovalResult delete_folder_tree(platform::Folder& parent, std::string_view name,
                                           std::string_view path);

// Gives Users full control of folder and of every folder and file in it, each through its own
// handle; links are not followed, and what they lead to keeps its rights. The first reason an
// entry kept its rights, said of that entry; the walk goes on past it.
std::optional<std::string> grant_tree(platform::Folder& folder, std::string_view path);
