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

// Packets of several fields (config/packet_dialog_tables.cpp).
const DialogSpec& initDialog();            // Tpkt29Form: 2901..2905
const DialogSpec& mapMatchDialog();        // Tpkt2907Form
const DialogSpec& tachoDialog();           // Tpkt2908Form
const DialogSpec& intervalControlDialog(); // TintervalControlForm: 2A..2D
const DialogSpec& drCalibrationDialog();   // Tpkt36Form: 3603..3608
const DialogSpec& softEventDialog();       // TsoftEventForm: 2E01, 1401, 1402

// Diagnostic output and the real-time clock (config/diag_rtc_tables.cpp).
const DialogSpec& diagOutputDialog();  // Tpkt707FForm: 707F
const DialogSpec& nmeaControlDialog(); // 2202, as the configuration profiles read and write it
const DialogSpec& rtcDialog();         // TsetRtcForm: 2901 with the status byte 0xFF

} // namespace vx
