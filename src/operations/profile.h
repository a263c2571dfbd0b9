// A user profile of the machine, as a run over every profile names it.
#pragma once

#include <string>
#include <string_view>

struct Profile {
    std::string sid;    // "S-1-5-21-..."
    std::string folder; // the profile's folder, as ProfileList names it, expanded
    std::string user;   // "DOMAIN\name"; empty when the SID does not resolve
    bool own = false;   // the running user's
};

// A profile of the machine's list that a run over every profile leaves out, and why.
struct LeftOutProfile {
    Profile profile; // its folder as far as it is known
    std::string why;
};

// Whether text is a user account's SID as ProfileList names them: "S-1-5-21-" and numbers.
bool is_user_sid(std::string_view text);
