#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pw {

// The settings store: an ini text held as its lines and edited in place, so
// that lines nobody touches keep their text and position through a load and a
// save.
//
// Reading rules: a line starting with '[' is a section header whose name is
// the text between the first and the last character; the empty line ends a
// section's visible entries; any other line is an entry whose key is the text
// before the first separator. Nothing is trimmed.
//
// Lookups are indexed: the lines are kept as a run of blocks, one per section
// header (plus the lines above the first header), and a map finds the first
// block of each section name. Results are those of walking the lines from the
// top.
class TIniList {
public:
    TIniList();
    ~TIniList();
    TIniList(const TIniList&) = delete;
    TIniList& operator=(const TIniList&) = delete;

    // With CaseSensitive true, section names compare after upper-casing and
    // keys compare exactly; with false, the other way round.
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool caseSensitive);
    char Separator() const { return m_separator; }
    void SetSeparator(char separator) { m_separator = separator; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    void EraseSection(std::string_view section);
    bool SectionExists(std::string_view section) const;
    void Clear();

    // Replaces every line by the lines of `text` (split at CR LF, CR and LF,
    // ending at a NUL byte) and normalises the title line.
    void LoadFromText(std::string_view text);
    // All lines, each followed by CR LF.
    std::string SaveToText() const;

    // Direct access to the lines, without title normalisation.
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    size_t LineCount() const;

    static constexpr std::string_view kTitleLine = "; NoTitle";

private:
    struct Block {
        std::vector<std::string> lines; // lines[0] is the header, except in the first block
        std::string key; // the section name as compared; empty for the first block
        bool isSection = false;
    };

    std::string SectionKeyOf(std::string_view headerLine) const;
    std::string NormalisedSection(std::string_view name) const;
    std::string_view KeyOf(std::string_view line) const;
    bool KeyEquals(std::string_view lineKey, std::string_view wanted) const;

    Block* FindSection(std::string_view section) const;
    // Index within the block's lines of the key's entry, or -1.
    int FindKey(const Block& block, std::string_view key) const;
    const std::string* FindValueLine(std::string_view section, std::string_view key) const;

    void AppendLine(std::string line);
    void RebuildIndex();
    void NormaliseTitle();

    std::vector<std::unique_ptr<Block>> m_blocks;
    std::unordered_map<std::string, Block*> m_firstSection;
    bool m_caseSensitive = true;
    char m_separator = '=';
};

// A stored count limited to what the store can hold: every record needs at
// least one line, so a damaged count (say two billion) cannot make loading run
// out of memory. Counts up to the line count plus kCountSlack are kept, so a
// few missing sections still give records with default values.
inline constexpr size_t kCountSlack = 1000;
int CappedCount(const TIniList& store, int count);

// The XOR key of the settings files.
inline constexpr std::string_view kScrambleKey = "vobek";

// File form: byte 0 stays; byte k (k >= 1) is XORed with key character (k - 1) mod 5.
void ScrambleFileImage(std::string& image);
// The same for `size` bytes that lie `offset` bytes into a file image, so that
// an image can be scrambled piece by piece as it streams.
void ScrambleFileBytes(char* data, size_t size, size_t offset);
// Text form: character k (from 0) is XORed with key character k mod 5.
void ScrambleText(std::string& text);

} // namespace pw
