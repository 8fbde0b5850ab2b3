#pragma once

#include "text/pageencoding.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace pw {

// The text conversion between a page's bytes and the editor, which holds
// UTF-8. Decoding must be lossless: Encode(Decode(bytes)) gives back any byte
// sequence unchanged, so bytes the encoding cannot read travel through the
// editor as stand-in characters. Line breaks (CR, LF) are single bytes that
// map to themselves, so lines are the same on both sides.
//
// Columns: the ad commands count a line's bytes in the page's encoding; the
// editor counts UTF-8 bytes. The mapping works on the editor's text of one
// line, adding up the page width of each character.
class EditorCodec {
public:
    virtual ~EditorCodec() = default;

    virtual std::string Decode(std::string_view pageBytes) const = 0;
    // `unencodable`, when given, receives the number of characters the page
    // encoding cannot hold (written in a form the encoding defines).
    virtual std::string Encode(std::string_view editorText, size_t* unencodable = nullptr) const = 0;
    // Number of page bytes the character takes once encoded.
    virtual size_t PageWidth(char32_t cp) const = 0;
    // A short text drawn in place of a stand-in character, or empty when `cp`
    // is an ordinary character.
    virtual std::string StandInLabel(char32_t cp) const = 0;

    // The UTF-8 offset in `editorLine` (the editor text of one line, without
    // its break) of the page byte offset `byteOffset`. An offset inside a
    // multi-byte character snaps to its start; one beyond the line gives the
    // line's length.
    size_t EditorOffset(std::string_view editorLine, size_t byteOffset) const;
    // The page byte offset of the UTF-8 offset `editorOffset` in `editorLine`
    // (an offset inside a UTF-8 sequence snaps to its start).
    size_t PageOffset(std::string_view editorLine, size_t editorOffset) const;
};

// A page's encoding (Shift_JIS, UTF-8 or EUC-JP) through the lossless codec of
// the core: invalid bytes, NUL, lone lead bytes and the second spellings of
// duplicated characters become escape characters of the Private Use Area,
// shown by their bytes or glyph.
class PageEditorCodec final : public EditorCodec {
public:
    explicit PageEditorCodec(PageEncoding encoding)
        : m_encoding(encoding)
    {
    }

    std::string Decode(std::string_view pageBytes) const override;
    std::string Encode(std::string_view editorText, size_t* unencodable = nullptr) const override;
    size_t PageWidth(char32_t cp) const override;
    std::string StandInLabel(char32_t cp) const override;

private:
    PageEncoding m_encoding;
};

// The codec for a page encoding.
std::unique_ptr<EditorCodec> MakeEditorCodec(PageEncoding encoding);

} // namespace pw
