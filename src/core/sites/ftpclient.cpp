#include "sites/ftpclient.h"

#include <algorithm>
#include <cstring>

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

void BufferSink::ExpectSize(uint64_t size)
{
    if (size > m_bytes.capacity() && size < m_bytes.max_size())
        m_bytes.reserve(static_cast<size_t>(size));
}

bool BufferSink::Write(std::string_view bytes)
{
    m_bytes.append(bytes);
    return true;
}

bool BufferSource::Read(char* buffer, size_t capacity, size_t& count)
{
    count = std::min(capacity, m_bytes.size() - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, count);
    m_position += count;
    return true;
}

FtpResult FtpClient::Retrieve(const std::string& path, TransferSink& sink)
{
    TransferBuffer buffer;
    FtpResult result = Retrieve(path, buffer);
    if (!result)
        return result;
    sink.ExpectSize(buffer.Bytes.size());
    if (!sink.Write(buffer.Bytes))
        return FtpResult::Fail(FtpFailure::Other, sink.Error());
    return result;
}

FtpResult FtpClient::Stamp(const std::string& path, FileStamp& stamp)
{
    (void)path;
    stamp = {};
    return FtpResult::Fail(FtpFailure::Refused, "file times are not supported");
}

FtpResult FtpClient::RetrieveStamped(const std::string& path, TransferBuffer& buffer, FileStamp& stamp)
{
    if (FtpResult stamped = Stamp(path, stamp); !stamped)
        stamp = {};
    return Retrieve(path, buffer);
}

FtpResult FtpClient::Store(const std::string& path, TransferSource& source)
{
    TransferBuffer buffer;
    char chunk[65536];
    for (;;) {
        size_t count = 0;
        if (!source.Read(chunk, sizeof chunk, count))
            return FtpResult::Fail(FtpFailure::Other, source.Error());
        if (count == 0)
            break;
        buffer.Bytes.append(chunk, count);
    }
    return Store(path, buffer);
}

} // namespace pw
