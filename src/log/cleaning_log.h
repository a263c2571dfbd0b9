// The cleaning log: one new numbered file in the host folder per confirmed run.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

inline constexpr int kLastLogNumber = 32767;

// The name (not the path) of the lowest-numbered log "Cleaning<N>.log", N from first_number
// to 32767, that no entry of the folder bears. Empty when every number is taken or the folder
// cannot be listed. One listing of the folder, whatever the number of logs in it.
std::string ChooseLogFileName(platform::Folder& VeskPath, int first_number = 1,
                              const std::set<int>& also_taken = {});
// The same for the folder at VeskPath, reached from its volume's root (see open_checked).
std::string ChooseLogFileName(platform::FileSystem& files, std::string_view VeskPath,
                              int first_number = 1);
// The number N of a name "Cleaning<N>.log" (any letter case, no leading zeros), or 0.
int log_number_of(std::string_view name);

class CleaningLog {
public:
    // Labels are padded to the log's print zones of this many characters.
    static constexpr std::size_t kZoneWidth = 14;

    bool is_open() const { return file_ != nullptr; }

    // Chooses the name and creates the file through the folder's handle with create-new
    // semantics: when the chosen name appears in the meantime, the next free number is taken.
    // Returns the name, or empty when none is free. Throws platform::Failure when the file
    // cannot be created.
    // also_taken: numbers taken elsewhere (by backups kept away from the logs).
    std::string open_new(platform::Folder& VeskPath, const std::set<int>& also_taken = {});
    // The same in the folder at VeskPath, reached from its volume's root (see open_checked);
    // a folder that cannot be reached so throws platform::Failure.
    std::string open_new(platform::FileSystem& files, std::string_view VeskPath);
    // A line of two items: the label padded to the next print zone, then the value.
    void write_line(std::string_view label, std::string_view value);
    // A line of one item.
    void write_line(std::string_view text);
    // A "Could not ..." line: something the platform refused to delete, with its reason.
    void write_refusal(std::string_view label, std::string_view path, std::string_view reason);
    void close();

    // Called with every line once it is written, its line end left off; none when empty.
    void set_line_listener(std::function<void(std::string_view)> listener) {
        line_listener_ = std::move(listener);
    }

private:
    std::unique_ptr<platform::TextFile> file_;
    std::function<void(std::string_view)> line_listener_;
};

// The label followed by blanks up to the next multiple of the zone width; never run into the
// value that follows.
std::string pad_to_zone(std::string_view label);
