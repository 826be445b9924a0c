// vexor decode [--json] FILE|-   and   vexor stats [--json] FILE|-
#include "cli/cli.h"
#include "cli/packet_line.h"
#include "cli/stream_stats.h"
#include "link/file_source.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace vx::cli {

namespace {

const char* kDecodeHelp =
    "usage: vexor decode [--json] FILE|-\n"
    "\n"
    "Reads a recorded receiver byte stream (a file, or standard input for '-') through the\n"
    "deframer and the report decoders exactly as the console's receive worker does, and prints\n"
    "one line per frame. Any size is read in constant memory.\n"
    "\n"
    "  --json   one JSON object per line: result (0, or the error code the console's error\n"
    "           window gets), error (its text, for a refused frame), code, subcode, length\n"
    "           (payload bytes), frame (the frame bytes in hex), kind and record (the decoded\n"
    "           fields) for a decoded packet. Frames of code 0x23 are not decoded.\n"
    "\n"
    "A stream that ends in the middle of a frame ends with a line that says so:\n"
    "'incomplete frame at end (N bytes): ...', or {\"incomplete_at_end\": 1, \"frame\": ...}.\n"
    "\n"
    "A stream full of garbage is not an error: bad frames are printed and the exit status is 0.\n"
    "Exit status 2: usage error or unreadable file.\n";

const char* kStatsHelp =
    "usage: vexor stats [--json] [--link] FILE|-\n"
    "\n"
    "Reads a recorded receiver byte stream as the console's receive worker does and prints the\n"
    "number of good packets per code and subcode, of refused frames per error code, the bytes\n"
    "read and the throughput.\n"
    "\n"
    "  --json   one object: {\"bytes\": N, \"good\": N, \"errors\": {\"2\": N, ...},\n"
    "           \"packets\": {\"3002\": N, ...}, \"incomplete_at_end\": 0 or 1,\n"
    "           \"seconds\": S}; incomplete_at_end is 1 when the stream ends in the middle\n"
    "           of a frame\n"
    "  --link   replay FILE through the console's serial link, receive worker and routing\n"
    "           (every window's handler counting) instead of reading it directly; the counts\n"
    "           are the same, the time is that of the whole receive path\n"
    "\n"
    "Exit status 2: usage error or unreadable file (a directory, a read error); nothing is\n"
    "printed on standard output then.\n";

struct StreamArgs {
    bool json = false;
    std::string path;
};

StreamArgs parseStreamArgs(const std::vector<std::string>& args) {
    StreamArgs a;
    for (const auto& arg : args) {
        if (arg == "--json") {
            a.json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "'");
        } else if (a.path.empty()) {
            a.path = arg;
        } else {
            throw UsageError("more than one input given");
        }
    }
    if (a.path.empty()) throw UsageError("no input given (a file, or - for standard input)");
    return a;
}

std::unique_ptr<FileByteSource> openInput(const std::string& path) {
    std::string err;
    auto src = FileByteSource::open(path, err);
    if (!src) throw UsageError("cannot read " + err);
    return src;
}

bool flush(std::string& out) {
    if (out.empty()) return true;
    bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    out.clear();
    return ok;
}

int reportReadError(const FileByteSource& src, const std::string& path) {
    if (src.readError().empty()) return kExitOk;
    std::fprintf(stderr, "vexor: reading %s: %s\n", path.c_str(), src.readError().c_str());
    return kExitUsage;
}

} // namespace

int cmdDecode(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kDecodeHelp, stdout);
        return kExitOk;
    }
    StreamArgs a = parseStreamArgs(args);
    auto src = openInput(a.path);
    auto area = std::make_unique<RecordArea>();
    uint8_t frame[kRxBufferSize];
    std::string out;
    out.reserve(1 << 16);
    for (;;) {
        uint16_t count = 0;
        int r = PacketDeframer::readFrame(*src, frame, count);
        if (r == kFrameEndOfStream) {
            // A frame cut short by the end of the stream is said, not dropped silently.
            if (count > 0 && src->readError().empty()) {
                if (a.json) {
                    appendIncompleteJsonLine(out, frame, count);
                } else {
                    appendIncompleteTextLine(out, frame, count);
                }
            }
            break;
        }
        PacketLine line{frame, count, decodeFrame(r, frame, count, *area), area.get()};
        if (a.json) {
            appendJsonLine(out, line);
        } else {
            appendTextLine(out, line);
        }
        if (out.size() > (1 << 15) && !flush(out)) break;
    }
    if (!flush(out) || std::fflush(stdout) != 0) return kExitFailure; // e.g. a closed pipe
    return reportReadError(*src, a.path);
}

int cmdStats(const std::vector<std::string>& args) {
    if (wantsHelp(args)) {
        std::fputs(kStatsHelp, stdout);
        return kExitOk;
    }
    for (const auto& a : args)
        if (a == "--link") return cmdStatsLink(args);
    StreamArgs a = parseStreamArgs(args);
    auto src = openInput(a.path);
    auto area = std::make_unique<RecordArea>();
    auto stats = std::make_unique<StreamStats>();
    auto t0 = std::chrono::steady_clock::now();
    countStream(*src, *area, *stats);
    stats->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    stats->bytes = src->consumed();
    // A stream that could not be read to its end has no report: its counts would be wrong.
    if (!src->readError().empty()) return reportReadError(*src, a.path);
    std::string text = a.json ? stats->json() + "\n" : stats->text();
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

} // namespace vx::cli
