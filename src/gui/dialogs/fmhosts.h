#pragma once

// The host list dialog moved to the sites folder.
#include "gui/sites/fmhosts.h"
