#include "log/cleaning_log.h"

#include "platform/text.h"

#include <vector>

namespace {

constexpr std::string_view kPrefix = "Cleaning";
constexpr std::string_view kSuffix = ".log";

std::string log_name(int number) {
    return std::string(kPrefix) + std::to_string(number) + std::string(kSuffix);
}

} // namespace

int log_number_of(std::string_view name) {
    if (name.size() <= kPrefix.size() + kSuffix.size() ||
        !platform::iequals(name.substr(0, kPrefix.size()), kPrefix) ||
        !platform::iequals(name.substr(name.size() - kSuffix.size()), kSuffix)) {
        return 0;
    }
    const std::string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    if (digits.size() > 5 || digits.front() == '0') {
        return 0;
    }
    int number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + (c - '0');
    }
    return number <= kLastLogNumber ? number : 0;
}

std::string ChooseLogFileName(platform::Folder& VeskPath, int first_number,
                              const std::set<int>& also_taken) {
    // Any entry takes its name, hidden, system or folder alike: a log must never empty an
    // existing file, and a folder of that name would make the creation fail.
    std::vector<bool> taken(kLastLogNumber + 1, false);
    try {
        for (const platform::DirEntry& entry : VeskPath.list()) {
            taken[static_cast<std::size_t>(log_number_of(entry.name))] = true;
        }
    } catch (const platform::Failure&) {
        return {};
    }
    for (int number = first_number; number <= kLastLogNumber; ++number) {
        if (!taken[static_cast<std::size_t>(number)] && !also_taken.contains(number)) {
            return log_name(number);
        }
    }
    return {};
}

std::string ChooseLogFileName(platform::FileSystem& files, std::string_view VeskPath,
                              int first_number) {
    const platform::OpenedFolder opened =
        platform::open_checked(files, VeskPath, platform::Use::Read);
    return opened.folder ? ChooseLogFileName(*opened.folder, first_number) : std::string();
}

std::string CleaningLog::open_new(platform::Folder& VeskPath, const std::set<int>& also_taken) {
    int first_number = 1;
    while (true) {
        std::string name = ChooseLogFileName(VeskPath, first_number, also_taken);
        if (name.empty()) {
            return name;
        }
        platform::CreateResult created = VeskPath.create_text_file(name);
        switch (created.status) {
        case platform::CreateStatus::Created:
            file_ = std::move(created.file);
            return name;
        case platform::CreateStatus::AlreadyExists:
            first_number = log_number_of(name) + 1;
            break;
        case platform::CreateStatus::Failed:
            throw platform::Failure(created.reason);
        }
    }
}

std::string CleaningLog::open_new(platform::FileSystem& files, std::string_view VeskPath) {
    const platform::OpenedFolder opened =
        platform::open_checked(files, VeskPath, platform::Use::Read);
    if (!opened.folder) {
        throw platform::Failure(opened.reason);
    }
    return open_new(*opened.folder);
}

std::string pad_to_zone(std::string_view label) {
    std::string padded(label);
    const std::size_t remainder = padded.size() % CleaningLog::kZoneWidth;
    if (remainder != 0) {
        padded.append(CleaningLog::kZoneWidth - remainder, ' ');
    } else if (!padded.empty() && padded.back() != ' ') {
        // A label that fills its zone without a blank of its own would run into its value.
        padded.append(CleaningLog::kZoneWidth, ' ');
    }
    return padded;
}

void CleaningLog::write_line(std::string_view label, std::string_view value) {
    write_line(pad_to_zone(label) + std::string(value));
}

void CleaningLog::write_line(std::string_view text) {
    if (!file_) {
        throw platform::Failure("Bad file name or number");
    }
    file_->write(std::string(text) + "\r\n");
    if (line_listener_) {
        line_listener_(text);
    }
}

void CleaningLog::write_refusal(std::string_view label, std::string_view path,
                                std::string_view reason) {
    write_line(label, std::string(path) + " (" + std::string(reason) + ")");
}

void CleaningLog::close() {
    file_.reset();
}
