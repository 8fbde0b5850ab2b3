#pragma once

#include <string>
#include <utility>

namespace pw {

// Outcome of an operation that can fail: ok, or the error text to show the user.
struct Status {
    bool ok = true;
    // Program text, as every text of the core: Shift_JIS bytes. Outside text
    // that goes into it (a UTF-8 label, a library's message) is converted
    // first. The window reads it with ErrorText(), the command-line program
    // converts it for the terminal.
    std::string error;

    static Status Ok() { return {}; }
    static Status Fail(std::string message) { return { false, std::move(message) }; }
    explicit operator bool() const { return ok; }
};

} // namespace pw
