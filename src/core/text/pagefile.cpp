#include "text/pagefile.h"

#include <utility>

namespace pw {

namespace {

// Takes the byte order mark off the first line of a UTF-8 page.
void TakeMark(PageFile& file)
{
    file.ByteOrderMark = file.Encoding == PageEncoding::Utf8 && !file.Lines.Empty()
        && file.Lines[0].starts_with(kUtf8ByteOrderMark);
    if (file.ByteOrderMark)
        file.Lines.Set(0, file.Lines[0].substr(kUtf8ByteOrderMark.size()));
}

} // namespace

PageFile PageFile::FromBytes(std::string bytes, std::optional<PageEncoding> forced)
{
    auto owner = std::make_shared<std::string>(std::move(bytes));
    const std::string_view view = *owner;
    return FromBytes(std::move(owner), view, forced);
}

PageFile PageFile::FromBytes(
    std::shared_ptr<const void> owner, std::string_view bytes, std::optional<PageEncoding> forced)
{
    PageFile file;
    file.Encoding = forced ? *forced : DetectPageEncoding(bytes);
    // The mark is skipped before the lines are indexed, so that the loaded
    // bytes stay shared and no line is copied.
    file.ByteOrderMark = file.Encoding == PageEncoding::Utf8 && bytes.starts_with(kUtf8ByteOrderMark);
    if (file.ByteOrderMark)
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    file.Break = FirstLineBreak(bytes);
    file.Lines = LineBuffer(std::move(owner), bytes);
    return file;
}

PageFile PageFile::FromLines(LineBuffer lines, LineBreak lineBreak, std::optional<PageEncoding> forced)
{
    PageFile file;
    file.Lines = std::move(lines);
    file.Break = lineBreak;
    file.Encoding = forced ? *forced : DetectPageEncoding(file.Lines.Join(LineBreak::Lf));
    TakeMark(file);
    return file;
}

LineBuffer PageFile::MarkedLines() const
{
    LineBuffer lines = Lines;
    if (ByteOrderMark) {
        if (lines.Empty())
            lines.Append({});
        lines.Set(0, std::string(kUtf8ByteOrderMark) + std::string(lines[0]));
    }
    return lines;
}

std::string PageFile::ToBytes() const
{
    std::string bytes = Lines.Join(Break);
    if (ByteOrderMark)
        bytes.insert(0, kUtf8ByteOrderMark);
    return bytes;
}

} // namespace pw
