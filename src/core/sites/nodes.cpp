#include "sites/nodes.h"

namespace pw {

const std::string_view kInternalError = "\x93\xE0\x95\x94\x83G\x83\x89\x81["; // 内部エラー

TFileNode::~TFileNode()
{
    if (Sheet) {
        Sheet->EntryDestroyedWhileOpen();
        Sheet.reset();
    }
}

std::string TFileNode::GetPath() const
{
    const std::string parentPath = Parent ? Parent->GetPath() : std::string();
    if (parentPath.empty())
        return "/" + Name;
    return ChildPath(parentPath, Name);
}

TNode* TDirNode::AddChild(std::unique_ptr<TNode> child)
{
    if (!Children)
        Children.emplace();
    child->Parent = this;
    Children->push_back(std::move(child));
    return Children->back().get();
}

TDirNode* TDirNode::FirstSubFolder() const
{
    if (!Children)
        return nullptr;
    for (const auto& child : *Children) {
        if (child->IsFolder())
            return static_cast<TDirNode*>(child.get());
    }
    return nullptr;
}

TDirNode* TDirNode::NextSibling() const
{
    if (!Parent || !Parent->Children)
        return nullptr;
    bool seen = false;
    for (const auto& child : *Parent->Children) {
        if (child.get() == this)
            seen = true;
        else if (seen && child->IsFolder())
            return static_cast<TDirNode*>(child.get());
    }
    return nullptr;
}

std::vector<TDirNode*> TDirNode::SubFolders() const
{
    std::vector<TDirNode*> folders;
    if (Children) {
        for (const auto& child : *Children) {
            if (child->IsFolder())
                folders.push_back(static_cast<TDirNode*>(child.get()));
        }
    }
    return folders;
}

TConnection::TConnection()
{
    Connection = this;
    Kind = nkFolder;
}

TConnection::~TConnection()
{
    // Entries go first, while the connection they point to is still whole.
    ClearChildren();
    if (FtpClient && FtpClient->Connected())
        FtpClient->Quit();
    FtpClient.reset();
    Setup.reset();
}

std::string ChildPath(const std::string& parentPath, const std::string& name)
{
    if (!parentPath.empty() && parentPath.back() == '/')
        return parentPath + name;
    return parentPath + "/" + name;
}

} // namespace pw
