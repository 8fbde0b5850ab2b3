#pragma once

#include "text/lines.h"

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// The lines of a whole page as views into one buffer, not one allocation per
// line. The bytes stay as they were loaded (line breaks included) and an index
// of line starts and lengths points into them (the loaded bytes may also be a
// file mapped into memory, shared by copies of the buffer, never written). A
// changed or inserted line is
// appended to a second buffer and its index entry points there; removing or
// inserting lines moves index entries only, never the page's bytes. So an edit
// of one line costs the length of that line, an insertion or removal of lines
// a move of 16 bytes per following line, and a scan reads the page's bytes
// where they were loaded. When the lines dropped from the second buffer
// outweigh the live ones, the lines are copied once into a fresh buffer.
class LineBuffer {
public:
    LineBuffer() = default;
    // Takes the bytes and indexes their lines as SplitLines splits them (at CR
    // LF, LF and CR; a break at the very end adds no empty last line).
    explicit LineBuffer(std::string bytes);
    // The same over bytes that `owner` keeps alive and unchanged (a mapped file).
    LineBuffer(std::shared_ptr<const void> owner, std::string_view bytes);
    LineBuffer(std::initializer_list<std::string_view> lines);
    explicit LineBuffer(const std::vector<std::string>& lines);

    size_t Count() const { return m_spans.size(); }
    bool Empty() const { return m_spans.empty(); }
    // Line `index` (from 0) without its break; valid until the next change.
    std::string_view operator[](size_t index) const { return View(m_spans[index]); }

    // Replaces the bytes of one line; `text` holds no line break and may be a
    // view into this buffer.
    void Set(size_t index, std::string_view text);
    // Inserts a line before line `index` (Count() appends).
    void Insert(size_t index, std::string_view text);
    void Append(std::string_view text) { Insert(Count(), text); }
    void Erase(size_t index, size_t count);
    // Replaces `count` lines from `index` by `lines`.
    void Replace(size_t index, size_t count, const std::vector<std::string>& lines);

    // The lines with `lineBreak` written after every line, the last included.
    std::string Join(LineBreak lineBreak) const;
    std::vector<std::string> ToVector() const;

    // Bytes held for the lines (both buffers), for tests and measurements.
    size_t Capacity() const { return m_base.size() + m_added.capacity(); }

    friend bool operator==(const LineBuffer& a, const std::vector<std::string>& b);
    friend bool operator==(const LineBuffer& a, const LineBuffer& b);

private:
    struct Span {
        size_t start; // in the loaded bytes, or m_base.size() + the place in m_added
        size_t length;
    };

    std::string_view View(const Span& span) const
    {
        if (span.start < m_base.size())
            return std::string_view(m_base).substr(span.start, span.length);
        return std::string_view(m_added).substr(span.start - m_base.size(), span.length);
    }
    Span Add(std::string_view text);
    void Drop(const Span& span);
    void CompactIfWasteful();
    void Index();

    std::shared_ptr<const void> m_owner; // keeps the loaded bytes
    std::string_view m_base; // the loaded bytes
    std::string m_added;
    size_t m_dropped = 0; // bytes of m_added no line points to any more
    std::vector<Span> m_spans;
};

} // namespace pw
