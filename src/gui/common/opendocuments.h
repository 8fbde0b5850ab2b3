#pragma once

#include <string>
#include <vector>

namespace pw {
class TConnection;
class TFileNode;
} // namespace pw

namespace pw::gui {

// What the sites and whole-site areas ask of the open page tabs, without knowing the area
// that keeps them: the active tab's file, and closing the tabs of a
// connection or below a folder (each may ask to save; false when the user
// cancels).
class OpenDocuments {
public:
    virtual ~OpenDocuments() = default;
    virtual TFileNode* activeFile() const = 0;
    virtual bool closeConnectionDocuments(TConnection& connection) = 0;
    virtual bool closeDocumentsBelow(const std::string& folderPath) = 0;
    // The full paths of the pages open in tabs on the setup named `setupName`.
    virtual std::vector<std::string> openPagePaths(const std::string& setupName) const = 0;
};

} // namespace pw::gui
