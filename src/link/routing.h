// Report routing: which window handlers a received packet reaches, in which order and under
// which condition. Both routing tables (decoded reports, and acknowledgements by acknowledged
// command, code and subcode) are data here; the receive worker turns them into the ordered
// steps of each packet's delivery, and the consumer on the window thread checks each step's
// condition when it runs it (handover.h).
//
// Conditions on the packet itself (payload byte 8 of 1401, byte 0 of 2901, the index byte of
// an acknowledgement) are decided by the worker when it builds the steps: they cannot change.
// Conditions on the windows (visible, exists, running) are decided by the consumer at the
// moment it runs the step, as the window then is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "link/window_ids.h"

namespace vx {

// The handler a step calls. Every handler receives the whole delivery (h1, h2, the frame, the
// decoded record) and the step (its arg); the role says which of a window's handlers it is.
#define VX_ROLE_LIST(X)                                                                            \
    /* The decoded reply or report of the window's code and subcode. A window that has one */      \
    /* handler per code or subcode dispatches on h1 / h2. */                                       \
    X(Reply)                                                                                       \
    /* The acknowledgement record of a Set, Query or System command of the window's code. */       \
    X(SetAck)                                                                                      \
    X(QueryAck)                                                                                    \
    X(SystemAck)                                                                                   \
    /* Every acknowledgement, with its record and h2 (acknowledgements list, generic packet */     \
    /* window, batch window). */                                                                   \
    X(AnyAck)                                                                                      \
    /* h1, h2 and the raw payload, not decoded (generic packet and batch windows). */              \
    X(RawPacket)                                                                                   \
    /* A refused frame: Delivery::result is the error code, the frame its bytes. */                \
    X(ErrorReport)                                                                                 \
    /* Code 0x23: the payload and h2 of the alternative fix message, never decoded. */             \
    X(AltFix)                                                                                      \
    /* Every decoded packet: h1, h2, payload and record (VEXOR trace window). */                   \
    X(Trace)                                                                                       \
    /* The main window's display operations. */                                                    \
    X(StartupStatus)                                                                               \
    X(ResetRunningTime)                                                                            \
    X(AntennaEvent)                                                                                \
    X(EventLogEntry)                                                                               \
    X(FastFix)                                                                                     \
    X(TimeSummary)                                                                                 \
    X(SearchStatus)                                                                                \
    X(Channel)                                                                                     \
    /* VEXOR->NMEA output: 3002 stores latitude, longitude and altitude in the shared GGA */       \
    /* record; 3201 stores the time and has the NMEA output window send a sentence. */             \
    X(NmeaGgaPosition)                                                                             \
    X(NmeaGgaTime)

enum class HandlerRole : uint8_t {
#define VX_ROLE_ENUM(r) r,
    VX_ROLE_LIST(VX_ROLE_ENUM)
#undef VX_ROLE_ENUM
};
inline constexpr size_t kRoleCount = 0
#define VX_ROLE_COUNT(r) +1
    VX_ROLE_LIST(VX_ROLE_COUNT)
#undef VX_ROLE_COUNT
    ;

std::string_view roleName(HandlerRole r);

// When a step runs, decided at delivery time.
enum class Gate : uint8_t {
    Always,        // whatever the window's state
    Visible,       // the window is shown
    ExistsVisible, // the window has been created (windows created on first use) and is shown
    Running,       // the window exists and its own running flag is set (a test that runs,
                   // VEXOR->NMEA output switched on)
};

std::string_view gateName(Gate g);

// One handler call of a delivery. arg is what the table gives the handler besides the
// delivery: the subcode (h2), the nested subcode of a 0x02 packet, or for 7002/7009 the flag
// that is 1 for 7002; 0 otherwise.
struct RouteStep {
    WindowId window;
    HandlerRole role;
    Gate gate;
    uint8_t arg;
    friend bool operator==(const RouteStep&, const RouteStep&) = default;
};

// ---- The tables ---------------------------------------------------------------------------

enum class PayloadTest : uint8_t {
    None,
    Byte0IsFF,     // 2901: the RTC form
    Byte0IsNotFF,  // 2901: the initialization form
    Byte8Is70or71, // 1401: an antenna event (low byte of the event word)
};

enum class ArgFrom : uint8_t {
    None,
    Subcode,       // h2
    NestedSubcode, // payload byte 0 of a 0x02 packet
    Is7002,        // 1 for h2 = 0x02, else 0
};

// Routing of decoded packets with h1 other than 0x10: every rule whose code equals h1 and
// whose subcode range holds h2, and whose payload test passes, in table order.
struct ReportRule {
    uint8_t code;
    uint8_t subLo, subHi; // 0x00..0xFF: any subcode
    PayloadTest test;
    WindowId window;
    HandlerRole role;
    Gate gate;
    ArgFrom arg;
};
std::span<const ReportRule> reportRoutes();

enum class AckTest : uint8_t {
    None,
    IndexIsFF,    // Set/Query 2901 with index 0xFF: the RTC form
    IndexIsNotFF, // Set/Query 2901 otherwise
};

// Routing of acknowledgements (h1 = 0x10) after the three every-acknowledgement steps: by h2
// (the acknowledged command byte, 1 Set, 2 Query, 3 System) and the acknowledged code and
// subcode (the record's bytes 0 and 1; System rules match any code). The role is SetAck,
// QueryAck or SystemAck by the command; each handler is given h2 as arg.
struct AckRule {
    uint8_t command;
    uint8_t codeLo, codeHi;
    uint8_t subLo, subHi;
    AckTest test;
    WindowId window;
    Gate gate;
};
std::span<const AckRule> ackRoutes();

// The steps the worker adds before routing and for refused frames, as data.
// Steps 5 and 6 of every good packet (h1 other than 0x23), before decoding: the generic
// packet window (visible) and the batch window (running), raw packet.
std::span<const RouteStep> rawPacketSteps();
// Every acknowledgement, first: batch window (running), generic packet window (visible),
// acknowledgements window (visible); role AnyAck, arg h2 (filled in by routePacket).
std::span<const RouteStep> anyAckSteps();
// A refused frame: the error window, always.
inline constexpr RouteStep kErrorStep{WindowId::TerrorForm, HandlerRole::ErrorReport, Gate::Always,
                                      0};
// Code 0x23: the GPS fix window, while visible; arg h2 (filled in by the worker).
inline constexpr RouteStep kAltFixStep{WindowId::Tpkt31Form, HandlerRole::AltFix, Gate::Visible, 0};
// Every decoded packet, before routing: the VEXOR trace window, while visible.
inline constexpr RouteStep kTraceStep{WindowId::TVexorTraceForm, HandlerRole::Trace, Gate::Visible,
                                      0};

// Appends to out the routing steps of a decoded packet (for h1 = 0x10 the every-acknowledgement
// steps and then the acknowledgement table), in order. payload/length are the packet's
// payload. Returns the number of steps written (never more than capacity).
size_t routePacket(uint8_t h1, uint8_t h2, const uint8_t* payload, size_t length, RouteStep* out,
                   size_t capacity);

// The most steps one delivery can hold: raw packet steps, trace, and the longest route.
inline constexpr size_t kMaxRouteSteps = 16;

// Codes whose 0x70 subcode sets the main window's diagnostic flag (RX lamp blue).
bool isDiagnosticFlagSubcode(uint8_t h2);

} // namespace vx
