#pragma once

#include "text/linebuffer.h"
#include "text/lines.h"
#include "text/pageencoding.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// A page file as the editors hold it: its lines in the page's own encoding,
// the encoding, whether the file started with a UTF-8 byte order mark, and
// the line break written back after every line. The mark is kept out of the
// lines, so that columns count the same in the window and the command-line
// program. Reading and writing a page's bytes happen here and nowhere else.
//
// A page in one line break style that ends with a break is written back byte
// for byte as it was read; other pages come back with every line ended by
// `Break`.
struct PageFile {
    LineBuffer Lines;
    PageEncoding Encoding = PageEncoding::ShiftJis;
    bool ByteOrderMark = false;
    LineBreak Break = LineBreak::CrLf;

    // The bytes of a file: in `forced` when given, else in the encoding
    // DetectPageEncoding finds; the line break is the first the bytes hold.
    static PageFile FromBytes(std::string bytes, std::optional<PageEncoding> forced = std::nullopt);
    // The same over bytes that `owner` keeps alive and unchanged (a mapped file).
    static PageFile FromBytes(std::shared_ptr<const void> owner, std::string_view bytes,
        std::optional<PageEncoding> forced = std::nullopt);
    // Lines already split, with the break the page is to be written with (a
    // page from a server is always written with CR LF).
    static PageFile FromLines(
        LineBuffer lines, LineBreak lineBreak, std::optional<PageEncoding> forced = std::nullopt);

    // The lines with the byte order mark in front of the first.
    LineBuffer MarkedLines() const;
    // The file's bytes: the mark, then every line followed by `Break`.
    std::string ToBytes() const;
};

} // namespace pw
