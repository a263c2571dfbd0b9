// A plan: what a preview found to clean, each item with what it was then, so that a cleaning
// approved from it later takes exactly those items, as they were.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Where and for whom the plan was made: a plan applies only there.
struct PlanHeader {
    std::string computer;
    std::string user;
    std::string host; // the suite's data folder
    bool every_profile = false;
    std::vector<std::string> options; // the options' switch names, in the runs' order
};

struct PlanItem {
    std::string kind;     // as the JSON output names the kind: "file", "key", ...
    std::string path;     // the full name, as the log writes it
    std::string identity; // what it was: see identity_of
    bool met = false;     // reached by the cleaning that applies the plan
};

// The reasons a cleaning that applies a plan gives for an item it leaves.
inline constexpr std::string_view kChangedSincePreview = "changed since the preview";
inline constexpr std::string_view kNotInThePlan = "not in the plan";
inline constexpr std::string_view kGoneSincePreview = "gone since the preview";
// Over every profile, a profile skipped (its hive would not load, another run held it) is not
// looked into: its items are not met either.
inline constexpr std::string_view kGoneOrNotCleaned =
    "gone since the preview, or its profile was not cleaned";

// What a cleaning that applies the plan makes of an item it reaches.
enum class PlanVerdict { Goes, NotListed, Changed };

class Plan {
public:
    PlanHeader header;

    void add(std::string kind, std::string path, std::string identity);
    std::vector<PlanItem>& items() { return items_; }
    const std::vector<PlanItem>& items() const { return items_; }
    // Finds the item (kind and full name, the name in any letter case) and marks it met; Goes
    // when it is as the plan says.
    PlanVerdict judge(std::string_view kind, std::string_view path, std::string_view identity);
    // Marks the item met without judging it: the run leaves it for another reason.
    void meet(std::string_view kind, std::string_view path);
    // The item of that kind and full name (in any letter case); null when the plan has none.
    const PlanItem* find(std::string_view kind, std::string_view path) const;

private:
    static std::u32string key_of(std::string_view kind, std::string_view path);
    PlanItem* unmet(std::string_view kind, std::string_view path);

    std::vector<PlanItem> items_;
    std::unordered_map<std::u32string, std::size_t> index_; // by kind and folded name
};
