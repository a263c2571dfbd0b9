// The cleaning's options as data: one row each, in the runs' fixed order (the standard panel's,
// then the advanced panel's). The run, the console program's switches and usage, and the
// window's boxes and confirmation all read this table, so an option is one row and the
// operation it runs.
#pragma once

#include "operations/context.h"

#include <array>
#include <string_view>

struct CleaningOptions {
    // The standard panel, in its order.
    bool registry_settings = false;
    bool configuration_settings = false;
    bool temporary_files = false;
    bool project_folders = false;
    bool toolbar_settings = false;
    bool opengl_settings = false;
    // The advanced panel, in its order.
    bool access_rights = false;
    bool store_program_files = false;
    bool store_program_data = false;
};

enum class Panel { Standard, Advanced };
// Where an option's items live: once on the machine (the host folder, the Windows folder), or in
// each user's profile (the program-settings keys, the virtual stores).
enum class Scope { Machine, User };

// A check box of the window, as the program names it: "Check1" with index 2 is Check1(2); -1
// for a box that is no member of a control array.
struct WindowBox {
    std::string_view name;
    int index = -1;
};

struct OptionRow {
    bool CleaningOptions::*chosen;
    std::string_view switch_name; // the console program's switch, without its "/"
    std::string_view meaning;     // what the console's usage says of it
    Panel panel;
    Scope scope;
    WindowBox box;
    bool first_choice;             // ticked when the window opens; what /standard means
    std::string_view confirmation; // its line in the standard panel's question; the advanced
                                   // panel asks about the folders themselves
    std::string_view procedure;    // what the run names while the option's operation works
    void (*run)(Context& context, std::string_view log_name);
};

inline constexpr std::size_t kOptionCount = 9;
extern const std::array<OptionRow, kOptionCount> kOptionTable;

bool any_chosen(const CleaningOptions& options);
