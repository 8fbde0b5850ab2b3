#include "sites/listing.h"

#include "text/sjis.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace pw {

namespace {

constexpr std::string_view kBadListing = "bad listing var";

// A decimal integer within [min, max], with an optional sign, as a whole
// field.
bool ToInteger(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& value)
{
    if (text.empty())
        return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return false;
    // The magnitude, kept in unsigned arithmetic so that INT64_MIN fits.
    const std::uint64_t limit
        = negative ? static_cast<std::uint64_t>(-(min + 1)) + 1 : static_cast<std::uint64_t>(max);
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (v > (limit - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = negative ? static_cast<std::int64_t>(~v + 1) : static_cast<std::int64_t>(v);
    return true;
}

bool ToInt32(std::string_view text, std::int32_t& value)
{
    std::int64_t v = 0;
    if (!ToInteger(text, INT32_MIN, INT32_MAX, v))
        return false;
    value = static_cast<std::int32_t>(v);
    return true;
}

// A field as the server sent it, for a message: at most 40 bytes, control
// bytes written as \xNN, so that the server's text cannot run on or reach a
// terminal as a command.
std::string Quoted(std::string_view text)
{
    constexpr size_t kMost = 40;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "'";
    for (size_t i = 0; i < text.size() && i < kMost; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (text.size() > kMost)
        out += "...";
    return out + "'";
}

Status IntegerError(std::string_view text)
{
    return Status::Fail(Quoted(text) + " is not a valid integer value");
}

int MonthOf(std::string_view field)
{
    static constexpr std::array<std::string_view, 12> kMonths
        = { "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC" };
    const std::string upper = sjis::ToUpperAscii(field);
    for (size_t i = 0; i < kMonths.size(); ++i) {
        if (upper == kMonths[i])
            return static_cast<int>(i) + 1;
    }
    return 0;
}

// "total 8" and the like, sent before the entries by many servers.
bool IsTotalLine(std::string_view line)
{
    if (line.substr(0, 5) != "total")
        return false;
    size_t i = 5;
    if (i >= line.size() || line[i] != ' ')
        return false;
    while (i < line.size() && line[i] == ' ')
        ++i;
    if (i == line.size())
        return false;
    for (; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9')
            return false;
    }
    return true;
}

Status ParseLine(TDirNode& folder, const std::string& line, const DateTime& now)
{
    if (line.size() <= 10)
        return Status::Fail(std::string(kBadListing));

    std::unique_ptr<TNode> entry;
    const bool isFolder = line[0] == 'd';
    if (isFolder) {
        auto dir = std::make_unique<TDirNode>();
        dir->Kind = nkFolder;
        dir->Connection = folder.Connection;
        entry = std::move(dir);
    } else {
        entry = std::make_unique<TFileNode>();
        entry->Kind = nkOther;
    }

    DateTime date;
    date.Year = now.Year;

    // Fields are separated by runs of blanks; field 8 (the name) takes the
    // rest of the line.
    size_t pos = 0;
    for (int field = 0; field <= 8 && pos < line.size(); ++field) {
        if (field == 8) {
            std::string name = line.substr(pos);
            if (line[0] == 'l') {
                const size_t arrow = name.find(" -> ");
                if (arrow != std::string::npos)
                    name.resize(arrow);
            }
            entry->Name = std::move(name);
            break;
        }
        size_t end = line.find(' ', pos);
        if (end == std::string::npos)
            end = line.size();
        const std::string_view text = std::string_view(line).substr(pos, end - pos);
        std::int32_t number = 0;
        switch (field) {
        case 0:
            entry->Attributes = std::string(text);
            break;
        case 4:
            if (!isFolder) {
                std::int64_t size = 0;
                if (!ToInteger(text, INT64_MIN, INT64_MAX, size))
                    return IntegerError(text);
                static_cast<TFileNode&>(*entry).Size = size;
            }
            break;
        case 5:
            date.Month = MonthOf(text);
            break;
        case 6:
            if (!ToInt32(text, number))
                return IntegerError(text);
            date.Day = number;
            break;
        case 7:
            if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
                const std::string_view hour = text.substr(0, colon);
                const std::string_view minute = text.substr(colon + 1, 10);
                if (!ToInt32(hour, number))
                    return IntegerError(hour);
                date.Hour = number;
                if (!ToInt32(minute, number))
                    return IntegerError(minute);
                date.Minute = number;
            } else {
                if (!ToInt32(text, number))
                    return IntegerError(text);
                date.Year = number;
            }
            break;
        default:
            break;
        }
        pos = end;
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
    }

    if (!IsValidDateTime(date))
        return Status::Fail("Invalid argument to date encode");
    if (date > now) {
        --date.Year;
        if (!IsValidDateTime(date))
            return Status::Fail("Invalid argument to date encode");
    }
    entry->Date = date;
    if (!isFolder)
        ClassifyByExtension(*entry);
    folder.AddChild(std::move(entry));
    return Status::Ok();
}

} // namespace

std::vector<ListingProblem> ParseListing(
    TDirNode& folder, const std::vector<std::string>& lines, const DateTime& now)
{
    std::vector<ListingProblem> problems;
    if (!folder.Children)
        folder.Children.emplace();
    folder.Children->reserve(folder.Children->size() + lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0 && IsTotalLine(lines[i]))
            continue;
        if (Status parsed = ParseLine(folder, lines[i], now); !parsed)
            problems.push_back({ i + 1, std::move(parsed.error) });
    }
    return problems;
}

std::string ListingProblemsText(const std::vector<ListingProblem>& problems, size_t most)
{
    std::string text;
    for (size_t i = 0; i < problems.size() && i < most; ++i)
        text += (text.empty() ? "line " : "; line ") + std::to_string(problems[i].Line) + ": " + problems[i].Error;
    if (problems.size() > most)
        text += "; and " + std::to_string(problems.size() - most) + " more lines";
    return text;
}

TNode* AddLocalEntry(TDirNode& folder, const LocalSearchResult& result)
{
    std::unique_ptr<TNode> entry;
    if (result.Directory) {
        auto dir = std::make_unique<TDirNode>();
        dir->Kind = nkFolder;
        dir->Connection = folder.Connection;
        dir->Name = result.Name;
        entry = std::move(dir);
    } else {
        auto file = std::make_unique<TFileNode>();
        file->Name = result.Name;
        file->Size = result.Size;
        ClassifyByExtension(*file);
        entry = std::move(file);
    }
    entry->Date = result.LastWrite;
    entry->Attributes = std::string(result.ReadOnly ? "r--" : "rw-") + (result.System ? "-s-" : "---")
        + (result.Hidden ? "-h-" : "---");
    return folder.AddChild(std::move(entry));
}

TNodeKind KindOfName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return nkOther;
    const std::string ext = sjis::ToUpperAscii(name.substr(dot + 1));
    static constexpr std::string_view kText[] = { "TXT", "INI", "MSG", "ME", "JS" };
    static constexpr std::string_view kArchive[] = { "GZ", "ZIP", "WAR", "JAR", "TAR", "ARJ", "LAH", "LZH" };
    static constexpr std::string_view kPage[]
        = { "HTM", "HTML", "SHTML", "XHTML", "CGI", "PL", "ASP", "CFM", "INC", "JSP" };
    for (std::string_view e : kText) {
        if (ext == e)
            return nkText;
    }
    for (std::string_view e : kArchive) {
        if (ext == e)
            return nkArchive;
    }
    for (std::string_view e : kPage) {
        if (ext == e)
            return nkPage;
    }
    return nkOther;
}

