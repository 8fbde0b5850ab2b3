#include "text/linebuffer.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace pw {

namespace {

// Dropped bytes below this never trigger a copy.
constexpr size_t kCompactFloor = 1 << 20;

} // namespace

LineBuffer::LineBuffer(std::string bytes)
{
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    m_base = *owned;
    m_owner = std::move(owned);
    Index();
}

LineBuffer::LineBuffer(std::shared_ptr<const void> owner, std::string_view bytes)
    : m_owner(std::move(owner))
    , m_base(bytes)
{
    Index();
}

// One pass over the bytes, 16 at a time where the processor can compare them
// at once, finding CR and LF together: no call per line, no second look.
void LineBuffer::Index()
{
    const char* const data = m_base.data();
    const size_t n = m_base.size();
    // Room for a line every 32 bytes: more than pages have, and only the part
    // filled takes memory (a large block is mapped page by page), while growing
    // would hold the old and the new index at once.
    m_spans.reserve(n / 32 + 1);
    size_t start = 0; // of the current line; a CR LF's LF lies before it
    auto lineBreak = [&](size_t at) {
        m_spans.push_back({ start, at - start });
        start = data[at] == '\r' && at + 1 < n && data[at + 1] == '\n' ? at + 2 : at + 1;
    };
    size_t i = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
        while (mask) {
            const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
            mask &= mask - 1;
            if (at >= start)
                lineBreak(at);
        }
    }
#endif
    for (; i < n; ++i) {
        if (i >= start && (data[i] == '\r' || data[i] == '\n'))
            lineBreak(i);
    }
    if (start < n)
        m_spans.push_back({ start, n - start });
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
    const Span span { m_base.size() + m_added.size(), text.size() };
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
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    m_base = *owned;
    m_owner = std::move(owned);
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
