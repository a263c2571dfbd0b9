// The window's colours against the real system colours under Wine.
#include "window/win32/display.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// A theme's text colour changed for the test and put back afterwards, whatever happens.
class SystemTextColour {
public:
    explicit SystemTextColour(COLORREF colour) : saved_(GetSysColor(COLOR_BTNTEXT)) { set(colour); }
    ~SystemTextColour() { set(saved_); }
    SystemTextColour(const SystemTextColour&) = delete;
    SystemTextColour& operator=(const SystemTextColour&) = delete;

private:
    static void set(COLORREF colour) {
        const int element = COLOR_BTNTEXT;
        SetSysColors(1, &element, &colour);
    }
    COLORREF saved_;
};

TEST(DisplayTest, TheNotesAreRedAndTakeTheThemesTextColourInHighContrast) {
    const SystemTextColour theme(RGB(255, 255, 0));
    ASSERT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(255, 255, 0));
    EXPECT_EQ(win32::note_colour(true), RGB(255, 255, 0));
    EXPECT_EQ(win32::note_colour(false), RGB(255, 0, 0));
}

} // namespace
