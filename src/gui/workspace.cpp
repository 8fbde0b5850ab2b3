#include "gui/workspace.h"

#include "gui/common/datatext.h"
#include "shell/onlineservices.h"

namespace pw::gui {

QString StoredServiceUrl(const Workspace& workspace)
{
    return FromData(workspace.IniListSetup.ReadString("Setups", kServiceUrlKey, "")).trimmed();
}

} // namespace pw::gui
