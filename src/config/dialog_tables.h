// The settings dialogs as data: one DialogSpec per dialog (fields with their wire subcodes,
// formats and scales; sections; groups; policy). The windows (Tpkt2101Form, ...) build
// themselves from these tables on the settings dialog base; anything else that needs a
// dialog's fields, names and units reads them here.
#pragma once

#include "console/settings_dialog.h"

namespace vx {

const DialogSpec& engineRateDialog(); // Tpkt2101Form
const DialogSpec& gpsConfigDialog();  // TmaskForm
const DialogSpec& kalmanDialog();     // Tpkt25Form
const DialogSpec& drFilterDialog();   // Tpkt27Form

} // namespace vx
