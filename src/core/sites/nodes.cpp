#include "sites/nodes.h"

#include "base/sjistext.h"

#include <algorithm>

namespace pw {

const std::string_view kInternalError = "内部エラー"_sjis;

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

TDirNode* TDirNode::NextSibling() const
{
    if (!Parent)
        return nullptr;
    const auto& siblings = Parent->TreeNodes;
    auto it = std::find(siblings.begin(), siblings.end(), this);
    return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
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
