// The window's dialogs as native modal dialogs, owned by the window while it exists.
#pragma once

#include "platform/win32/user_interface.h"
#include "window/dialogs.h"

#include <windows.h>

namespace win32 {

// The window's thread alone calls it. The program initialises the list-view classes
// (ICC_LISTVIEW_CLASSES) before the first dialog.
class Dialogs final : public WindowDialogs {
public:
    Dialogs(UserInterface& ui, HINSTANCE instance) : ui_(ui), instance_(instance) {}

    PreviewAnswer preview(const std::vector<PreviewRow>& rows, bool can_clean) override;
    std::optional<std::vector<std::string>>
    edit_keep_list(const std::vector<std::string>& patterns) override;
    std::optional<int> choose_cleaning_to_undo(const std::vector<UndoRow>& rows) override;

private:
    UserInterface& ui_;
    HINSTANCE instance_;
};

} // namespace win32
