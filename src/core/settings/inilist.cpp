#include "settings/inilist.h"

#include "text/lines.h"
#include "text/sjis.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>

namespace pw {

namespace {

// Trimming removes spaces and control characters at both ends.
bool IsBlankAfterTrim(const std::string& line)
{
    for (char c : line) {
        if (static_cast<unsigned char>(c) > ' ')
            return false;
    }
    return true;
}

} // namespace

TIniList::TIniList()
{
    Clear();
    AppendLine(std::string(kTitleLine));
}

TIniList::~TIniList() = default;

void TIniList::SetCaseSensitive(bool caseSensitive)
{
    if (m_caseSensitive == caseSensitive)
        return;
    m_caseSensitive = caseSensitive;
    RebuildIndex();
}

std::string TIniList::SectionKeyOf(std::string_view headerLine) const
{
    // The name runs from the second character to the one before the last,
    // whatever the last character is.
    std::string_view name
        = headerLine.size() >= 2 ? headerLine.substr(1, headerLine.size() - 2) : std::string_view();
    return NormalisedSection(name);
}

std::string TIniList::NormalisedSection(std::string_view name) const
{
    return m_caseSensitive ? sjis::ToUpperAscii(name) : std::string(name);
}

std::string_view TIniList::KeyOf(std::string_view line) const
{
    const auto sep = line.find(m_separator);
    if (sep == std::string_view::npos)
        return {};
    return line.substr(0, sep);
}

bool TIniList::KeyEquals(std::string_view lineKey, std::string_view wanted) const
{
    if (m_caseSensitive)
        return lineKey == wanted;
    if (lineKey.size() != wanted.size())
        return false;
    return sjis::ToUpperAscii(lineKey) == sjis::ToUpperAscii(wanted);
}

TIniList::Block* TIniList::FindSection(std::string_view section) const
{
    auto it = m_firstSection.find(NormalisedSection(section));
    return it == m_firstSection.end() ? nullptr : it->second;
}

int TIniList::FindKey(const Block& block, std::string_view key) const
{
    // A line without a separator, or one that starts with it, has an empty key;
    // the empty key is looked up like any other.
    for (size_t i = 1; i < block.lines.size(); ++i) {
        const std::string& line = block.lines[i];
        if (line.empty())
            return -1;
        if (KeyEquals(KeyOf(line), key))
            return static_cast<int>(i);
    }
    return -1;
}

const std::string* TIniList::FindValueLine(std::string_view section, std::string_view key) const
{
    const Block* block = FindSection(section);
    if (!block)
        return nullptr;
    const int i = FindKey(*block, key);
    return i < 0 ? nullptr : &block->lines[static_cast<size_t>(i)];
}

std::string TIniList::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::string* line = FindValueLine(section, key);
    if (line) {
        const auto sep = line->find(m_separator);
        if (sep != std::string::npos && sep + 1 < line->size())
            return line->substr(sep + 1);
    }
    return std::string(def);
}

int TIniList::ReadInteger(std::string_view section, std::string_view key, int def) const
{
    const std::string text = ReadString(section, key, "");
    if (text.empty())
        return def;
    std::string_view digits = text;
    if (digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+')
        return def;
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return def;
    return value;
}

bool TIniList::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    const std::string text = ReadString(section, key, "");
    if (text == "1")
        return true;
    if (text == "0")
        return false;
    return def;
}

void TIniList::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Block* block = FindSection(section);
    if (!block) {
        AppendLine(std::string());
        AppendLine("[" + std::string(section) + "]");
        block = m_blocks.back().get();
    }
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append(1, m_separator).append(value);
    const int i = FindKey(*block, key);
    if (i >= 0)
        block->lines[static_cast<size_t>(i)] = std::move(line);
    else
        block->lines.insert(block->lines.begin() + 1, std::move(line));
}

void TIniList::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniList::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

