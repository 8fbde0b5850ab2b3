#include "pageads/adtree.h"

namespace pw {

TAdBlockKind AdNode::Kind() const
{
    if (m_status == nsRotation)
        return abRotation;
    return m_parent ? abMember : abNormal;
}

void AdTree::Clear()
{
    if (m_listener)
        m_listener->TreeClearing();
    m_top.clear();
    m_selected = nullptr;
    m_count = 0;
    if (m_listener)
        m_listener->TreeCleared();
}

AdNode& AdTree::Add(AdNode* parent, std::string text, TAdNodeStatus status)
{
    auto node = std::make_unique<AdNode>();
    node->m_text = std::move(text);
    node->m_status = status;
    node->m_parent = parent;
    auto& siblings = parent ? parent->m_children : m_top;
    node->m_row = siblings.size();
    if (m_listener)
        m_listener->NodeAdding(parent, node->m_row);
    siblings.push_back(std::move(node));
    ++m_count;
    AdNode& added = *siblings.back();
    if (m_listener)
        m_listener->NodeAdded(added);
    return added;
}

void AdTree::SetStatus(AdNode& node, TAdNodeStatus status)
{
    if (node.m_status == status)
        return;
    node.m_status = status;
    if (m_listener)
        m_listener->NodeStatusChanged(node);
}

std::vector<std::unique_ptr<AdNode>>& AdTree::SiblingsOf(const AdNode& node)
{
    return node.m_parent ? node.m_parent->m_children : m_top;
}

const std::vector<std::unique_ptr<AdNode>>& AdTree::SiblingsOf(const AdNode& node) const
{
    return node.m_parent ? node.m_parent->m_children : m_top;
}

namespace {

size_t CountNodes(const AdNode& node)
{
    size_t count = 1;
    for (const auto& child : node.Children())
        count += CountNodes(*child);
    return count;
}

bool IsWithin(const AdNode* node, const AdNode* root)
{
    for (; node; node = node->Parent())
        if (node == root)
            return true;
    return false;
}

} // namespace

void AdTree::Remove(AdNode& node)
{
    if (m_listener)
        m_listener->NodeRemoving(node);
    if (IsWithin(m_selected, &node))
        m_selected = nullptr;
    AdNode* parent = node.m_parent;
    const size_t row = node.m_row;
    m_count -= CountNodes(node);
    auto& siblings = SiblingsOf(node);
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(row));
    for (size_t i = row; i < siblings.size(); ++i)
        siblings[i]->m_row = i;
    if (m_listener)
        m_listener->NodeRemoved(parent, row);
}

void AdTree::ExpandAll()
{
    if (m_listener)
        m_listener->ExpandAll();
}

AdNode* AdTree::Next(const AdNode& node) const
{
    if (!node.m_children.empty())
        return node.m_children.front().get();
    return NextSkippingChildren(node);
}

AdNode* AdTree::NextSkippingChildren(const AdNode& node) const
{
    for (const AdNode* at = &node; at; at = at->m_parent) {
        const auto& siblings = SiblingsOf(*at);
        if (at->m_row + 1 < siblings.size())
            return siblings[at->m_row + 1].get();
    }
    return nullptr;
}

AdNode* AdTree::Previous(const AdNode& node) const
{
    const auto& siblings = SiblingsOf(node);
    if (node.m_row == 0)
        return node.m_parent;
    AdNode* at = siblings[node.m_row - 1].get();
    while (!at->m_children.empty())
        at = at->m_children.back().get();
    return at;
}

void AdTree::Select(AdNode* node)
{
    if (m_selected == node)
        return;
    m_selected = node;
    if (m_listener)
        m_listener->SelectionChanged(node);
}

AdNode* FindAdNode(const AdTree& tree, std::string_view text, TAdBlockKind minimumKind)
{
    for (AdNode* node = tree.First(); node; node = tree.Next(*node))
        if (node->Text() == text && node->Kind() >= minimumKind)
            return node;
    return nullptr;
}

} // namespace pw
