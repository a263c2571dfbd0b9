// A plan as VeskClean /preview ... /plan:FILE writes it and /apply:FILE reads it: one JSON object
// a line, each ended by CR LF - the header (where and for whom, the options), an item a line,
// and an end that holds the SHA-256 of every byte before it. The digest is the plan's name: an
// approver who quotes it (/expect:) binds the cleaning to exactly that plan.
#pragma once

#include "model/plan.h"

#include <string>
#include <string_view>
#include <variant>

// The plan's text, and its SHA-256 as its end holds it.
struct PlanText {
    std::string text;
    std::string sha256;
};
PlanText plan_file_text(const Plan& plan);

struct PlanFile {
    Plan plan;
    std::string sha256; // as its end holds it, lower-case hex
};
// The plan, or why it is not one this program wrote and nobody changed since.
std::variant<PlanFile, std::string> read_plan_file(std::string_view bytes);
