#include "settings/settingsfile.h"

#include "base/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pw {

std::string MissingSettingsFileMessage(std::string_view name)
{
    // イニシャルファイル[name]は存在しません、正しくインストールしてください。
    return std::string("\x83" "C\x83j\x83V\x83\x83\x83\x8B\x83t\x83@\x83" "C\x83\x8B[") + std::string(name)
        + "]\x82\xCD\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81"
          "A\x90\xB3\x82\xB5\x82\xAD\x83"
          "C\x83\x93\x83X\x83g\x81[\x83\x8B\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
          "B";
}

Status LoadSettingsFile(TIniList& store, const std::string& folder, std::string_view name)
{
    const std::string path = JoinPath(folder, name);
    if (!FileExists(path)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return Status::Fail(MissingSettingsFileMessage(name));
        if (fd >= 0)
            ::close(fd);
    }
    std::string image;
    if (Status read = ReadWholeFile(path, image); !read)
        return read;
    ScrambleFileImage(image);
    store.LoadFromText(image);
    return Status::Ok();
}

Status SaveSettingsFile(const TIniList& store, const std::string& folder, std::string_view name)
{
    std::string image = store.SaveToText();
    ScrambleFileImage(image);
    return WriteFileAtomically(JoinPath(folder, name), image, FilePermissions::OwnerOnly);
}

} // namespace pw
