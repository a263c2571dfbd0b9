#include "console/json.h"

#include <cstdio>

std::string json_string(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonObject::name(std::string_view member) {
    if (body_.size() > 1) {
        body_ += ',';
    }
    body_ += json_string(member);
    body_ += ':';
}

JsonObject& JsonObject::add(std::string_view member, std::string_view text) {
    name(member);
    body_ += json_string(text);
    return *this;
}

JsonObject& JsonObject::add(std::string_view member, std::uint64_t number) {
    name(member);
    body_ += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::add_flag(std::string_view member, bool value) {
    name(member);
    body_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::add_object(std::string_view member, const JsonObject& object) {
    name(member);
    body_ += object.text();
    return *this;
}

JsonObject& JsonObject::add_list(std::string_view member,
                                 const std::vector<std::string_view>& texts) {
    name(member);
    body_ += '[';
    for (const std::string_view text : texts) {
        body_ += body_.back() == '[' ? "" : ",";
        body_ += json_string(text);
    }
    body_ += ']';
    return *this;
}

JsonObject& JsonObject::add_null(std::string_view member) {
    name(member);
    body_ += "null";
    return *this;
}
