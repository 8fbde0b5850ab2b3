#pragma once

#include <string>
#include <utility>

namespace pw {

// Outcome of an operation that can fail: ok, or the error text to show the user.
struct Status {
    bool ok = true;
    std::string error;

    static Status Ok() { return {}; }
    static Status Fail(std::string message) { return { false, std::move(message) }; }
    explicit operator bool() const { return ok; }
};

} // namespace pw
