// The window's dialogs, answered by the test: each dialog records what it showed and answers
// through the test's function, or closes when the test gave none.
#pragma once

#include "window/dialogs.h"

#include <functional>

struct ScriptedDialogs final : WindowDialogs {
    PreviewAnswer preview(const std::vector<PreviewRow>& rows, bool can_clean) override {
        previews.push_back(rows);
        could_clean.push_back(can_clean);
        return on_preview ? on_preview(rows) : PreviewAnswer{};
    }
    std::optional<std::vector<std::string>>
    edit_keep_list(const std::vector<std::string>& patterns) override {
        keep_lists.push_back(patterns);
        return on_keep_list ? on_keep_list(patterns) : std::nullopt;
    }
    std::optional<int> choose_cleaning_to_undo(const std::vector<UndoRow>& rows) override {
        undos.push_back(rows);
        return on_undo ? on_undo(rows) : std::nullopt;
    }

    std::function<PreviewAnswer(const std::vector<PreviewRow>&)> on_preview;
    std::function<std::optional<std::vector<std::string>>(const std::vector<std::string>&)>
        on_keep_list;
    std::function<std::optional<int>(const std::vector<UndoRow>&)> on_undo;
    std::vector<std::vector<PreviewRow>> previews;
    std::vector<bool> could_clean;
    std::vector<std::vector<std::string>> keep_lists;
    std::vector<std::vector<UndoRow>> undos;
};
