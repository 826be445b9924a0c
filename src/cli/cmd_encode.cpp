// vexor encode query|set|system|command|raw|monitor ...: prints the frame a command sends.
#include "cli/cli.h"
#include "link/ack_texts.h"
#include "link/catalogue.h"
#include "link/framing.h"
#include "link/monitor_ops.h"

#include <cstdio>
#include <vector>

namespace vx::cli {

namespace {

const char* kEncodeHelp =
    "usage: vexor encode query CODE SUB [BYTE...]\n"
    "       vexor encode set CODE SUB [BYTE...]\n"
    "       vexor encode system CODE\n"
    "       vexor encode command CMD CODE SUB [--index I] [BYTE...]\n"
    "       vexor encode raw BYTE...\n"
    "       vexor encode monitor CMD [BYTE...]\n"
    "\n"
    "Prints the frame the console sends for a command, as upper-case hex bytes separated by\n"
    "blanks. Every argument is hexadecimal, with or without 0x.\n"
    "\n"
    "  query, set   a Query (command byte 02) or Set (01) of CODE and SUB with the data bytes\n"
    "               (header bytes, CMD and CODE, are sent unescaped: 80, 81 and 82 are refused)\n"
    "  system       a System command (03) of CODE, e.g. 01 for Hot Reset\n"
    "  command      any command byte: the subcode is left out for command byte 03, the index\n"
    "               byte is sent only when --index is given and is not 80\n"
    "  raw          81, the bytes exactly as given (not escaped), checksum, 82\n"
    "  monitor      a monitor-mode frame: 02 00 CMD length data checksum 03\n"
    "\n"
    "Example: vexor encode query 21 01   prints   81 02 21 01 D9 82\n";

// Keeps the frame a sender hands over.
class CaptureSink : public FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        frame.assign(bytes, bytes + length);
        return 0;
    }
    std::vector<uint8_t> frame;
};

std::vector<uint8_t> hexBytesArgs(const std::vector<std::string>& args, size_t from) {
    std::vector<uint8_t> out;
    for (size_t i = from; i < args.size(); ++i) out.push_back(parseHexByte(args[i], "byte"));
    return out;
}

void need(const std::vector<std::string>& args, size_t n, const char* what) {
    if (args.size() < n) throw UsageError(std::string("missing ") + what);
}

// A header byte: the encoder writes it unescaped, so 80, 81 and 82 would be read as escape,
// start or end and split the frame.
uint8_t parseHeaderByte(const std::string& text, const char* what) {
    uint8_t b = parseHexByte(text, what);
    if (isFramingByte(b))
        throw UsageError(std::string("invalid ") + what + " '" + text +
                         "': 80, 81 and 82 cannot be a header byte (they would split the frame)");
    return b;
}

} // namespace

int cmdEncode(const std::vector<std::string>& argsIn) {
    if (argsIn.empty() || wantsHelp(argsIn)) {
        std::fputs(kEncodeHelp, argsIn.empty() ? stderr : stdout);
        return argsIn.empty() ? kExitUsage : kExitOk;
    }
    const std::string form = argsIn[0];
    std::vector<std::string> args(argsIn.begin() + 1, argsIn.end());
    CaptureSink sink;
    int rc = 0;
    if (form == "query" || form == "set") {
        need(args, 2, "CODE and SUB");
        auto data = hexBytesArgs(args, 2);
        rc = sendCommand(sink, form == "query" ? kCmdQuery : kCmdSet,
                         parseHeaderByte(args[0], "code"), parseHexByte(args[1], "subcode"),
                         kNoIndex, data);
    } else if (form == "system") {
        need(args, 1, "CODE");
        if (args.size() > 1) throw UsageError("a System command takes only its code");
        rc = sendSystem(sink, parseHeaderByte(args[0], "code"));
    } else if (form == "command") {
        uint8_t index = kNoIndex;
        std::vector<std::string> rest;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--index") {
                if (i + 1 >= args.size()) throw UsageError("--index needs a value");
                index = parseHexByte(args[++i], "index");
            } else {
                rest.push_back(args[i]);
            }
        }
        need(rest, 3, "CMD, CODE and SUB");
        auto data = hexBytesArgs(rest, 3);
        rc = sendCommand(sink, parseHeaderByte(rest[0], "command byte"),
                         parseHeaderByte(rest[1], "code"), parseHexByte(rest[2], "subcode"), index,
                         data);
    } else if (form == "raw") {
        need(args, 1, "BYTE...");
        auto data = hexBytesArgs(args, 0);
        if (data.size() > 124) throw UsageError("a raw frame holds at most 124 bytes");
        rc = sendRawFrame(sink, data.data(), uint8_t(data.size()));
    } else if (form == "monitor") {
        need(args, 1, "CMD");
        auto data = hexBytesArgs(args, 1);
        if (data.size() > kMaxMonitorData)
            throw UsageError("a monitor frame holds at most 255 data bytes");
        rc = sendMonitorFrame(sink, parseHexByte(args[0], "monitor command"), data);
    } else {
        throw UsageError("unknown frame form '" + form +
                         "' (query, set, system, command, raw or monitor)");
    }
    if (rc != 0 || sink.frame.empty()) {
        throw UsageError("the frame does not fit the 128-byte frame buffer");
    }
    std::printf("%s\n", hexBytes(sink.frame.data(), sink.frame.size()).c_str());
    return kExitOk;
}

} // namespace vx::cli
