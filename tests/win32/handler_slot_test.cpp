// A console handler's object against its owner: the test's second thread plays the handler the
// system starts for an event, and the test's own thread the owner that lets the object go.
#include "platform/win32/cross_thread.h"
#include "platform/win32/handler_slot.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

namespace {

// Long enough for the owner, once let go, to have destroyed the object under a handler.
constexpr DWORD kMoment = 200;

struct Streams {
    std::atomic<bool> alive = true;
};

TEST(HandlerSlotTest, TheObjectOutlivesAHandlerThatUsesItAndALaterHandlerFindsNone) {
    static constinit win32::HandlerSlot<Streams> slot;
    Streams streams;
    slot.put(streams);
    win32::Event inside;
    win32::Event gone;
    bool seen_alive = false;
    bool used = false;
    std::thread handler([&] {
        used = slot.use([&](Streams& found) {
            inside.set();
            // Its owner lets it go meanwhile; it may not be gone before the handler returns.
            WaitForSingleObject(gone.handle(), kMoment);
            seen_alive = found.alive;
        });
    });
    WaitForSingleObject(inside.handle(), INFINITE);
    slot.take_out();
    streams.alive = false;
    gone.set();
    handler.join();
    EXPECT_TRUE(used);
    EXPECT_TRUE(seen_alive);

    bool called = false;
    EXPECT_FALSE(slot.use([&](Streams&) { called = true; }));
    EXPECT_FALSE(called);
}

} // namespace
