// What the console program shows of a run as it goes and at its end: text, JSON or nothing on
// standard output, as the command line asked; errors on standard error in every case.
#pragma once

#include "console/command_line.h"
#include "console/console_streams.h"
#include "console/detection.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ConsoleReporter final : public RunObserver {
public:
    ConsoleReporter(const ConsoleRequest& request, ConsoleStreams& streams,
                    const std::atomic<bool>& stop)
        : request_(request), streams_(streams), stop_(stop) {}

    void item_handled(const ItemEvent& item) override;
    void failure_trapped(const TrappedFailure& failure) override;
    void line_written(std::string_view line) override;
    bool stop_requested() override { return stop_.load(); }
    void profile_started(const Profile& profile) override;
    void profile_left_out(const LeftOutProfile& left_out) override;

    // A closing line of the text output.
    void say(std::string_view line);
    // The options the policy took out of /all or /standard, told before the closing lines.
    void set_left_out(std::vector<std::string_view> switches) { left_out_ = std::move(switches); }
    void say_left_out();
    // The plan a preview wrote, told in the text and named in the JSON summary.
    void tell_plan(std::string path, std::string sha256);
    std::string left_out_note() const;
    void error(std::string_view line) { streams_.err(line); }
    // The JSON output's last object; returns the exit code.
    int finish(int exit_code, const RunReport& report, std::string_view error = {});
    // The summary of a run that ended before it began.
    int finish_early(int exit_code, std::string_view error) {
        return finish(exit_code, RunReport{}, error);
    }
    DetectionTally& detection() { return detection_; }

private:
    RunKind kind() const { return request_.run.kind; }
    void finish_restore_summary(int exit_code, const RunReport& report, std::string_view error);
    void finish_detection_summary(int exit_code, std::string_view error);
    void finish_summary(JsonObject& summary, int exit_code, std::string_view error);
    void out(std::string_view line);

    const ConsoleRequest& request_;
    ConsoleStreams& streams_;
    const std::atomic<bool>& stop_;
    std::optional<Profile> profile_; // the profile whose items come now, in a run over all
    DetectionTally detection_;
    std::vector<std::string_view> left_out_;
    std::string plan_path_;
    std::string plan_sha256_;
};
