#include "sites/ftpclient.h"

namespace pw {

FtpClientSettings ClientSettingsOf(const TSetup& setup)
{
    FtpClientSettings settings;
    settings.Protocol = setup.Protocol;
    settings.Host = setup.Host;
    settings.Port = setup.Port;
    settings.User = setup.User;
    settings.Password = setup.Password;
    settings.Passive = setup.Passive;
    settings.TrustedCertificate = setup.TrustedCertificate;
    settings.TrustedHostKey = setup.TrustedHostKey;
    settings.KeyFile = setup.KeyFile;
    return settings;
}

} // namespace pw
