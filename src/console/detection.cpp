#include "console/detection.h"

#include <numeric>

namespace {

std::string items(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

// The text cut to at most size bytes, never inside a UTF-8 sequence, "..." marking the cut.
std::string cut_to(std::string text, std::size_t size) {
    if (text.size() <= size) {
        return text;
    }
    constexpr std::string_view kMark = "...";
    std::size_t end = size - kMark.size();
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text.append(kMark);
}

} // namespace

void DetectionTally::count(const ItemEvent& item) {
    const auto kind = static_cast<std::size_t>(item.target.kind);
    switch (item.outcome.outcome) {
    case Outcome::Previewed:
        ++would_clean_[kind];
        break;
    case Outcome::Refused:
    case Outcome::NotBackedUp:
        ++would_leave_[kind];
        break;
    default:
        // Found gone at its turn; a preview hands over nothing else.
        break;
    }
}

std::size_t DetectionTally::total(const ByKind& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::size_t{0});
}

// "2 keys, 1 settings file": the kinds with a count, in the kinds' order.
std::string DetectionTally::kinds_text(const ByKind& counts) {
    std::string text;
    for (std::size_t kind = 0; kind < counts.size(); ++kind) {
        if (counts[kind] == 0) {
            continue;
        }
        const KindWords& words = words_of(static_cast<TargetKind>(kind));
        text.append(text.empty() ? "" : ", ").append(std::to_string(counts[kind])).append(" ");
        text.append(counts[kind] == 1 ? words.one : words.many);
    }
    return text;
}

std::string DetectionTally::text(std::string_view note) const {
    const std::size_t cleaned = total(would_clean_);
    std::string text = cleaned == 0
                           ? std::string("Nothing to clean")
                           : items(cleaned) + " would be cleaned: " + kinds_text(would_clean_);
    if (const std::size_t left = total(would_leave_); left > 0) {
        text += "; " + items(left) + " would be left as " + (left == 1 ? "it is" : "they are") +
                ": " + kinds_text(would_leave_);
    }
    if (!note.empty()) {
        text.append(". ").append(note);
    }
    for (const std::string& failure : failures_) {
        text += "; " + failure;
    }
    return text + ".";
}

void DetectionTally::add_counts(JsonObject& summary) const {
    JsonObject kinds;
    for (std::size_t kind = 0; kind < would_clean_.size(); ++kind) {
        if (would_clean_[kind] > 0) {
            kinds.add(words_of(static_cast<TargetKind>(kind)).json, would_clean_[kind]);
        }
    }
    summary.add("cleaned", total(would_clean_))
        .add_object("kinds", kinds)
        .add("left", total(would_leave_))
        .add("failures", failures_.size());
}

void OneLineStreams::add(std::string_view line) {
    if (!line.empty()) {
        line_.append(line_.empty() ? "" : " ").append(line);
    }
}

void OneLineStreams::write() {
    if (!line_.empty()) {
        // The stream adds CR LF.
        streams_.out(cut_to(std::move(line_), kMostDetectionBytes - 2));
    }
    line_.clear();
}
