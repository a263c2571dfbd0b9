#include "window/run_executor.h"

#include <algorithm>

namespace {

std::string items(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

} // namespace

std::string progress_caption(std::string_view stored, const RunProgress& progress) {
    std::string caption(stored);
    if (progress.items_done == 0) {
        return caption;
    }
    caption += " (";
    if (progress.total && progress.items_done <= *progress.total) {
        caption += std::to_string(progress.items_done) + " of " + items(*progress.total);
    } else {
        // More than were counted: the folders gained items since. The count stays true.
        caption += items(progress.items_done);
    }
    return caption + ")";
}

BarPosition bar_position(const RunProgress& progress) {
    if (!progress.total || *progress.total == 0) {
        return {};
    }
    const std::size_t total = *progress.total;
    return {false, std::min(progress.items_done, total), total};
}

RunReport InlineExecutor::execute(Context& context, const AllowedRun& run,
                                  const ProgressShower& show) {
    tracker_.reset();
    return tracked_run(context, run, tracker_, [&] { show(tracker_.progress()); });
}
