#pragma once

// An in-memory document model for the signup fill: documents with forms and
// frames, forms with named elements, and switches that make calls fail the way
// a browser does (closed window, unreadable value, failing write, frame
// without a document).

#include "networks/document.h"

#include <memory>
#include <string>
#include <vector>

namespace pw::test {

struct FakeNode {
    std::string name;
    std::string type = "text";
    std::string value;
    bool hasValue = true; // reading "Value" fails when false
    bool failWrites = false;
    bool checked = false;
    int selectedIndex = -1;
    int writes = 0;
    std::vector<std::shared_ptr<FakeNode>> children; // a form's elements
};

using FakeNodes = std::vector<std::shared_ptr<FakeNode>>;

struct FakeDocument {
    FakeNodes forms;
    std::vector<std::shared_ptr<FakeDocument>> frames; // a null frame has no document
    bool formsFail = false;
    bool otherOrigin = false; // a frame of another origin than the page's
};

inline bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

class FakeElementView;

class FakeCollectionView : public DomCollection {
public:
    explicit FakeCollectionView(FakeNodes nodes)
        : m_nodes(std::move(nodes))
    {
    }
    DomResult<std::unique_ptr<DomElement>> ItemByName(std::string_view name, int index) override;
    DomResult<std::unique_ptr<DomElement>> ItemAt(int index) override;
    DomResult<int> Length() override { return DomResult<int>::Ok(static_cast<int>(m_nodes.size())); }

private:
    FakeNodes m_nodes;
};

class FakeElementView : public DomElement {
public:
    explicit FakeElementView(std::shared_ptr<FakeNode> node)
        : m_node(std::move(node))
    {
    }

    DomResult<std::string> ReadProperty(std::string_view name) override
    {
        if (SameName(name, "value")) {
            if (!m_node->hasValue)
                return DomResult<std::string>::Fail("no value property");
            return DomResult<std::string>::Ok(m_node->value);
        }
        if (SameName(name, "type"))
            return DomResult<std::string>::Ok(m_node->type);
        return DomResult<std::string>::Fail("unknown property");
    }
    Status WriteText(std::string_view name, std::string_view value) override
    {
        if (m_node->failWrites || !SameName(name, "value") || !m_node->hasValue)
            return Status::Fail("write failed");
        m_node->value = value;
        ++m_node->writes;
        return Status::Ok();
    }
    Status WriteBool(std::string_view name, bool value) override
    {
        if (m_node->failWrites || !SameName(name, "checked"))
            return Status::Fail("write failed");
        m_node->checked = value;
        ++m_node->writes;
        return Status::Ok();
    }
    Status WriteInteger(std::string_view name, int value) override
    {
        if (m_node->failWrites || !SameName(name, "selectedindex"))
            return Status::Fail("write failed");
        m_node->selectedIndex = value;
        ++m_node->writes;
        return Status::Ok();
    }
    DomResult<std::unique_ptr<DomCollection>> All() override
    {
        return DomResult<std::unique_ptr<DomCollection>>::Ok(
            std::make_unique<FakeCollectionView>(m_node->children));
    }

private:
    std::shared_ptr<FakeNode> m_node;
};

inline DomResult<std::unique_ptr<DomElement>> FakeCollectionView::ItemByName(std::string_view name, int index)
{
    int seen = 0;
    for (const auto& node : m_nodes) {
        if (node->name != name)
            continue;
        if (seen++ == index)
            return DomResult<std::unique_ptr<DomElement>>::Ok(std::make_unique<FakeElementView>(node));
    }
    return DomResult<std::unique_ptr<DomElement>>::Ok(nullptr);
}

inline DomResult<std::unique_ptr<DomElement>> FakeCollectionView::ItemAt(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_nodes.size())
        return DomResult<std::unique_ptr<DomElement>>::Ok(nullptr);
    return DomResult<std::unique_ptr<DomElement>>::Ok(std::make_unique<FakeElementView>(m_nodes[size_t(index)]));
}

class FakeDocumentView : public DomDocument {
public:
    explicit FakeDocumentView(std::shared_ptr<FakeDocument> document)
        : m_document(std::move(document))
    {
    }
    DomResult<std::unique_ptr<DomCollection>> Forms() override
    {
        if (m_document->formsFail)
            return DomResult<std::unique_ptr<DomCollection>>::Fail("not an HTML document");
        return DomResult<std::unique_ptr<DomCollection>>::Ok(
            std::make_unique<FakeCollectionView>(m_document->forms));
    }
    DomResult<int> FrameCount() override
    {
        return DomResult<int>::Ok(static_cast<int>(m_document->frames.size()));
    }
    DomResult<std::unique_ptr<DomDocument>> FrameDocument(int index) override
    {
        if (index < 0 || static_cast<size_t>(index) >= m_document->frames.size())
            return DomResult<std::unique_ptr<DomDocument>>::Fail("no such frame");
        const auto& frame = m_document->frames[size_t(index)];
        if (!frame)
            return DomResult<std::unique_ptr<DomDocument>>::Fail("frame without document");
        if (frame->otherOrigin)
            return DomResult<std::unique_ptr<DomDocument>>::Ok(nullptr);
        return DomResult<std::unique_ptr<DomDocument>>::Ok(std::make_unique<FakeDocumentView>(frame));
    }

private:
    std::shared_ptr<FakeDocument> m_document;
};

class FakeWindow : public SignupWindow {
public:
    std::shared_ptr<FakeDocument> document = std::make_shared<FakeDocument>();
    int readyState = kReadyStateComplete;
    bool closed = false;

    DomResult<int> ReadyState() override
    {
        if (closed)
            return DomResult<int>::Fail("window closed");
        return DomResult<int>::Ok(readyState);
    }
    DomResult<std::unique_ptr<DomDocument>> Document() override
    {
        if (closed)
            return DomResult<std::unique_ptr<DomDocument>>::Fail("window closed");
        return DomResult<std::unique_ptr<DomDocument>>::Ok(std::make_unique<FakeDocumentView>(document));
    }
};

// Builders.
inline std::shared_ptr<FakeNode> Element(std::string name, std::string type = "text", std::string value = "")
{
    auto node = std::make_shared<FakeNode>();
    node->name = std::move(name);
    node->type = std::move(type);
    node->value = std::move(value);
    return node;
}

inline std::shared_ptr<FakeNode> Form(std::string name, FakeNodes elements)
{
    auto node = Element(std::move(name), "form");
    node->children = std::move(elements);
    return node;
}

} // namespace pw::test
