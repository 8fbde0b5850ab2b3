#include "cli/cmd_pageads_support.h"

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "settings/settingsfile.h"
#include "text/lines.h"
#include "text/pagefile.h"

#include <charconv>

namespace pw::cli {

bool ParsePosition(std::string_view text, TextPos& pos)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    auto number = [](std::string_view part, size_t& value) {
        const char* end = part.data() + part.size();
        const auto [ptr, ec] = std::from_chars(part.data(), end, value);
        return !part.empty() && ec == std::errc() && ptr == end && value >= 1;
    };
    return number(text.substr(0, colon), pos.Line) && number(text.substr(colon + 1), pos.Col);
}

std::string FormatPosition(const TextPos& pos)
{
    return std::to_string(pos.Line) + ":" + std::to_string(pos.Col);
}

int LoadPage(Context& c, const std::string& path, PageFile& file)
{
    file.path = path;
    FileBytes bytes;
    if (Status read = MapWholeFile(path, bytes); !read) {
        c.Error(path + ": " + read.error);
        return kExitFile;
    }
    pw::PageFile page = pw::PageFile::FromBytes(std::move(bytes.Owner), bytes.Bytes, ForcedEncoding(c.encoding));
    file.page.Encoding = page.Encoding;
    file.byteOrderMark = page.ByteOrderMark;
    file.lineBreak = page.Break;
    file.editor.SetBuffer(std::move(page.Lines));
    return kExitOk;
}

int SavePage(Context& c, const PageFile& file)
{
    const pw::PageFile page { file.editor.Buffer(), file.page.Encoding, file.byteOrderMark, file.lineBreak };
    if (Status written = WriteFileAtomically(file.path, page.ToBytes()); !written) {
        c.Error(file.path + ": " + written.error);
        return kExitFile;
    }
    return kExitOk;
}

namespace {

int LoadStore(Context& c, TIniList& store, std::string_view name, bool create)
{
    if (!create && !FileExists(JoinPath(c.dir, name))) {
        store.LoadFromText("");
        return kExitOk;
    }
    if (Status loaded = LoadSettings(c, store, c.dir, name); !loaded) {
        c.Error(loaded.error);
        return kExitFile;
    }
    return kExitOk;
}

} // namespace

int LoadCatalogue(Context& c, CatalogueFiles& files, bool forWriting)
{
    if (int code = LoadStore(c, files.mainStore, kMainSettingsFile, false); code != kExitOk)
        return code;
    LoadNetworks(files.mainStore, files.networks);
    if (int code = LoadStore(c, files.bannerStore, kBannerFile, forWriting); code != kExitOk)
        return code;
    LoadBanners(files.banners, files.bannerStore, files.networks);
    return kExitOk;
}

int FindBannerRow(const BannerList& banners, std::string_view name)
{
    for (size_t row = 0; row < banners.Rows.size(); ++row)
        if (banners.Rows[row]->SpaceName == name)
            return static_cast<int>(row);
    return -1;
}

void PrintAdTree(Context& c, const AdPage& page)
{
    static constexpr std::string_view kWords[] = { "rotation", "matched", "changed", "unlisted" };
    const AdTree& tree = page.Tree;
    for (const AdNode* node = tree.First(); node; node = tree.Next(*node)) {
        std::string line;
        for (const AdNode* up = node->Parent(); up; up = up->Parent())
            line += "  ";
        line.append(kWords[node->Status()])
            .append("\t")
            .append(PageTextToTerminal(c, page.Encoding, node->Text()));
        if (node == tree.Selected())
            line += "\t*";
        c.out << line << '\n';
    }
}

std::string PageTextFromTerminal(const Context& c, PageEncoding encoding, std::string_view terminalText)
{
    return c.raw ? std::string(terminalText) : Utf8ToPageText(encoding, terminalText);
}

std::string PageTextToTerminal(const Context& c, PageEncoding encoding, std::string_view pageText)
{
    return c.raw ? std::string(pageText) : PageTextToUtf8(encoding, pageText);
}

void PrintMessages(Context& c, const std::vector<UserMessage>& messages)
{
    for (const auto& message : messages)
        c.Error(message.Text);
}

} // namespace pw::cli
