#include "console/console_reporter.h"

#include "console/console_policy.h"
#include "console/json.h"
#include "engine/profiles.h"

#include <cstdint>

namespace {

std::string_view outcome_name(const ItemEvent& item) {
    switch (item.outcome.outcome) {
    case Outcome::Restored:
        return "restored";
    case Outcome::NotRestored:
        return "not restored";
    case Outcome::Done:
        return words_of(item.target.kind).json_done;
    case Outcome::Previewed:
        return words_of(item.target.kind).json_previewed;
    case Outcome::Refused:
        return "refused";
    case Outcome::NotBackedUp:
        return "not backed up";
    case Outcome::Kept:
        return "kept";
    case Outcome::Missing:
        break;
    }
    return "missing";
}

// The preview's line for an item: what would be done, or what would not and why.
std::string preview_line(const ItemEvent& item) {
    const KindWords& words = words_of(item.target.kind);
    const std::string path = shown_path(item.target, item.key_root);
    if (item.outcome.outcome == Outcome::Previewed) {
        return std::string(words.would) + path;
    }
    if (item.outcome.outcome == Outcome::Kept) {
        return "Would keep " + path + " (" + item.outcome.reason + ")";
    }
    return std::string(words.would_not) + path + " (" + item.outcome.reason + ")";
}

void add_path(JsonObject& summary, std::string_view name, const std::string& path) {
    if (path.empty()) {
        summary.add_null(name);
    } else {
        summary.add(name, path);
    }
}

} // namespace

void ConsoleReporter::item_handled(const ItemEvent& item) {
    if (kind() == RunKind::Detect) {
        detection_.count(item);
    } else if (request_.json) {
        JsonObject object;
        object.add("type", "item")
            .add("outcome", outcome_name(item))
            .add("kind", words_of(item.target.kind).json)
            .add("path", shown_path(item.target, item.key_root));
        if (!item.outcome.reason.empty()) {
            object.add("reason", item.outcome.reason);
        }
        if (profile_) {
            object.add("user", profile_->sid).add("profile", profile_->folder);
        }
        out(object.text());
    } else if (kind() == RunKind::Preview && item.outcome.outcome != Outcome::Missing) {
        out(preview_line(item));
    }
}

void ConsoleReporter::failure_trapped(const TrappedFailure& failure) {
    if (kind() == RunKind::Detect) {
        detection_.add_failure(failure.box_text);
        return;
    }
    streams_.err(failure.box_text);
    if (request_.json) {
        out(JsonObject().add("type", "failure").add("message", failure.box_text).text());
    }
}

void ConsoleReporter::line_written(std::string_view line) {
    if (!request_.json) {
        out(line);
    }
}

void ConsoleReporter::profile_started(const Profile& profile) {
    profile_ = profile;
    // A cleaning's text output has the line from the log; a preview keeps none.
    if (kind() == RunKind::Preview && !request_.json) {
        out(profile_line(profile));
    }
}

void ConsoleReporter::profile_left_out(const LeftOutProfile& left_out) {
    if (kind() == RunKind::Preview && !request_.json) {
        out(left_out_line(left_out));
    }
}

void ConsoleReporter::say(std::string_view line) {
    if (!request_.json) {
        out(line);
    }
}

void ConsoleReporter::tell_plan(std::string path, std::string sha256) {
    say("Plan written to: " + path);
    say("Its SHA-256: " + sha256);
    plan_path_ = std::move(path);
    plan_sha256_ = std::move(sha256);
}

void ConsoleReporter::say_left_out() {
    if (!left_out_.empty()) {
        say(left_out_text(left_out_));
    }
}

std::string ConsoleReporter::left_out_note() const {
    return left_out_text(left_out_);
}

int ConsoleReporter::finish(int exit_code, const RunReport& report, std::string_view error) {
    if (request_.json && kind() == RunKind::Restore) {
        finish_restore_summary(exit_code, report, error);
    } else if (request_.json && kind() == RunKind::Detect) {
        finish_detection_summary(exit_code, error);
    } else if (request_.json) {
        JsonObject summary;
        summary.add("type", "summary")
            .add("mode", kind() == RunKind::Preview ? "preview" : "clean")
            .add("done", report.done)
            .add("previewed", report.previewed)
            .add("refused", report.refused)
            .add("missing", report.missing)
            .add("kept", report.kept)
            .add("failures", report.trapped.size() + (report.uncovered ? 1u : 0u))
            .add_flag("stopped", report.stopped);
        add_path(summary, "log", report.log_path);
        add_path(summary, "backup", report.backup_folder);
        finish_summary(summary, exit_code, error);
    }
    return exit_code;
}

// A restore's summary says what it put back and what it left.
void ConsoleReporter::finish_restore_summary(int exit_code, const RunReport& report,
                                             std::string_view error) {
    JsonObject summary;
    summary.add("type", "summary")
        .add("mode", "restore")
        .add("restored", report.done)
        .add("left", report.refused)
        .add_flag("stopped", report.stopped);
    add_path(summary, "log", report.log_path);
    finish_summary(summary, exit_code, error);
}

void ConsoleReporter::finish_detection_summary(int exit_code, std::string_view error) {
    JsonObject summary;
    summary.add("type", "summary").add("mode", "detect");
    detection_.add_counts(summary);
    finish_summary(summary, exit_code, error);
}

void ConsoleReporter::out(std::string_view line) {
    if (!request_.quiet) {
        streams_.out(line);
    }
}

void ConsoleReporter::finish_summary(JsonObject& summary, int exit_code, std::string_view error) {
    if (!left_out_.empty()) {
        summary.add_list("left_out_by_policy", left_out_);
    }
    if (!plan_path_.empty()) {
        summary.add("plan", plan_path_).add("plan_sha256", plan_sha256_);
    }
    if (!error.empty()) {
        summary.add("error", error);
    }
    out(summary.add("exit_code", static_cast<std::uint64_t>(exit_code)).text());
}
