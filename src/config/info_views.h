// The receiver information windows as viewer specs and view functions (no Qt): the customer
// data blocks (0x15), the report codes and subcodes the receiver produces (2601, 2602) and the
// speed levels of its DPP model (2603..2605). Each only queries and shows.
#pragma once

#include "console/report_view.h"
#include "link/records.h"

#include <cstdint>
#include <span>
#include <string>

namespace vx {

// ---- Customer data blocks (0x15) -------------------------------------------------------------

namespace pkt15 {
enum Slot : uint16_t { viewEdit, byteMemo, kSlots };
}
const ViewSpec& pkt15Spec();
// The block's bytes, "%02X " each, eight to a line (lines end with a blank; no bytes: "").
std::string customerDataLines(std::span<const uint8_t> data);
// viewEdit shows the block number ("%2X"), byteMemo its bytes.
void showCustomerData(const CustomerDataRecord& r, ViewUpdates& u);
// The Query of the block viewEdit names in hexadecimal (0x01..0x7F), or the refusal.
QueryBuild customerDataQuery(const ViewInputs& in);
// A refused Query empties the memo; the receiver's "not available" (8) says so in it.
void customerDataRefused(const AckRecord& a, ViewUpdates& u);

// ---- Report codes and subcodes (2601, 2602) --------------------------------------------------

namespace pkt2601 {
enum Slot : uint16_t { CodesListBox, Label2, subcodeMemo, kSlots };
}
const ViewSpec& pkt2601Spec();
// "0x%02X" of every set bit of a 16-byte bitmap, ascending, one a line.
std::string bitmapLines(std::span<const uint8_t, 16> bitmap);
void showReportCodes(const ReportCodesRecord& r, ViewUpdates& u);
void showReportSubcodes(const ReportSubcodesRecord& r, ViewUpdates& u);
// Query 2602 of the code selected in CodesListBox, or "No Report Code selected.".
QueryBuild subcodesQuery(const ViewInputs& in);

// ---- DPP model (2603..2605) ------------------------------------------------------------------

namespace pkt2603 {
enum Slot : uint16_t { maxAppSpdMemo, minCalSpdMemo, maxCalSpdMemo, kSlots };
}
const ViewSpec& pkt2603_04_05Spec();
// The heading lines, then a line per level: its top speed in m/s (0.5 m/s a count), or
// "Unlimited" for 255.
std::string dppLevelLines(std::span<const uint8_t> levels);
// The memo of the reply's subcode (3, 4, 5); other subcodes show nothing.
void showDppModel(const DppModelRecord& r, uint8_t subcode, ViewUpdates& u);

} // namespace vx
