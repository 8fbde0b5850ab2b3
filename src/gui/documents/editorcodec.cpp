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

std::string PageEditorCodec::Decode(std::string_view pageBytes) const
{
    return codec::Decode(m_encoding, pageBytes);
}

std::string PageEditorCodec::Encode(std::string_view editorText, size_t* unencodable) const
{
    codec::EncodeResult result = codec::Encode(m_encoding, editorText);
    if (unencodable)
        *unencodable = result.unencodable;
    return std::move(result.bytes);
}

size_t PageEditorCodec::PageWidth(char32_t cp) const
{
    return codec::EncodedWidth(m_encoding, cp);
}

std::string PageEditorCodec::StandInLabel(char32_t cp) const
{
    return codec::IsEscape(m_encoding, cp) ? codec::EscapeLabel(m_encoding, cp) : std::string();
}

std::unique_ptr<EditorCodec> MakeEditorCodec(PageEncoding encoding)
{
    return std::make_unique<PageEditorCodec>(encoding);
}

} // namespace pw
