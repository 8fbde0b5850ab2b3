#include "pageads/adblock.h"

namespace pw {

std::string ScriptQuote(std::string_view html, PageEncoding encoding)
{
    std::string out;
    out.reserve(html.size() + html.size() / 8 + 3);
    out += '"';
    char previous = '\0';
    for (size_t i = 0; i < html.size();) {
        const size_t length = PageCharLength(encoding, html, i);
        if (length > 1) {
            out.append(html.substr(i, length));
            previous = html[i + length - 1];
            i += length;
            continue;
        }
        const char c = html[i];
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            if (previous == '<')
                out += '\\';
            out += '/';
            break;
        default:
            out += c;
        }
        previous = c;
        ++i;
    }
    out += "\",";
    return out;
}

std::string BuildAdBlock(std::string_view name, std::string_view html, TAdBlockKind kind, PageEncoding encoding)
{
    std::string out;
    auto member = [&](std::string& text) {
        text.append(kNormalStart).append(name).append("]-->").append(kCrLf);
        text.append(ScriptQuote(html, encoding)).append(kCrLf);
        text.append(kNormalEnd);
    };
    switch (kind) {
    case abNormal:
        out.append(kNormalStart).append(name).append("]-->").append(kCrLf);
        out.append(html).append(kCrLf);
        out.append(kNormalEnd);
        break;
    case abMember:
        member(out);
        break;
    case abRotation:
        out.append(kRotationStart).append(name).append(ToPageText(encoding, kRotationNameSuffix));
        out.append("]-->").append(kCrLf);
        out.append("<script type=\"text/javascript\">").append(kCrLf);
        out.append(kBannerArrayLine).append(kCrLf);
        member(out);
        out.append(kCrLf);
        out.append("\"\"];").append(kCrLf);
        out.append("document.write(pw_banners[((new Date()).getSeconds() % (pw_banners.length - 1))]);")
            .append(kCrLf);
        out.append("</script>").append(kCrLf);
        out.append(kRotationEnd);
        break;
    default:
        break;
    }
    return out;
}

} // namespace pw
