#include "text/linebuffer.h"

#include <cstring>

namespace pw {

namespace {

// Dropped bytes below this never trigger a copy.
constexpr size_t kCompactFloor = 1 << 20;

} // namespace

LineBuffer::LineBuffer(std::string bytes) : m_base(std::move(bytes))
{
    const char* const data = m_base.data();
    const size_t n = m_base.size();
    // About one line per 40 bytes of a typical page; the index grows on its own beyond that.
    m_spans.reserve(n / 40 + 1);
    size_t start = 0;
    size_t lf = 0; // the next LF at or after `start`, n when there is none
    bool lfKnown = false;
    while (start < n) {
        // memchr for LF, then for a CR in the stretch before it. The LF found
        // is kept while lone CRs end the lines before it.
        if (!lfKnown || lf < start) {
            const void* found = std::memchr(data + start, '\n', n - start);
            lf = found ? static_cast<size_t>(static_cast<const char*>(found) - data) : n;
            lfKnown = true;
        }
        const void* cr = std::memchr(data + start, '\r', lf - start);
        if (cr) {
            const size_t at = static_cast<size_t>(static_cast<const char*>(cr) - data);
            m_spans.push_back({start, at - start});
            start = at + 1 < n && data[at + 1] == '\n' ? at + 2 : at + 1;
            continue;
        }
        m_spans.push_back({start, lf - start});
        start = lf + 1;
    }
}

LineBuffer::LineBuffer(std::initializer_list<std::string_view> lines)
{
    m_spans.reserve(lines.size());
    for (std::string_view line : lines)
        m_spans.push_back(Add(line));
}

LineBuffer::LineBuffer(const std::vector<std::string>& lines)
{
    size_t total = 0;
    for (const auto& line : lines)
        total += line.size();
    m_added.reserve(total);
    m_spans.reserve(lines.size());
    for (const auto& line : lines)
        m_spans.push_back(Add(line));
}

LineBuffer::Span LineBuffer::Add(std::string_view text)
{
    const Span span{m_base.size() + m_added.size(), text.size()};
    m_added.append(text); // safe when `text` lies in m_added: the old bytes are copied before they are freed
    return span;
}

void LineBuffer::Drop(const Span& span)
{
    if (span.start >= m_base.size())
        m_dropped += span.length;
}

void LineBuffer::CompactIfWasteful()
{
    if (m_dropped < kCompactFloor || m_dropped < (m_added.size() - m_dropped) + m_base.size() / 2)
        return;
    size_t total = 0;
    for (const Span& span : m_spans)
        total += span.length;
    std::string bytes;
    bytes.reserve(total);
    for (Span& span : m_spans) {
        const std::string_view text = View(span);
        span.start = bytes.size();
        bytes.append(text);
    }
    m_base = std::move(bytes);
    m_added.clear();
    m_added.shrink_to_fit();
    m_dropped = 0;
}

void LineBuffer::Set(size_t index, std::string_view text)
{
    const Span old = m_spans[index];
    m_spans[index] = Add(text);
    Drop(old);
    CompactIfWasteful();
}

void LineBuffer::Insert(size_t index, std::string_view text)
{
    const Span span = Add(text);
    m_spans.insert(m_spans.begin() + static_cast<std::ptrdiff_t>(index), span);
}

void LineBuffer::Erase(size_t index, size_t count)
{
    const auto first = m_spans.begin() + static_cast<std::ptrdiff_t>(index);
    const auto last = first + static_cast<std::ptrdiff_t>(count);
    for (auto it = first; it != last; ++it)
        Drop(*it);
    m_spans.erase(first, last);
    CompactIfWasteful();
}

void LineBuffer::Replace(size_t index, size_t count, const std::vector<std::string>& lines)
{
    const auto first = m_spans.begin() + static_cast<std::ptrdiff_t>(index);
    for (auto it = first; it != first + static_cast<std::ptrdiff_t>(count); ++it)
        Drop(*it);
    // Reuse the replaced entries, then insert or erase the difference.
    const size_t common = std::min(count, lines.size());
    for (size_t i = 0; i < common; ++i)
        m_spans[index + i] = Add(lines[i]);
    if (lines.size() > count) {
        std::vector<Span> added;
        added.reserve(lines.size() - count);
        for (size_t i = count; i < lines.size(); ++i)
            added.push_back(Add(lines[i]));
        m_spans.insert(m_spans.begin() + static_cast<std::ptrdiff_t>(index + count), added.begin(), added.end());
    } else if (count > lines.size()) {
        const auto from = m_spans.begin() + static_cast<std::ptrdiff_t>(index + common);
        m_spans.erase(from, from + static_cast<std::ptrdiff_t>(count - common));
    }
    CompactIfWasteful();
}

std::string LineBuffer::Join(LineBreak lineBreak) const
{
    const std::string_view eol = lineBreak == LineBreak::CrLf ? "\r\n" : "\n";
    size_t total = 0;
    for (const Span& span : m_spans)
        total += span.length + eol.size();
    std::string text;
    text.reserve(total);
    for (const Span& span : m_spans)
        text.append(View(span)).append(eol);
    return text;
}

std::vector<std::string> LineBuffer::ToVector() const
{
    std::vector<std::string> lines;
    lines.reserve(m_spans.size());
    for (const Span& span : m_spans)
        lines.emplace_back(View(span));
    return lines;
}

bool operator==(const LineBuffer& a, const std::vector<std::string>& b)
{
    if (a.Count() != b.size())
        return false;
    for (size_t i = 0; i < b.size(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

bool operator==(const LineBuffer& a, const LineBuffer& b)
{
    if (a.Count() != b.Count())
        return false;
    for (size_t i = 0; i < a.Count(); ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

} // namespace pw
