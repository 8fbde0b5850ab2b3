#pragma once

#include "networks/document.h"

#include <QPointer>

namespace pw::gui {

class BrowserWindow;

// The signup fill's view of a browser window: the document model over scripts
// run in the window's frames (same-origin or not). Every call on a window the
// user has closed fails, so the fill drops it.
class WebSignupWindow : public SignupWindow {
public:
    explicit WebSignupWindow(BrowserWindow* window);
    ~WebSignupWindow() override;

    DomResult<int> ReadyState() override;
    DomResult<std::unique_ptr<DomDocument>> Document() override;

    BrowserWindow* window() const;

private:
    QPointer<BrowserWindow> m_window;
};

} // namespace pw::gui
