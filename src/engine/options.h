// The cleaning's options as data: one row each, in the runs' fixed order (the standard panel's,
// then the advanced panel's). The run, the console program's switches and usage, the policy and
// its templates, and the window's boxes, captions and confirmations all read this table, so an
// option is a member, one row and the operation it runs, and its box's place in the window's
// stored layout (window/stored_layout.cpp).
#pragma once

#include "operations/context.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// What an advanced option's question names: the folders it works on, and whether they are there
// to work on (a virtual store may be missing, and then nothing is asked of it).
struct AskedFolders {
    std::vector<std::string> folders;
    bool found = true;
};

struct OptionRow {
    bool CleaningOptions::*chosen;
    std::string_view switch_name; // the console program's switch, without its "/"
    std::string_view meaning;     // what the console's usage says of it
    Panel panel;
    Scope scope;
    bool first_choice; // ticked when the window opens; what /standard means
    // The standard panel: its line in the panel's question. The advanced panel: its own question,
    // its folders at "{}", one a line, and the line breaks exactly as the question shows them.
    std::string_view confirmation;
    std::string_view procedure; // what the run names while the option's operation works
    void (*run)(Context& context, std::string_view log_name);
    // The advanced panel: the folders its question names.
    AskedFolders (*asked)(Context& context) = nullptr;
};

// In the runs' order; its size is the number of options.
extern const std::span<const OptionRow> kOptionTable;

bool any_chosen(const CleaningOptions& options);
