// Just enough JSON for the console program's output: objects of strings, numbers, objects and
// lists of strings, one a line; and for reading back the flat objects it writes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The text as a JSON string, quotes included. UTF-8 passes through; quotes, backslashes and
// control characters are escaped.
std::string json_string(std::string_view utf8);

// Builds {"name":value,...} in the order the members are added.
class JsonObject {
public:
    JsonObject& add(std::string_view name, std::string_view text);
    JsonObject& add(std::string_view name, std::uint64_t number);
    JsonObject& add_null(std::string_view name);
    JsonObject& add_object(std::string_view name, const JsonObject& object);
    JsonObject& add_list(std::string_view name, const std::vector<std::string_view>& texts);
    // Named apart from add: a string literal would take a bool overload before a string_view.
    JsonObject& add_flag(std::string_view name, bool value);
    std::string text() const { return body_ + "}"; }

private:
    void name(std::string_view member);
    std::string body_ = "{";
};

// A member's value in a flat object: text, a whole number, a flag, or a list of texts.
using JsonValue = std::variant<std::string, std::uint64_t, bool, std::vector<std::string>>;
using JsonFields = std::map<std::string, JsonValue, std::less<>>;
// The members of one object as JsonObject writes it: nothing but blanks around it, no member
// named twice, no nested object, numbers whole and unsigned. nullopt for anything else.
std::optional<JsonFields> parse_json_object(std::string_view text);
