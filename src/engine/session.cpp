#include "engine/session.h"

CleaningSession::CleaningSession(platform::System& system, CleaningLog& log)
    : log_(log), lock_(system.lock_cleaning()) {}

// The log is closed before the lock goes: the next cleaning may choose its number only then.
CleaningSession::~CleaningSession() {
    log_.close();
}
