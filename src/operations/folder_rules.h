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

// A name from a folder listing that may be joined to its folder's path: not "." or "..", and no
// separator, drive or stream colon, wildcard or other character Windows forbids in names, and
// no dot or blank at its end, which Windows drops when it reads a path. Windows never lists
// another name, but Wine lists a Unix name as it is: "x.$\..\..\victim.txt" joined to the
// host folder names a file two levels up.
bool is_plain_entry_name(std::string_view name);
// The reason given for an entry whose name is not plain.
inline constexpr std::string_view kNotAPlainName = "a name that is not a plain file name";
