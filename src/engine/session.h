// What a front end holds while one cleaning or restore of its own runs: the locks that keep a
// second cleaning (window or console program, in this session or another) from running
// meanwhile, and the run's numbered
// log, closed when the session ends - after the front end has told the user, so that the
// window can name the log while it is still open. The window and the console program start
// every run that changes anything through one.
#pragma once

#include "log/cleaning_log.h"
#include "platform/platform.h"

#include <memory>
#include <string_view>

inline constexpr std::string_view kAnotherCleaningRuns =
    "Another cleaning is running. Try again when it has finished.";
// What both front ends say when no log could be made, each in its own layout.
inline constexpr std::string_view kNoLogIn = "No cleaning log could be created in:";
inline constexpr std::string_view kNothingCleaned = "Nothing was cleaned.";

// Which profiles' locks a session takes.
enum class SessionProfiles {
    Own,  // the running user's: the run works in no other
    Each, // none: a run over every profile takes each one's for its part
};

class CleaningSession {
public:
    // Takes the session's lock and, for the user's own run, its profile's; nothing may run while
    // held() is false: another cleaning holds one of them.
    CleaningSession(platform::System& system, CleaningLog& log,
                    SessionProfiles profiles = SessionProfiles::Own);
    ~CleaningSession();
    CleaningSession(const CleaningSession&) = delete;
    CleaningSession& operator=(const CleaningSession&) = delete;

    bool held() const { return lock_ != nullptr; }

private:
    CleaningLog& log_;
    std::unique_ptr<platform::CleaningLock> lock_;
    std::unique_ptr<platform::CleaningLock> profile_lock_;
};
