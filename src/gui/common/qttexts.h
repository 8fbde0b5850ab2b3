#pragma once

class QCoreApplication;

namespace pw::gui {

// Qt's own texts (the buttons of message boxes, the file and folder choosers,
// the Cut/Copy/Paste menus of text fields) in Japanese, as every other text of
// the window is, whatever the desktop's language. False when Qt's translation
// files are not installed; the texts then stay English.
bool InstallJapaneseQtTexts(QCoreApplication& app);

} // namespace pw::gui
