// Which folder paths the wizard works on. A path that is not full would be taken relative to
// the current drive or folder, and one that resolves to a root would widen the work from the
// suite's folder to a whole drive or share.
#pragma once

#include <string_view>

// A full path ("X:\...", "\\server\share\...", or either in the "\\?\" form) with at least one
// name below its drive or share root, none of which Windows would resolve to another folder
// ("." and "..", or any name of dots and blanks only), and no character that Windows forbids in
// names: such a character would be a wildcard, a stream name or a quote to a tool.
bool is_plain_folder_path(std::string_view path);
