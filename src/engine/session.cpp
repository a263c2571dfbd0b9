#include "engine/session.h"

CleaningSession::CleaningSession(platform::System& system, CleaningLog& log,
                                 SessionProfiles profiles)
    : log_(log), lock_(system.lock_cleaning()) {
    if (!lock_ || profiles != SessionProfiles::Own) {
        return;
    }
    if (const std::string sid = system.current_user_sid(); !sid.empty()) {
        profile_lock_ = system.lock_profile(sid);
        if (!profile_lock_) {
            lock_.reset();
        }
    }
}

// The log is closed before the locks go: the next cleaning may choose its number only then.
CleaningSession::~CleaningSession() {
    log_.close();
}
