#include "panel/maintenancecommands.h"
