#pragma once

#include "pageads/adblock.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace pw {

// The rating of a block against the catalogue; also the node's image index.
enum TAdNodeStatus {
    nsRotation = 0, // node of a rotation block
    nsMatched = 1, // a banner of this name exists and the block's text equals its HTML
    nsChanged = 2, // a banner of this name exists, but the text differs or the block is unterminated
    nsUnlisted = 3, // no banner has this name
};

class AdTree;

// One node of a page's ad tree. Its text is page text: the block's name, made
// unique by a "[k]" suffix.
class AdNode {
public:
    const std::string& Text() const { return m_text; }
    TAdNodeStatus Status() const { return m_status; }
    AdNode* Parent() const { return m_parent; }
    const std::vector<std::unique_ptr<AdNode>>& Children() const { return m_children; }
    // Index among its siblings.
    size_t Row() const { return m_row; }
    // abRotation for status nsRotation, else abMember under a parent, else abNormal.
    TAdBlockKind Kind() const;

private:
    friend class AdTree;
    std::string m_text;
    TAdNodeStatus m_status = nsUnlisted;
    AdNode* m_parent = nullptr;
    std::vector<std::unique_ptr<AdNode>> m_children;
    size_t m_row = 0;
};

// Told about every change of an ad tree, before and after it where a model
// needs both (a Qt item model's begin/end calls); the window's tree model
// adapter implements it to keep its view in step.
class AdTreeListener {
public:
    virtual ~AdTreeListener() = default;
    virtual void TreeClearing() { }
    virtual void TreeCleared() { }
    // A node is about to become child number `row` of `parent` (top level when null).
    virtual void NodeAdding(AdNode* /*parent*/, size_t /*row*/) { }
    // `node` has been added as the last child of its parent (or at the top).
    virtual void NodeAdded(AdNode& /*node*/) { }
    virtual void NodeStatusChanged(AdNode& /*node*/) { }
    // `node` and its children are about to go.
    virtual void NodeRemoving(AdNode& /*node*/) { }
    virtual void NodeRemoved(AdNode* /*parent*/, size_t /*row*/) { }
    virtual void SelectionChanged(AdNode* /*selected*/) { }
    virtual void ExpandAll() { }
};

// The ad tree of one open page, with its selected node and its hint (the last
// status text). Nodes are added in text order by the scanner; between scans
// they only change status or are removed.
class AdTree {
public:
    AdTree() = default;
    AdTree(const AdTree&) = delete;
    AdTree& operator=(const AdTree&) = delete;

    void SetListener(AdTreeListener* listener) { m_listener = listener; }

    void Clear();
    // Adds a node as the last child of `parent` (top level when null).
    AdNode& Add(AdNode* parent, std::string text, TAdNodeStatus status);
    void SetStatus(AdNode& node, TAdNodeStatus status);
    // Removes the node with its children; the selection is dropped when it was
    // one of them.
    void Remove(AdNode& node);
    void ExpandAll();

    const std::vector<std::unique_ptr<AdNode>>& TopNodes() const { return m_top; }
    AdNode* First() const { return m_top.empty() ? nullptr : m_top.front().get(); }
    // Next node in depth-first order.
    AdNode* Next(const AdNode& node) const;
    // The node that follows `node` and all its children in depth-first order.
    AdNode* NextSkippingChildren(const AdNode& node) const;
    // Previous node in depth-first order.
    AdNode* Previous(const AdNode& node) const;
    size_t NodeCount() const { return m_count; }

    AdNode* Selected() const { return m_selected; }
    // Only marks the node as selected; running the selection reaction
    // (ShowAdNode) is the caller's business.
    void Select(AdNode* node);

    const std::string& Hint() const { return m_hint; }
    void SetHint(std::string hint) { m_hint = std::move(hint); }

private:
    std::vector<std::unique_ptr<AdNode>>& SiblingsOf(const AdNode& node);
    const std::vector<std::unique_ptr<AdNode>>& SiblingsOf(const AdNode& node) const;

    std::vector<std::unique_ptr<AdNode>> m_top;
    AdNode* m_selected = nullptr;
    std::string m_hint;
    size_t m_count = 0;
    AdTreeListener* m_listener = nullptr;
};

// The first node in depth-first order whose text equals `text` exactly and
// whose kind is at least `minimumKind` (abRotation accepts every node,
// abNormal normal and member nodes, abMember member nodes only).
AdNode* FindAdNode(const AdTree& tree, std::string_view text, TAdBlockKind minimumKind);

} // namespace pw
