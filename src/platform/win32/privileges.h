// The privileges that loading and unloading a user hive need.
#pragma once

namespace win32 {

// Enables the backup and restore privileges while any holder lives, on any thread. They are the
// process token's, which every thread shares: the first holder enables them and the last puts
// them back as they were, so that one thread that is done with a hive never takes them from
// another that is still loading or unloading one. (Impersonation would give each thread a token
// of its own instead, but every other call of that thread would then run under it too.)
class HivePrivileges {
public:
    HivePrivileges();
    ~HivePrivileges();
    HivePrivileges(const HivePrivileges&) = delete;
    HivePrivileges& operator=(const HivePrivileges&) = delete;
};

} // namespace win32
