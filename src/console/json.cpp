#include "console/json.h"

#include <cstdio>
#include <limits>

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

namespace {

// Reads one flat object; every read leaves at_ after what it took.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    std::optional<JsonFields> object() {
        JsonFields fields;
        if (!take('{')) {
            return std::nullopt;
        }
        if (!take('}')) {
            do {
                auto name = string();
                if (!name || !take(':')) {
                    return std::nullopt;
                }
                auto value = member_value();
                if (!value || !fields.emplace(std::move(*name), std::move(*value)).second) {
                    return std::nullopt;
                }
            } while (take(','));
            if (!take('}')) {
                return std::nullopt;
            }
        }
        skip_blanks();
        return at_ == text_.size() ? std::optional<JsonFields>(std::move(fields)) : std::nullopt;
    }

private:
    void skip_blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) {
            ++at_;
        }
    }
    bool take(char c) {
        skip_blanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool take_word(std::string_view word) {
        if (text_.substr(at_).starts_with(word)) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> member_value() {
        skip_blanks();
        if (at_ >= text_.size()) {
            return std::nullopt;
        }
        const char c = text_[at_];
        if (c == '"') {
            auto text = string();
            return text ? std::optional<JsonValue>(std::move(*text)) : std::nullopt;
        }
        if (c >= '0' && c <= '9') {
            return number();
        }
        if (take_word("true")) {
            return JsonValue(true);
        }
        if (take_word("false")) {
            return JsonValue(false);
        }
        if (c == '[') {
            return list();
        }
        return std::nullopt;
    }

    std::optional<JsonValue> number() {
        std::uint64_t value = 0;
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            const auto digit = static_cast<std::uint64_t>(text_[at_] - '0');
            if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                return std::nullopt;
            }
            value = value * 10 + digit;
            ++at_;
        }
        if (at_ - start > 1 && text_[start] == '0') {
            return std::nullopt;
        }
        return JsonValue(value);
    }

    std::optional<JsonValue> list() {
        take('[');
        std::vector<std::string> texts;
        if (take(']')) {
            return JsonValue(std::move(texts));
        }
        do {
            auto text = string();
            if (!text) {
                return std::nullopt;
            }
            texts.push_back(std::move(*text));
        } while (take(','));
        return take(']') ? std::optional<JsonValue>(std::move(texts)) : std::nullopt;
    }

    std::optional<std::string> string() {
        if (!take('"')) {
            return std::nullopt;
        }
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return std::nullopt;
            }
            switch (text_[at_++]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                // Only what the writer escapes this way: the control characters.
                if (at_ + 4 > text_.size() || text_.substr(at_, 2) != "00") {
                    return std::nullopt;
                }
                const int high = hex_digit(text_[at_ + 2]);
                const int low = hex_digit(text_[at_ + 3]);
                if (high < 0 || high > 1 || low < 0) {
                    return std::nullopt;
                }
                out += static_cast<char>(high * 16 + low);
                at_ += 4;
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    static int hex_digit(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::optional<JsonFields> parse_json_object(std::string_view text) {
    return JsonReader(text).object();
}
