// The window's dialogs shown for real and answered from the keyboard: a second thread waits for
// the dialog by its title and posts keys to its list, as a user's keystrokes arrive.
#include "platform/win32/user_interface.h"
#include "window/win32/dialogs.h"

#include <chrono>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

// What the second thread saw of the dialog before its keys.
struct Seen {
    bool clean_button = false;
    int default_id = 0;
    bool ended_by_keys = false;
};

HWND wait_for_dialog(const wchar_t* title) {
    for (int tries = 0; tries < 400; ++tries) {
        // Shown only once its controls are made and filled.
        const HWND dialog = FindWindowW(L"#32770", title);
        if (dialog && IsWindowVisible(dialog)) {
            return dialog;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// Presses the keys on the dialog's list (a list view, or the list box of window_class); closes
// the dialog should they not end it, so that a failing case fails instead of hanging.
void answer_with_keys(const wchar_t* title, const std::vector<UINT>& keys, Seen& seen,
                      const wchar_t* list_class = WC_LISTVIEWW) {
    const HWND dialog = wait_for_dialog(title);
    if (!dialog) {
        return;
    }
    seen.clean_button = FindWindowExW(dialog, nullptr, WC_BUTTONW, L"Clean") != nullptr;
    DWORD_PTR default_id = 0;
    SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_NORMAL, 5000, &default_id);
    seen.default_id = LOWORD(default_id);
    const HWND list = FindWindowExW(dialog, nullptr, list_class, nullptr);
    for (const UINT key : keys) {
        PostMessageW(list, WM_KEYDOWN, key, 1);
        PostMessageW(list, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    }
    for (int tries = 0; tries < 100 && IsWindow(dialog); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    seen.ended_by_keys = !IsWindow(dialog);
    if (!seen.ended_by_keys) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_COMMAND, IDCANCEL, 0, SMTO_NORMAL, 5000, &ignored);
    }
}

class DialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&classes);
    }
    win32::UserInterface ui;
    win32::Dialogs dialogs{ui, GetModuleHandleW(nullptr)};
};

struct PreviewCase {
    const char* name;
    bool can_clean;
    std::vector<UINT> keys;
    PreviewChoice choice;
    std::vector<bool> ticked;
};

TEST_F(DialogsTest, ThePreviewTakesTicksFromTheKeyboardExceptOnRowsThatMayNotChange) {
    // The second row may not be unticked; the third starts unticked.
    const std::vector<PreviewRow> rows{
        {"Delete VESK Temp Files", "File", "C:\\t\\a.tmp", "", true, true},
        {"Delete VESK Temp Files", "File", "C:\\t\\b.tmp", "In use", false, true},
        {"Delete VESK Configuration Settings", "Key", "HKCU\\Software\\TOLM", "", true, false},
    };
    const std::vector<PreviewCase> cases{
        {"space unticks the first row",
         true,
         {VK_SPACE, VK_RETURN},
         PreviewChoice::Clean,
         {false, true, false}},
        {"space leaves a fixed row",
         true,
         {VK_DOWN, VK_SPACE, VK_RETURN},
         PreviewChoice::Clean,
         {true, true, false}},
        {"space ticks an unticked row, escape closes",
         true,
         {VK_DOWN, VK_DOWN, VK_SPACE, VK_ESCAPE},
         PreviewChoice::Close,
         {true, true, true}},
        {"without cleaning, enter closes",
         false,
         {VK_SPACE, VK_RETURN},
         PreviewChoice::Close,
         {false, true, false}},
    };
    for (const PreviewCase& test : cases) {
        SCOPED_TRACE(test.name);
        Seen seen;
        std::jthread user([&] { answer_with_keys(L"Preview of the Cleaning", test.keys, seen); });
        const PreviewAnswer answer = dialogs.preview(rows, test.can_clean);
        user.join();
        EXPECT_TRUE(seen.ended_by_keys);
        EXPECT_EQ(seen.clean_button, test.can_clean);
        EXPECT_EQ(seen.default_id, test.can_clean ? IDOK : IDCANCEL);
        EXPECT_EQ(answer.choice, test.choice);
        EXPECT_EQ(answer.ticked, test.ticked);
        EXPECT_FALSE(answer.always_keep);
    }
}

TEST_F(DialogsTest, TheCleaningToUndoIsTheRowChosenWithEnter) {
    const std::vector<UndoRow> rows{{4, "2026-12-08 17:09 UTC", "2 keys"},
                                    {7, "2026-12-09 08:30 UTC", "1 file (Vesk30.ini)"}};
    const std::vector<std::pair<std::vector<UINT>, std::optional<int>>> cases{
        {{VK_DOWN, VK_RETURN}, 7},
        {{VK_RETURN}, 4},
        {{VK_DOWN, VK_ESCAPE}, std::nullopt},
    };
    for (const auto& [keys, chosen] : cases) {
        Seen seen;
        std::jthread user([&] { answer_with_keys(L"Undo a Cleaning", keys, seen); });
        EXPECT_EQ(dialogs.choose_cleaning_to_undo(rows), chosen);
        user.join();
        EXPECT_TRUE(seen.ended_by_keys);
    }
}

TEST_F(DialogsTest, DeleteRemovesTheSelectedPatternsAndOnlyOkWithARemovalChangesTheKeepList) {
    const std::vector<std::string> patterns{"*.tmp", "Vesk30.ini", "C:\\keep\\*"};
    const std::vector<std::pair<std::vector<UINT>, std::optional<std::vector<std::string>>>> cases{
        {{VK_DELETE, VK_RETURN}, std::vector<std::string>{"Vesk30.ini", "C:\\keep\\*"}},
        // The entry that takes a removed one's place is selected in turn.
        {{VK_DOWN, VK_DELETE, VK_DELETE, VK_RETURN}, std::vector<std::string>{"*.tmp"}},
        {{VK_DELETE, VK_ESCAPE}, std::nullopt},
        {{VK_RETURN}, std::nullopt},
    };
    for (const auto& [keys, kept] : cases) {
        Seen seen;
        std::jthread user([&] { answer_with_keys(L"Your Keep List", keys, seen, WC_LISTBOXW); });
        EXPECT_EQ(dialogs.edit_keep_list(patterns), kept);
        user.join();
        EXPECT_TRUE(seen.ended_by_keys);
    }
}

} // namespace
