#include "gui/documents/editorcodec.h"

#include "text/codec.h"

namespace pw {

size_t EditorCodec::EditorOffset(std::string_view editorLine, size_t byteOffset) const
{
    size_t bytes = 0;
    size_t i = 0;
    while (i < editorLine.size()) {
        size_t next = i;
        const size_t width = PageWidth(codec::NextUtf8(editorLine, next));
        if (bytes + width > byteOffset)
            return i;
        bytes += width;
        i = next;
    }
    return i;
}

size_t EditorCodec::PageOffset(std::string_view editorLine, size_t editorOffset) const
{
    size_t bytes = 0;
    size_t i = 0;
    while (i < editorLine.size()) {
        size_t next = i;
        const size_t width = PageWidth(codec::NextUtf8(editorLine, next));
        if (next > editorOffset)
            break;
        bytes += width;
        i = next;
    }
    return bytes;
}

std::string SjisEditorCodec::Decode(std::string_view pageBytes) const
{
    return codec::DecodeSjis(pageBytes);
}

std::string SjisEditorCodec::Encode(std::string_view editorText, size_t* unencodable) const
{
    codec::EncodeResult result = codec::EncodeSjis(editorText);
    if (unencodable)
        *unencodable = result.unencodable;
    return std::move(result.bytes);
}

size_t SjisEditorCodec::PageWidth(char32_t cp) const
{
    return codec::EncodedWidth(cp);
}

std::string SjisEditorCodec::StandInLabel(char32_t cp) const
{
    return codec::IsEscape(cp) ? codec::EscapeLabel(cp) : std::string();
}

std::unique_ptr<EditorCodec> MakeEditorCodec(PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::ShiftJis:
        break;
    }
    return std::make_unique<SjisEditorCodec>();
}

} // namespace pw
