// settings decode|encode|get|set|erase: the settings files as the window reads
// and writes them.

#include "base/files.h"
#include "cli/cli.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"

#include <ostream>
#include <vector>

namespace pw::cli {

namespace {

constexpr std::string_view kUsage
    = "Usage:\n"
      "  pagewick-cli settings decode FILE                   print the unscrambled content\n"
      "  pagewick-cli settings encode FILE                   scramble standard input into FILE\n"
      "  pagewick-cli settings get FILE SECTION KEY [DEFAULT] print a value\n"
      "  pagewick-cli settings set FILE SECTION KEY VALUE    store a value\n"
      "  pagewick-cli settings erase FILE SECTION            remove a section\n";

void SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        // Not `folder = "."`: GCC 12 inlines that copy into this function and
        // then warns (-Wrestrict, a known false positive of its char_traits
        // memcpy) that source and target may overlap, which fails the build.
        folder.assign(1, '.');
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

// Raw output needs no conversion, so the file streams through a fixed buffer.
int DecodeRaw(Context& c)
{
    FileReader reader;
    if (Status opened = reader.Open(c.args[1]); !opened) {
        c.Error(opened.error);
        return kExitFile;
    }
    std::vector<char> buffer(1 << 20);
    size_t offset = 0;
    for (;;) {
        size_t count = 0;
        if (Status read = reader.Read(buffer.data(), buffer.size(), count); !read) {
            c.Error(read.error);
            return kExitFile;
        }
        if (count == 0)
            break;
        ScrambleFileBytes(buffer.data(), count, offset);
        offset += count;
        if (!c.out.write(buffer.data(), static_cast<std::streamsize>(count))) {
            c.Error("cannot write to standard output");
            return kExitFile;
        }
    }
    return kExitOk;
}

int Decode(Context& c)
{
    if (c.args.size() != 2)
        return c.UsageError("settings decode needs FILE");
    if (c.raw)
        return DecodeRaw(c);
    std::string image;
    if (Status read = ReadWholeFile(c.args[1], image); !read) {
        c.Error(read.error);
        return kExitFile;
    }
    ScrambleFileImage(image);
    c.Print(image);
    return kExitOk;
}

int Encode(Context& c)
{
    if (c.args.size() != 2)
        return c.UsageError("settings encode needs FILE");
    std::string image = c.ReadInput();
    ScrambleFileImage(image);
    if (Status written = WriteFileAtomically(c.args[1], image, FilePermissions::OwnerOnly); !written) {
        c.Error(written.error);
        return kExitFile;
    }
    return kExitOk;
}

// Loads FILE as the window does. A missing file reads as empty; it is created
// only when something is saved.
int Load(Context& c, TIniList& store, std::string& folder, std::string& name)
{
    SplitPath(c.args[1], folder, name);
    if (!FileExists(c.args[1])) {
        store.LoadFromText("");
        return kExitOk;
    }
    if (Status loaded = LoadSettings(c, store, folder, name); !loaded) {
        c.Error(loaded.error);
        return kExitFile;
    }
    return kExitOk;
}

int Save(Context& c, const TIniList& store, const std::string& folder, const std::string& name)
{
    if (Status saved = SaveSettingsFile(store, folder, name); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
}

int Get(Context& c)
{
    if (c.args.size() != 4 && c.args.size() != 5)
        return c.UsageError("settings get needs FILE SECTION KEY [DEFAULT]");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, store, folder, name); code != kExitOk)
        return code;
    const std::string def = c.args.size() == 5 ? c.Data(c.args[4]) : std::string();
    c.PrintLine(store.ReadString(c.Data(c.args[2]), c.Data(c.args[3]), def));
    return kExitOk;
}

int Set(Context& c)
{
    if (c.args.size() != 5)
        return c.UsageError("settings set needs FILE SECTION KEY VALUE");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, store, folder, name); code != kExitOk)
        return code;
    store.WriteString(c.Data(c.args[2]), c.Data(c.args[3]), c.Data(c.args[4]));
    return Save(c, store, folder, name);
}

int Erase(Context& c)
{
    if (c.args.size() != 3)
        return c.UsageError("settings erase needs FILE SECTION");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, store, folder, name); code != kExitOk)
        return code;
    store.EraseSection(c.Data(c.args[2]));
    return Save(c, store, folder, name);
}

int RunSettings(Context& c)
{
    if (c.args.empty())
        return c.UsageError("settings needs a subcommand: decode, encode, get, set or erase");
    const std::string& sub = c.args.front();
    if (sub == "decode")
        return Decode(c);
    if (sub == "encode")
        return Encode(c);
    if (sub == "get")
        return Get(c);
    if (sub == "set")
        return Set(c);
    if (sub == "erase")
        return Erase(c);
    return c.UsageError("unknown settings subcommand '" + sub + "'");
}

const Registrar registrar({ "settings", "read and write the scrambled settings files", kUsage, &RunSettings });

} // namespace

} // namespace pw::cli
