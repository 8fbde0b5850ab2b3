#include "sites/setup.h"

#include "sites/nodes.h"

namespace pw {

const std::string_view kUnnamedSetup = "\x96\xA2\x90\xDD\x92\xE8"; // 未設定

namespace {

constexpr std::string_view kSetupsSection = "Setups";

std::string SectionOf(size_t n)
{
    return "Setup" + std::to_string(n);
}

} // namespace

std::string_view ProtocolKey(TProtocol protocol)
{
    switch (protocol) {
    case TProtocol::Ftps:
        return "ftps";
    case TProtocol::Sftp:
        return "sftp";
    case TProtocol::Ftp:
        break;
    }
    return "ftp";
}

TProtocol ProtocolFromKey(std::string_view key)
{
    if (key == "ftps")
        return TProtocol::Ftps;
    if (key == "sftp")
        return TProtocol::Sftp;
    return TProtocol::Ftp;
}

int DefaultPort(TProtocol protocol)
{
    return protocol == TProtocol::Sftp ? 22 : 21;
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

std::unique_ptr<TSetup> CopySetup(const TSetup& setup)
{
    return std::make_unique<TSetup>(setup);
}

TSetupList LoadSetups(const TIniList& store)
{
    TSetupList list;
    const int count = CappedCount(store, store.ReadInteger(kSetupsSection, "Count", 0));
    for (int n = 1; n <= count; ++n) {
        const std::string section = SectionOf(n);
        auto setup = std::make_unique<TSetup>();
        setup->Name = store.ReadString(section, "Name", kUnnamedSetup);
        setup->Host = store.ReadString(section, "Host", "");
        setup->User = store.ReadString(section, "User", "");
        setup->Password = store.ReadString(section, "Password", "");
        setup->IniPath = store.ReadString(section, "IniPath", "");
        if (!setup->Host.empty())
            setup->RootURL = store.ReadString(section, "RootURL", "http://" + setup->Host + "/");
        setup->LastLoginPath = store.ReadBool(section, "LastLoginPath", false);
        if (setup->LastLoginPath)
            setup->LastPath = store.ReadString(section, "LastPath", setup->RootURL);
        setup->Protocol = ProtocolFromKey(store.ReadString(section, "Protocol", "ftp"));
        setup->Port = store.ReadInteger(section, "Port", DefaultPort(setup->Protocol));
        setup->Passive = store.ReadBool(section, "Passive", true);
        setup->TrustedCertificate = store.ReadString(section, "TrustedCertificate", "");
        setup->TrustedHostKey = store.ReadString(section, "TrustedHostKey", "");
        setup->KeyFile = store.ReadString(section, "KeyFile", "");
        setup->StoreDirectly = store.ReadBool(section, "StoreDirectly", false);
        setup->Charset
            = PageCharsetFromKey(store.ReadString(section, "Charset", "auto")).value_or(PageCharset::Auto);
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
    for (size_t i = 0; i < setups.size(); ++i) {
        const TSetup& setup = *setups[i];
        const std::string section = SectionOf(i + 1);
        store.WriteString(section, "Name", setup.Name);
        store.WriteString(section, "Host", setup.Host);
        store.WriteString(section, "User", setup.User);
        store.WriteString(section, "Password", setup.Password);
        store.WriteString(section, "IniPath", setup.IniPath);
        store.WriteString(section, "RootURL", setup.RootURL);
        store.WriteBool(section, "LastLoginPath", setup.LastLoginPath);
        if (setup.LastLoginPath)
            store.WriteString(section, "LastPath", setup.LastPath);
        store.WriteInteger(section, "Port", setup.Port);
        store.WriteString(section, "Protocol", ProtocolKey(setup.Protocol));
        store.WriteBool(section, "Passive", setup.Passive);
        store.WriteBool(section, "StoreDirectly", setup.StoreDirectly);
        // Optional entries are written when set, and cleared when a former one is there.
        const std::pair<std::string_view, const std::string*> optional[] = {
            { "TrustedCertificate", &setup.TrustedCertificate },
            { "TrustedHostKey", &setup.TrustedHostKey },
            { "KeyFile", &setup.KeyFile },
        };
        for (const auto& [key, value] : optional) {
            if (!value->empty() || !store.ReadString(section, key, "").empty())
                store.WriteString(section, key, *value);
        }
        if (setup.Charset != PageCharset::Auto || !store.ReadString(section, "Charset", "").empty())
            store.WriteString(section, "Charset", PageCharsetKey(setup.Charset));
    }
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
