#include "gui/common/datatext.h"

#include "text/codec.h"

namespace pw::gui {

QString FromData(std::string_view data)
{
    const std::string utf8 = codec::DecodeSjis(data);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToData(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return codec::EncodeSjis(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))).bytes;
}

QString ErrorText(const Status& status)
{
    return FromData(status.error);
}

} // namespace pw::gui
