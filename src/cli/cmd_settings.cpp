// settings decode|encode|get|set|erase: the settings files as the window reads
// and writes them.

#include "base/files.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"

#include <ostream>
#include <vector>

namespace pw::cli {

const std::string_view kSettingsUsage
    = "Usage:\n"
      "  pagewick-cli settings decode FILE                   print the unscrambled content\n"
      "  pagewick-cli settings encode FILE                   scramble standard input into FILE\n"
      "  pagewick-cli settings get FILE SECTION KEY [DEFAULT] print a value\n"
      "  pagewick-cli settings set FILE SECTION KEY VALUE    store a value\n"
      "  pagewick-cli settings erase FILE SECTION            remove a section\n";

namespace {

using Operands = std::vector<std::string>; // the arguments after the subcommand

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
int DecodeRaw(Context& c, const std::string& path)
{
    FileReader reader;
    if (Status opened = reader.Open(path); !opened) {
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

int Decode(Context& c, const Operands& a)
{
    if (a.size() != 1)
        return c.UsageError("settings decode needs FILE");
    if (c.raw)
        return DecodeRaw(c, a[0]);
    std::string image;
    if (Status read = ReadWholeFile(a[0], image); !read) {
        c.Error(read.error);
        return kExitFile;
    }
    ScrambleFileImage(image);
    c.Print(image);
    return kExitOk;
}

int Encode(Context& c, const Operands& a)
{
    if (a.size() != 1)
        return c.UsageError("settings encode needs FILE");
    std::string image = c.ReadInput();
    ScrambleFileImage(image);
    if (Status written = WriteFileAtomically(a[0], image, FilePermissions::OwnerOnly); !written) {
        c.Error(written.error);
        return kExitFile;
    }
    return kExitOk;
}

// Loads FILE as the window does. A missing file reads as empty; it is created
// only when something is saved.
int Load(Context& c, const std::string& path, TIniList& store, std::string& folder, std::string& name)
{
    SplitPath(path, folder, name);
    if (!FileExists(path)) {
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

int Get(Context& c, const Operands& a)
{
    if (a.size() != 3 && a.size() != 4)
        return c.UsageError("settings get needs FILE SECTION KEY [DEFAULT]");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, a[0], store, folder, name); code != kExitOk)
        return code;
    const std::string def = a.size() == 4 ? c.Data(a[3]) : std::string();
    c.PrintLine(store.ReadString(c.Data(a[1]), c.Data(a[2]), def));
    return kExitOk;
}

int Set(Context& c, const Operands& a)
{
    if (a.size() != 4)
        return c.UsageError("settings set needs FILE SECTION KEY VALUE");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, a[0], store, folder, name); code != kExitOk)
        return code;
    store.WriteString(c.Data(a[1]), c.Data(a[2]), c.Data(a[3]));
    return Save(c, store, folder, name);
}

int Erase(Context& c, const Operands& a)
{
    if (a.size() != 2)
        return c.UsageError("settings erase needs FILE SECTION");
    TIniList store;
    std::string folder, name;
    if (int code = Load(c, a[0], store, folder, name); code != kExitOk)
        return code;
    store.EraseSection(c.Data(a[1]));
    return Save(c, store, folder, name);
}

} // namespace

int RunSettings(Context& c)
{
    if (c.args.empty())
        return c.UsageError("settings needs a subcommand: decode, encode, get, set or erase");
    const std::string& sub = c.args.front();
    const ParsedArgs args = c.Parse(1);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (sub == "decode")
        return Decode(c, args.positional);
    if (sub == "encode")
        return Encode(c, args.positional);
    if (sub == "get")
        return Get(c, args.positional);
    if (sub == "set")
        return Set(c, args.positional);
    if (sub == "erase")
        return Erase(c, args.positional);
    return c.UsageError("unknown settings subcommand '" + sub + "'");
}

} // namespace pw::cli
