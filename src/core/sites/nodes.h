#pragma once

#include "sites/datetime.h"
#include "sites/ftpclient.h"
#include "sites/setup.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// An entry's kind from its file name extension; also its icon index.
enum TNodeKind : std::uint8_t { nkFolder = 0, nkText = 1, nkOther = 2, nkArchive = 3, nkPage = 4 };

class TDirNode;
class TConnection;

// Any entry of the connection tree or the file list.
class TNode {
public:
    TNode() = default;
    TNode(const TNode&) = delete;
    TNode& operator=(const TNode&) = delete;
    virtual ~TNode() = default;

    virtual std::string GetPath() const { return {}; }
    bool IsFolder() const { return Kind == nkFolder; }

    std::string Name;
    std::string Attributes;
    DateTime Date;
    TDirNode* Parent = nullptr;
    TNodeKind Kind = nkOther;
};

// The window's part of an open document (its tab with the editor and the ad
// tree). The file entry owns it while the document is open.
class DocumentSheet {
public:
    virtual ~DocumentSheet() = default;
    // Called when the entry goes while its document is still open, which
    // should never happen: the window reports an internal error ("内部エラー")
    // and takes the tab away.
    virtual void EntryDestroyedWhileOpen() { }
};

extern const std::string_view kInternalError; // 内部エラー

class TFileNode : public TNode {
public:
    ~TFileNode() override;
    // The parent's path, "/" unless it already ends with one, and Name; "/" +
    // Name when the parent's path is empty.
    std::string GetPath() const override;

    std::int64_t Size = 0;
    std::unique_ptr<DocumentSheet> Sheet; // set while the file is open
};

class TDirNode : public TNode {
public:
    std::string GetPath() const override { return Path; }

    // Frees every entry and the list itself (the folder reads as unlisted).
    void ClearChildren()
    {
        TreeNodes.clear();
        Children.reset();
    }
    // Appends an entry whose parent is this folder and returns it.
    TNode* AddChild(std::unique_ptr<TNode> child);

    // The folder's child nodes in the tree: its subfolders in listing order
    // (sorting the file list does not move them).
    TDirNode* FirstSubFolder() const { return TreeNodes.empty() ? nullptr : TreeNodes.front(); }
    // The next child node of the same parent, or none.
    TDirNode* NextSibling() const;
    const std::vector<TDirNode*>& SubFolders() const { return TreeNodes; }

    // Entries in listing order; absent until the folder has been listed.
    std::optional<std::vector<std::unique_ptr<TNode>>> Children;
    // Set by ListFolder together with the subfolders' paths.
    std::vector<TDirNode*> TreeNodes;
    std::string Path;
    TConnection* Connection = nullptr;
};

// The top folder of one open connection.
class TConnection : public TDirNode {
public:
    TConnection();
    // Quits a connected client before it goes.
    ~TConnection() override;

    bool IsRemote() const { return Setup && Setup->Kind == skFtp; }

    std::unique_ptr<TSetup> Setup;
    std::unique_ptr<pw::FtpClient> FtpClient;
    TDirNode* LastNode = nullptr;
    bool NeedsReconnect = false;
};

// A subfolder's path: the parent's path and the name joined with one "/".
std::string ChildPath(const std::string& parentPath, const std::string& name);

} // namespace pw
