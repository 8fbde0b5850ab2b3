#pragma once

// The document model through which signup forms are filled: a browser window,
// its documents, forms, frames and elements. The window's adapter implements it
// over the real browser; every call reports failure (a closed window, a frame
// that cannot be reached, an element without the property) instead of
// throwing. Texts are Shift_JIS bytes; the adapter converts them.

#include "base/result.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace pw {

// A value, or why it could not be obtained.
template <typename T> struct DomResult {
    Status status;
    T value {};

    static DomResult Ok(T v) { return { Status::Ok(), std::move(v) }; }
    static DomResult Fail(std::string message) { return { Status::Fail(std::move(message)), T {} }; }
    explicit operator bool() const { return status.ok; }
};

class DomElement;

// An ordered collection of elements (a document's forms, a form's elements).
// Lookups that find nothing succeed with a null pointer.
class DomCollection {
public:
    virtual ~DomCollection() = default;
    // Element number `index` (from 0) among those whose name or id is `name`.
    virtual DomResult<std::unique_ptr<DomElement>> ItemByName(std::string_view name, int index) = 0;
    // Element at position `index` (from 0) of the collection.
    virtual DomResult<std::unique_ptr<DomElement>> ItemAt(int index) = 0;
    virtual DomResult<int> Length() = 0;
};

// An element. Property names are matched without regard to letter case.
class DomElement {
public:
    virtual ~DomElement() = default;
    // Reads a property as text ("Value", "type"). Fails when the element has no
    // such property.
    virtual DomResult<std::string> ReadProperty(std::string_view name) = 0;
    virtual Status WriteText(std::string_view name, std::string_view value) = 0; // "Value"
    virtual Status WriteBool(std::string_view name, bool value) = 0; // "Checked"
    virtual Status WriteInteger(std::string_view name, int value) = 0; // "selectedIndex"
    // Every element inside this one (for a form: its controls), in document order.
    virtual DomResult<std::unique_ptr<DomCollection>> All() = 0;
};

// A document of the page or of one of its frames.
class DomDocument {
public:
    virtual ~DomDocument() = default;
    virtual DomResult<std::unique_ptr<DomCollection>> Forms() = 0;
    virtual DomResult<int> FrameCount() = 0;
    // The document of frame number `index` (from 0); none for a frame of
    // another origin than the page's, which the program must not touch.
    virtual DomResult<std::unique_ptr<DomDocument>> FrameDocument(int index) = 0;
};

inline constexpr int kReadyStateComplete = 4;

// A browser window that shows a network's signup pages.
class SignupWindow {
public:
    virtual ~SignupWindow() = default;
    // 4 when the page has finished loading.
    virtual DomResult<int> ReadyState() = 0;
    virtual DomResult<std::unique_ptr<DomDocument>> Document() = 0;
};

} // namespace pw
