#include "gui/workspace.h"

#include "gui/common/datatext.h"
#include "gui/options/fmoption.h"

namespace pw::gui {

QString StoredServiceUrl(const Workspace& workspace)
{
    return FromData(workspace.IniListSetup.ReadString(kOptionsSection, kServiceUrlKey, "")).trimmed();
}

} // namespace pw::gui
