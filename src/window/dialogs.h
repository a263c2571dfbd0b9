// The window's two dialogs, as the model asks them: the preview of a panel's cleaning, with its
// items to untick, and the list of the user's cleanings to undo. The Win32 view shows them as
// native dialogs; the model's tests answer them from a script.
#pragma once

#include <optional>
#include <string>
#include <vector>

// One item the preview found, as the dialog shows it.
struct PreviewRow {
    std::string group; // the caption of the option that acts on it
    std::string kind;  // "File", "Key", "Directory", ...
    std::string path;
    // Empty for an item the user may untick; otherwise why it shows as it does: kept, refused,
    // or acted on whatever is ticked.
    std::string note;
    bool can_tick = true;
    bool ticked = true; // goes
};

enum class PreviewChoice {
    Close,        // nothing cleaned
    Clean,        // clean exactly the rows left ticked
    EditKeepList, // show the user's keep list, then the preview again
};

struct PreviewAnswer {
    PreviewChoice choice = PreviewChoice::Close;
    std::vector<bool> ticked; // one a row, as the dialog left them
    bool always_keep = false; // "Always keep the items I untick"
};

// One of the user's cleanings that has a backup.
struct UndoRow {
    int number = 0;
    std::string made;  // when its backup was completed, "2026-12-08 17:09 UTC"
    std::string holds; // "2 keys, 1 file (Vesk30.ini)", or why it cannot be restored
};

class WindowDialogs {
public:
    virtual ~WindowDialogs() = default;
    // The preview; can_clean false (only previews are allowed) leaves "Clean" out.
    virtual PreviewAnswer preview(const std::vector<PreviewRow>& rows, bool can_clean) = 0;
    // The user's keep list, to remove entries from: the list as the user left it, or nullopt
    // when it was closed unchanged.
    virtual std::optional<std::vector<std::string>>
    edit_keep_list(const std::vector<std::string>& patterns) = 0;
    // The cleanings to undo: the number of the one chosen, or nullopt when closed.
    virtual std::optional<int> choose_cleaning_to_undo(const std::vector<UndoRow>& rows) = 0;
};
