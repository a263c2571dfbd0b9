// Where the console program's text goes: standard output and standard error, one line a call,
// in UTF-8; the stream adds the line end.
#pragma once

#include "platform/platform.h"

#include <string_view>

class ConsoleStreams {
public:
    virtual ~ConsoleStreams() = default;
    virtual void out(std::string_view line) = 0;
    virtual void err(std::string_view line) = 0;
};

// A console program shows no box: what start-up would show in one goes to standard error, and
// nothing ever waits for an answer.
class ConsoleUserInterface final : public platform::UserInterface {
public:
    explicit ConsoleUserInterface(ConsoleStreams& streams) : streams_(streams) {}
    int message_box(std::string_view text, int style) override;
    void set_pointer(int /*shape*/) override {}

private:
    ConsoleStreams& streams_;
};
