// /detect: what a preview would list, told to a device-management tool the way it reads a
// detection program - one line of standard output, at most 2,048 bytes with its line end,
// nothing on standard error, and exit code 1 when the remediation has work to do.
#pragma once

#include "console/console_streams.h"
#include "console/json.h"
#include "engine/cleaning_run.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The most a detection writes, its line end included.
inline constexpr std::size_t kMostDetectionBytes = 2048;

// Counts the items a preview hands its observer, by kind: those the cleaning would clean and
// those it would leave (a key it could not back up, a name it refuses). Fed by the observer's
// events, so one tally can take several previews.
class DetectionTally {
public:
    void count(const ItemEvent& item);
    void add_failure(std::string text) { failures_.push_back(std::move(text)); }

    // Something would be cleaned, or a failure kept the preview from seeing everything: either
    // way the remediation has to run (and will report the failure itself).
    bool finds_work() const { return total(would_clean_) > 0 || !failures_.empty(); }
    // "14 items would be cleaned: 2 keys, 3 settings files, 9 files." or "Nothing to clean.",
    // with what would be left, then the note (what the policy left out), then what failed: the
    // note before the failures, whose texts have no bound, so that a cut never takes it.
    std::string text(std::string_view note = {}) const;
    // The JSON summary's counts: cleaned, left, failures, and the cleaned by kind.
    void add_counts(JsonObject& summary) const;

private:
    using ByKind = std::array<std::size_t, static_cast<std::size_t>(TargetKind::FolderRights) + 1>;
    static std::size_t total(const ByKind& counts);
    static std::string kinds_text(const ByKind& counts);

    ByKind would_clean_{};
    ByKind would_leave_{};
    std::vector<std::string> failures_;
};

// Takes every line the program would write, to standard output or standard error, and writes
// them as one line of standard output, cut to fit kMostDetectionBytes, when told to. The lines
// of standard error go where they are not kept: with /json the summary holds the error, and
// /quiet prints nothing (standard output takes nothing under /quiet in the first place).
class OneLineStreams final : public ConsoleStreams {
public:
    OneLineStreams(ConsoleStreams& streams, bool keep_errors)
        : streams_(streams), keep_errors_(keep_errors) {}

    void out(std::string_view line) override { add(line); }
    void err(std::string_view line) override {
        if (keep_errors_) {
            add(line);
        }
    }
    void write();

private:
    void add(std::string_view line);

    ConsoleStreams& streams_;
    bool keep_errors_;
    std::string line_;
};
