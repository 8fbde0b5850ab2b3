#include "catalogue/archive.h"

#include "base/files.h"
#include "base/sjistext.h"
#include "catalogue/bannerstore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pw {

namespace {

const std::string_view kSavedPrefix = "該当広告は"_sjis;
const std::string_view kSavedSuffix = "に保存しました"_sjis;

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// A field of the archive line. Only a field that a CSV reader would split or
// misread is quoted (in double quotes, inner quotes doubled): one holding a
// comma or a line break, or starting with a quote. A quote inside any other
// field is read as it stands (by spreadsheets, Python's csv and ParseCsv
// alike), so that the lines of the usual banners, whose HTML is full of
// quotes, keep the bytes they always had.
std::string ArchiveField(std::string_view field)
{
    if (field.find_first_of(",\r\n") == std::string_view::npos && !field.starts_with('"'))
        return std::string(field);
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

} // namespace

std::string FormatArchiveRate(float rate)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", static_cast<double>(rate));
    return buffer;
}

std::string ArchiveLine(const TAdBanner& banner)
{
    std::string line = ArchiveField(BannerNetworkName(banner));
    line.append(",").append(ArchiveField(banner.SpaceName));
    line.append(",").append(ArchiveField(banner.Type));
    line.append(",").append(std::to_string(banner.PV));
    line.append(",").append(std::to_string(banner.CT));
    line.append(",").append(FormatArchiveRate(banner.ClickRate));
    line.append(",").append(std::to_string(banner.TotalRevenue));
    line.append(",").append(ArchiveField(EscapeIniText(banner.BannerHTML)));
    line.append("\r\n");
    return line;
}

ArchiveWriteResult AppendBannerToArchive(const TAdBanner& banner, const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return { ArchiveWrite::OpenFailed, std::strerror(errno) };
    ArchiveWriteResult result;
    if (!WriteAll(fd, ArchiveLine(banner)) || ::fsync(fd) != 0)
        result = { ArchiveWrite::WriteFailed, std::strerror(errno) };
    if (::close(fd) != 0 && result.Outcome == ArchiveWrite::Ok)
        result = { ArchiveWrite::WriteFailed, std::strerror(errno) };
    return result;
}

Status RemoveBanner(
    BannerList& list, TIniList& store, const std::string& folder, int row, const BannerRemoved& removed)
{
    if (row < 0 || row >= static_cast<int>(list.Rows.size()))
        return Status::Ok();
    if (removed)
        removed(list.Rows[row]->SpaceName);
    const int32_t number = list.Rows[row]->Number;
    list.Rows.erase(list.Rows.begin() + row);
    for (auto& banner : list.Rows)
        if (banner->Number > number)
            --banner->Number;
    store.EraseSection(BannerSection(static_cast<int32_t>(list.Rows.size()) + 1));
    const int count = static_cast<int>(list.Rows.size());
    list.Selected = count == 0 ? -1 : std::min(row, count - 1);
    return SaveBanners(list, store, folder);
}

ArchiveResult ArchiveBanner(
    BannerList& list, TIniList& store, const std::string& folder, int row, const BannerRemoved& removed)
{
    ArchiveResult result;
    if (row < 0 || row >= static_cast<int>(list.Rows.size()))
        return result;
    const std::string path = JoinPath(folder, kArchiveFile);
    if (!FileExists(path)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            result.Message = { MessageType::Error, std::string(kArchiveCreateFailedMessage) };
            return result;
        }
        ::close(fd);
    }
    const ArchiveWriteResult written = AppendBannerToArchive(*list.Rows[row], path);
    if (written.Outcome == ArchiveWrite::OpenFailed) {
        result.Message = { MessageType::Error, written.Error };
        return result;
    }
    if (written.Outcome == ArchiveWrite::WriteFailed) {
        result.Message = { MessageType::Error, std::string(kArchiveWriteFailedMessage) };
        return result;
    }
    result.Archived = true;
    result.Saved = RemoveBanner(list, store, folder, row, removed);
    result.Message = { MessageType::Warning, std::string(kSavedPrefix).append(path).append(kSavedSuffix) };
    return result;
}

} // namespace pw
