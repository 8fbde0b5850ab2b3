#pragma once

#include <string>

namespace pw {

// The kind of box a message is shown in (its icon and title), wherever the
// message comes from: the sites, the page ads, the catalogue or the window.
enum class MessageType { Error, Warning, Information, Confirmation };

// A message for the user, as data: the window shows it in a box with an OK
// button, the command-line program prints it.
struct UserMessage {
    MessageType Kind;
    std::string Text; // program text (Shift_JIS)

    friend bool operator==(const UserMessage&, const UserMessage&) = default;
};

} // namespace pw