bool TIniList::SectionExists(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

void TIniList::EraseSection(std::string_view section)
{
    Block* block = FindSection(section);
    if (!block)
        return;
    size_t index = 0;
    while (m_blocks[index].get() != block)
        ++index;

    // A blank line (after trimming blanks) right above the header goes too.
    // The line above a header is always the last line of the previous block.
    for (size_t b = index; b-- > 0;) {
        auto& above = m_blocks[b]->lines;
        if (above.empty())
            continue;
        if (IsBlankAfterTrim(above.back()))
            above.pop_back();
        break;
    }

    // The header and its entries go, up to the first empty line; what follows
    // that line stays, now below the previous block's lines.
    auto& lines = block->lines;
    size_t end = 1;
    while (end < lines.size() && !lines[end].empty())
        ++end;
    std::vector<std::string> rest(
        std::make_move_iterator(lines.begin() + static_cast<long>(end)), std::make_move_iterator(lines.end()));
    m_blocks.erase(m_blocks.begin() + static_cast<long>(index));
    if (!rest.empty()) {
        if (index == 0) {
            auto first = std::make_unique<Block>();
            first->lines = std::move(rest);
            m_blocks.insert(m_blocks.begin(), std::move(first));
        } else {
            auto& previous = m_blocks[index - 1]->lines;
            previous.insert(
                previous.end(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
        }
    }
    RebuildIndex();
}

void TIniList::Clear()
{
    m_blocks.clear();
    m_firstSection.clear();
}

void TIniList::AppendLine(std::string line)
{
    if (!line.empty() && line.front() == '[') {
        auto block = std::make_unique<Block>();
        block->isSection = true;
        block->key = SectionKeyOf(line);
        block->lines.push_back(std::move(line));
        m_firstSection.try_emplace(block->key, block.get());
        m_blocks.push_back(std::move(block));
        return;
    }
    if (m_blocks.empty())
        m_blocks.push_back(std::make_unique<Block>());
    m_blocks.back()->lines.push_back(std::move(line));
}

void TIniList::RebuildIndex()
{
    m_firstSection.clear();
    for (const auto& block : m_blocks) {
        if (!block->isSection)
            continue;
        block->key = SectionKeyOf(block->lines.front());
        m_firstSection.try_emplace(block->key, block.get());
    }
}

void TIniList::SetLines(const std::vector<std::string>& lines)
{
    Clear();
    for (const auto& line : lines)
        AppendLine(line);
}

std::vector<std::string> TIniList::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(LineCount());
    for (const auto& block : m_blocks)
        lines.insert(lines.end(), block->lines.begin(), block->lines.end());
    return lines;
}

size_t TIniList::LineCount() const
{
    size_t count = 0;
    for (const auto& block : m_blocks)
        count += block->lines.size();
    return count;
}

void TIniList::LoadFromText(std::string_view text)
{
    Clear();
    std::vector<std::string> lines = SplitLines(text, /*stopAtNul=*/true);
    m_blocks.reserve(lines.size() / 4);
    m_firstSection.reserve(lines.size() / 4);
    for (std::string& line : lines)
        AppendLine(std::move(line));
    NormaliseTitle();
}

void TIniList::NormaliseTitle()
{
    if (m_blocks.empty()) {
        AppendLine(std::string(kTitleLine));
        AppendLine(std::string());
        return;
    }
    Block& first = *m_blocks.front();
    if (!first.isSection && !first.lines.empty() && first.lines.front().starts_with(';')) {
        first.lines.front() = std::string(kTitleLine);
        return;
    }
    // Line 0 is not a comment: a title and an empty line go on top.
    if (first.isSection) {
        auto top = std::make_unique<Block>();
        m_blocks.insert(m_blocks.begin(), std::move(top));
    }
    auto& lines = m_blocks.front()->lines;
    lines.insert(lines.begin(), { std::string(kTitleLine), std::string() });
}

std::string TIniList::SaveToText() const
{
    size_t total = 0;
    for (const auto& block : m_blocks)
        for (const auto& line : block->lines)
            total += line.size() + 2;
    std::string text;
    text.reserve(total);
    for (const auto& block : m_blocks) {
        for (const auto& line : block->lines) {
            text += line;
            text += "\r\n";
        }
    }
    return text;
}

int CappedCount(const TIniList& store, int count)
{
    const size_t limit = store.LineCount() + kCountSlack;
    return count > 0 && static_cast<size_t>(count) > limit ? static_cast<int>(limit) : count;
}

namespace {

// XORs `data` with the key repeated, key character `phase` going to data[0].
// The key repeats every 5 bytes, so 40 bytes hold it a whole number of times:
// the 40-byte pattern is XORed as five 64-bit words, the rest byte by byte.
void XorWithKey(char* data, size_t size, size_t phase)
{
    constexpr size_t kKeyLength = kScrambleKey.size();
    constexpr size_t kBlock = 8 * kKeyLength;
    static_assert(kKeyLength == 5, "the block holds the key a whole number of times");
    unsigned char pattern[kBlock];
    for (size_t i = 0; i < kBlock; ++i)
        pattern[i] = static_cast<unsigned char>(kScrambleKey[(phase + i) % kKeyLength]);
    uint64_t words[kBlock / 8];
    std::memcpy(words, pattern, kBlock);
    size_t k = 0;
    for (; k + kBlock <= size; k += kBlock) {
        uint64_t block[kBlock / 8];
        std::memcpy(block, data + k, kBlock);
        for (size_t w = 0; w < kBlock / 8; ++w)
            block[w] ^= words[w];
        std::memcpy(data + k, block, kBlock);
    }
    for (; k < size; ++k)
        data[k] = static_cast<char>(data[k] ^ pattern[k % kBlock]);
}

} // namespace

void ScrambleFileBytes(char* data, size_t size, size_t offset)
{
    if (offset == 0) {
        // Byte 0 of the file stays as it is.
        if (size == 0)
            return;
        ++data;
        --size;
        offset = 1;
    }
    XorWithKey(data, size, (offset - 1) % kScrambleKey.size());
}

void ScrambleFileImage(std::string& image)
{
    ScrambleFileBytes(image.data(), image.size(), 0);
}

void ScrambleText(std::string& text)
{
    XorWithKey(text.data(), text.size(), 0);
}

} // namespace pw