void ClassifyByExtension(TNode& node)
{
    node.Kind = KindOfName(node.Name);
}

Status SearchLocalFolder(const std::string& path, std::vector<LocalSearchResult>& results)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        return Status::Fail("bad directory");
    fs::directory_iterator it(path, ec);
    if (ec)
        return Status::Fail(ec.message());
    for (const fs::directory_entry& item : it) {
        LocalSearchResult result;
        result.Name = item.path().filename().string();
        if (result.Name == "." || result.Name == "..")
            continue;
        struct stat info { };
        // Links are followed; a dangling one is listed from the link itself.
        if (::stat(item.path().c_str(), &info) != 0 && ::lstat(item.path().c_str(), &info) != 0)
            continue;
        result.Directory = S_ISDIR(info.st_mode);
        result.ReadOnly = (info.st_mode & S_IWUSR) == 0;
        result.Hidden = !result.Name.empty() && result.Name[0] == '.';
        result.Size = info.st_size;
        result.LastWrite = LocalDateTimeOf(info.st_mtime);
        results.push_back(std::move(result));
    }
    return Status::Ok();
}

std::string_view KindWord(TNodeKind kind)
{
    switch (kind) {
    case nkFolder:
        return "folder";
    case nkText:
        return "text";
    case nkArchive:
        return "archive";
    case nkPage:
        return "page";
    case nkOther:
        break;
    }
    return "other";
}

} // namespace pw
