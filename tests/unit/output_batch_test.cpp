// Standard output in batches: nothing lost or reordered, and never held too long or too much.
#include "console/output_batch.h"

#include <gtest/gtest.h>

namespace {

using Clock = OutputBatch::Clock;
using std::chrono::milliseconds;

TEST(OutputBatchTest, HoldsLinesInOrderWithTheirLineEndsUntilTaken) {
    OutputBatch batch;
    const Clock::time_point start{};
    EXPECT_FALSE(batch.add("Deleted File: a.$$$", start));
    EXPECT_FALSE(batch.add("", start + milliseconds(1)));
    EXPECT_FALSE(batch.add("Deleted File: b.$$$", start + milliseconds(2)));
    EXPECT_EQ(batch.take(), "Deleted File: a.$$$\r\n\r\nDeleted File: b.$$$\r\n");
    EXPECT_TRUE(batch.empty());
    EXPECT_EQ(batch.take(), "");
}

TEST(OutputBatchTest, IsDueOnceAPieceIsFull) {
    OutputBatch batch;
    const std::string line(998, 'x');
    std::size_t lines = 0;
    while (!batch.add(line, Clock::time_point{})) {
        ++lines;
    }
    // A thousand bytes a line with its end: due with the line that reaches the piece's size.
    EXPECT_EQ(lines + 1, (OutputBatch::kPieceBytes + 999) / 1000);
    EXPECT_EQ(batch.take().size(), (lines + 1) * 1000);
}

TEST(OutputBatchTest, IsDueOnceItsOldestLineIsHeldTooLongCountedAfreshAfterATake) {
    OutputBatch batch;
    const Clock::time_point start{};
    EXPECT_FALSE(batch.add("first", start));
    EXPECT_FALSE(batch.add("second", start + OutputBatch::kLongestHold - milliseconds(1)));
    EXPECT_TRUE(batch.add("third", start + OutputBatch::kLongestHold));
    batch.take();
    // The next batch's age runs from its own first line.
    const Clock::time_point later = start + 3 * OutputBatch::kLongestHold;
    EXPECT_FALSE(batch.add("fourth", later));
    EXPECT_FALSE(batch.add("fifth", later + OutputBatch::kLongestHold - milliseconds(1)));
}

} // namespace
