#include "shell/generalsettings.h"

#include <cstdio>

namespace pw {

namespace {

constexpr std::string_view kSetups = "Setups";

} // namespace

GeneralSettings ReadGeneralSettings(const TIniList& store, const GeneralSettings& designed, int setupCount)
{
    GeneralSettings s = designed;
    s.NetworkVersion = store.ReadInteger(kSetups, "v2", 1);
    s.ClipMonitor = store.ReadBool(kSetups, "ClipMonitor", true);
    s.Ad = store.ReadBool(kSetups, "Ad", true);
    s.PreviewAd = store.ReadBool(kSetups, "PreviewAd", true);
    s.TreeWidth = store.ReadInteger("TVConnected", "width", designed.TreeWidth);
    s.TreeHeight = store.ReadInteger("TVConnected", "height", designed.TreeHeight);
    s.PreviewWidth = store.ReadInteger("PnPreview", "width", designed.PreviewWidth);
    s.AdTreeWidth = store.ReadInteger("AdTree", "width", designed.AdTreeWidth);
    s.DefautIndex = store.ReadInteger(kSetups, "DefautIndex", setupCount < 1 ? -1 : 0);
    s.LastAdIndex = store.ReadInteger(kSetups, "LastAdIndex", 0);
    s.SortColumn = store.ReadInteger(kSetups, "SortColumn", 1);
    return s;
}

void WriteGeneralSettings(TIniList& store, const GeneralSettings& s, bool sortMarkShown)
{
    store.WriteBool(kSetups, "Ad", s.Ad);
    store.WriteBool(kSetups, "ClipMonitor", s.ClipMonitor);
    store.WriteBool(kSetups, "PreviewAd", s.PreviewAd);
    if (sortMarkShown)
        store.WriteInteger(kSetups, "SortColumn", s.SortColumn);
    store.WriteInteger(kSetups, "DefautIndex", s.DefautIndex);
    store.WriteInteger("TVConnected", "width", s.TreeWidth);
    store.WriteInteger("TVConnected", "height", s.TreeHeight);
    store.WriteInteger("PnPreview", "width", s.PreviewWidth);
    if (s.AdTreeWidth != GeneralSettings().AdTreeWidth || store.SectionExists("AdTree"))
        store.WriteInteger("AdTree", "width", s.AdTreeWidth);
    store.WriteInteger(kSetups, "LastAdIndex", s.LastAdIndex);
}

int SortColumnValue(int column, bool descending)
{
    return descending ? column + 1 : -(column + 1);
}

StoredSort StoredSortFromValue(int value, int columnCount)
{
    // The mark set here is the opposite of the final one: the column click that
    // follows flips it. A positive value ends descending, a negative ascending.
    if (value == 0 || value > columnCount || value < -columnCount)
        return {};
    if (value > 0)
        return { value - 1, false };
    return { -value - 1, true };
}

std::string MakeScratchFileName(
    const std::string& folder, std::string_view extension, int number, std::uint32_t tickMilliseconds)
{
    const std::uint32_t value = tickMilliseconds / 500 + static_cast<std::uint32_t>(number);
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(value));
    std::string name = folder;
    if (!name.empty() && name.back() != '/')
        name += '/';
    return name + "pwh" + hex + "." + std::string(extension);
}

} // namespace pw
