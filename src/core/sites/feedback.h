#pragma once

#include "base/usermessage.h"
#include "sites/setup.h"

#include <string>
#include <vector>

namespace pw {

// What the connection and document logic tells the user. The window shows
// the status in its status bar (painted at once, before the transfer that
// follows) and messages in modal boxes with an OK button; the command line
// prints them.
class SiteFeedback {
public:
    virtual ~SiteFeedback() = default;
    virtual void Status(const std::string& text) = 0;
    virtual void Message(MessageType type, const std::string& text) = 0;
    // A Yes/No question whether to trust a server's certificate or host key
    // (the text says which). The default declines.
    virtual bool Confirm(const std::string& text)
    {
        (void)text;
        return false;
    }
    // The trust question about a peer; `changed`: a different key was trusted
    // before. By default the same as Confirm.
    virtual bool ConfirmTrust(const std::string& text, bool changed)
    {
        (void)changed;
        return Confirm(text);
    }
    // The enabled state of the commands may have changed.
    virtual void CommandStateChanged() { }
};

// Keeps everything it is told, in order; answers questions with `trust`.
class FeedbackLog : public SiteFeedback {
public:
    struct Entry {
        MessageType type;
        std::string text;
    };

    void Status(const std::string& text) override { Statuses.push_back(text); }
    void Message(MessageType type, const std::string& text) override { Messages.push_back({ type, text }); }
    bool Confirm(const std::string& text) override
    {
        Questions.push_back(text);
        return Trust;
    }

    std::vector<std::string> Statuses;
    std::vector<Entry> Messages;
    std::vector<std::string> Questions;
    bool Trust = false;
};

} // namespace pw
