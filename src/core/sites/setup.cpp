#include "sites/setup.h"

#include "base/sjistext.h"
#include "settings/recordio.h"
#include "settings/secretstore.h"
#include "sites/nodes.h"

namespace pw {

const std::string_view kUnnamedSetup = "未設定"_sjis;

namespace {

constexpr std::string_view kSetupsSection = "Setups";

std::string SectionOf(size_t n)
{
    return "Setup" + std::to_string(n);
}

PageCharset CharsetFromKey(std::string_view key)
{
    return PageCharsetFromKey(key).value_or(PageCharset::Auto);
}

} // namespace

std::string_view ProtocolKey(SiteProtocol protocol)
{
    switch (protocol) {
    case SiteProtocol::Ftps:
        return "ftps";
    case SiteProtocol::Sftp:
        return "sftp";
    case SiteProtocol::Ftp:
        break;
    }
    return "ftp";
}

SiteProtocol ProtocolFromKey(std::string_view key)
{
    if (key == "ftps")
        return SiteProtocol::Ftps;
    if (key == "sftp")
        return SiteProtocol::Sftp;
    return SiteProtocol::Ftp;
}

int DefaultPort(SiteProtocol protocol)
{
    return protocol == SiteProtocol::Sftp ? 22 : 21;
}

bool IsUsableHostName(std::string_view host)
{
    if (host.empty())
        return false;
    for (unsigned char c : host) {
        if (c <= ' ' || c == 0x7F || c == '/' || c == '#' || c == '@' || c == '?' || c == '\\')
            return false;
    }
    // Brackets only around a whole IPv6 address.
    const size_t open = host.find('[');
    const size_t close = host.find(']');
    if (open == std::string_view::npos && close == std::string_view::npos)
        return true;
    return open == 0 && close == host.size() - 1 && host.find('[', 1) == std::string_view::npos
        && host.find(':') != std::string_view::npos;
}

namespace {

// The stored fields of a setup, in writing order (see settings/recordio.h).
// Kind is not stored: it follows from Host.
template <class Io, class Setup> void VisitSetupFields(Io& io, Setup& s)
{
    io.Text("Name", s.Name, kUnnamedSetup);
    io.Text("Host", s.Host);
    io.Text("User", s.User);
    io.Text("Password", s.Password);
    io.Text("IniPath", s.IniPath);
    // A local folder's stored address is written but not read: it keeps none.
    if (!Io::kReading || !s.Host.empty())
        io.Text("RootURL", s.RootURL, "http://" + s.Host + "/");
    io.Flag("LastLoginPath", s.LastLoginPath, false);
    if (s.LastLoginPath)
        io.Text("LastPath", s.LastPath, s.RootURL);
    io.Number("Port", s.Port, [&s] { return DefaultPort(s.Protocol); });
    io.Word("Protocol", s.Protocol, "ftp", ProtocolKey, ProtocolFromKey);
    io.Flag("Passive", s.Passive, true);
    io.Flag("StoreDirectly", s.StoreDirectly, false);
    io.OptionalText("TrustedCertificate", s.TrustedCertificate);
    io.OptionalText("TrustedHostKey", s.TrustedHostKey);
    io.OptionalText("KeyFile", s.KeyFile);
    io.OptionalWord("Charset", s.Charset, "auto", PageCharsetKey, CharsetFromKey);
    io.OptionalText("SecretId", s.SecretId);
    io.OptionalFlag("AskPassword", s.AskPassword, false);
}

} // namespace

TSetup::~TSetup()
{
    WipeString(Password);
}

std::unique_ptr<TSetup> CopySetup(const TSetup& setup)
{
    return std::make_unique<TSetup>(setup);
}

SetupList LoadSetups(const TIniList& store)
{
    SetupList list;
    const int count = CappedCount(store, store.ReadInteger(kSetupsSection, "Count", 0));
    for (int n = 1; n <= count; ++n) {
        auto setup = std::make_unique<TSetup>();
        ReadRecord(store, SectionOf(n), *setup, [](auto& io, auto& s) { VisitSetupFields(io, s); });
        setup->Kind = setup->Host.empty() ? skLocal : skFtp;
        list.Setups.push_back(std::move(setup));
    }
    const int index = store.ReadInteger(kSetupsSection, "DefautIndex", count >= 1 ? 0 : -1);
    list.SelectedIndex = index >= 0 && index < static_cast<int>(list.Setups.size()) ? index : -1;
    return list;
}

void SaveSetups(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups, int selectedIndex,
    const std::vector<std::unique_ptr<TConnection>>& openConnections)
{
    for (const auto& setup : setups) {
        if (!setup->LastLoginPath)
            continue;
        for (const auto& connection : openConnections) {
            if (connection->Setup && connection->Setup->Name == setup->Name) {
                if (connection->LastNode)
                    setup->LastPath = connection->LastNode->Path;
                break;
            }
        }
    }

    store.WriteInteger(kSetupsSection, "Count", static_cast<int>(setups.size()));
    for (size_t i = 0; i < setups.size(); ++i)
        WriteRecord(store, SectionOf(i + 1), *setups[i], [](auto& io, auto& s) { VisitSetupFields(io, s); });
    store.WriteInteger(kSetupsSection, "DefautIndex", selectedIndex);
}

} // namespace pw

namespace pw {

void SaveSetups(TIniList& store, const std::vector<std::unique_ptr<TSetup>>& setups, int selectedIndex)
{
    static const std::vector<std::unique_ptr<TConnection>> none;
    SaveSetups(store, setups, selectedIndex, none);
}

} // namespace pw
