// Saving, verifying and applying a profile: the requests of the configuration dialogs' tables
// run one entry at a time, driven from outside so that the console (from its timers) and
// `vexor config` (on the link's receive worker) run the same exchanges.
//
//     ProfileRun run = ProfileRun::verify(profile);
//     run.start(sink, now);                      // sends the first Query
//     run.packet(code, subcode, record, now);    // every routed reply ...
//     run.ack(command, ackRecord, now);          // ... and acknowledgement
//     run.tick(now);                             // at run.wakeAt(): paced frames, time-outs
//     if (run.finished()) show(run.verifyRows());
//
// Save asks for every entry (Query, then the replies and the acknowledgement) and writes what
// came back; verify asks for the profile's entries and compares field by field; apply sends
// each entry's Set frames (paced as its dialog paces them), waits for their acknowledgements,
// then verifies. One entry's request runs at a time; it ends when every packet it asks for has
// come (or was refused) or at its dialog's time-out.
#pragma once

#include "config/profile.h"
#include "link/framing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx {

class ProfileRun {
public:
    enum class Mode : uint8_t { Save, Verify, Apply };

    static ProfileRun save(std::vector<ConfigUnit> units = saveUnits());
    static ProfileRun verify(const Profile& profile);
    static ProfileRun apply(const Profile& profile);

    // The time-out of every request (ms); 0: each dialog's own.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }

    void start(FrameSink& sink, int64_t nowMs);
    // A decoded reply or report, and an acknowledgement (command: 1 Set, 2 Query).
    void packet(uint8_t code, uint8_t subcode, const RecordSnapshot& record, int64_t nowMs);
    void ack(uint8_t command, const AckRecord& a, int64_t nowMs);
    // Sends the frames whose pause is over and ends the request whose time is up.
    void tick(int64_t nowMs);
    // When tick has something to do next; nothing once finished.
    std::optional<int64_t> wakeAt() const;
    // True while the next wake-up is a pause between two frames (not an answer's time-out).
    bool pausing() const;

    Mode mode() const { return mode_; }
    bool started() const { return sink_ != nullptr; }
    bool finished() const { return finished_; }
    // A frame the link refused to send ends the run: this says which.
    const std::string& failure() const { return failure_; }
    // Requests done and in all; what runs now ("Querying gps_config").
    size_t done() const { return current_; }
    size_t total() const { return requests_.size(); }
    std::string status() const;
    // True when the receiver answered anything at all. A run whose first kSilentRequests
    // requests all went unanswered ends there.
    bool answered() const { return answered_; }
    static constexpr int kSilentRequests = 3;

    // Save: the profile text (header, one line per field; fields without an answer as
    // comments with the reason) and its values.
    // unanswered (optional): how many fields were written as comments.
    std::string savedText(const std::vector<std::string>& header,
                          size_t* unanswered = nullptr) const;
    Profile savedProfile() const;
    // The receiver's version reply as one line of text (empty when none came).
    const std::string& versionText() const { return version_; }

    // Verify and apply: the profile against the receiver, field by field.
    std::vector<FieldCompare> verifyRows() const;
    // Apply: the fields whose Set the receiver refused, with its result text, and the entries
    // not sent (a source only the receiver sets).
    const std::vector<std::string>& refused() const { return refused_; }
    const std::vector<std::string>& skipped() const { return skipped_; }

private:
    struct Expect {
        uint8_t subcode = 0; // the table's subcode
        int key = -1;        // the entry; -1: none
        bool done = false;
        std::optional<FieldValues> values;
        std::string note; // why there are none
    };
    struct SetFrame {
        uint8_t subcode = 0; // on the wire
        int key = -1;
        bool acked = false;
        std::vector<const ConfigField*> fields;
    };
    enum class Kind : uint8_t { Version, Query, Set };
    struct Request {
        Kind kind = Kind::Query;
        ConfigUnit unit;
        PacedScript script;
        size_t next = 0;
        int64_t sendAt = 0;
        int64_t deadline = 0;
        std::vector<Expect> expects;
        std::vector<SetFrame> sets;
        // A Query that reads an entry before its Set (not a verification), and a Set whose
        // frames are built from the profile's values when that Query has answered.
        bool before = false;
        bool deferred = false;
        std::vector<std::optional<double>> values;
    };

    static Request request(Kind kind, const ConfigUnit& u) {
        Request r;
        r.kind = kind;
        r.unit = u;
        return r;
    }
    static Expect expect(uint8_t subcode, int key) {
        Expect e;
        e.subcode = subcode;
        e.key = key;
        return e;
    }
    static SetFrame setFrame(uint8_t subcode, int key, std::vector<const ConfigField*> fields) {
        SetFrame f;
        f.subcode = subcode;
        f.key = key;
        f.fields = std::move(fields);
        return f;
    }

    ProfileRun(Mode mode, const Profile* profile);
    void addQuery(const ConfigUnit& u);
    void addSet(const ConfigUnit& u);
    // Builds a deferred Set from the answers of the Query before it; false when it cannot.
    bool buildDeferred(Request& r);
    bool complete(const Request& r) const;
    void endRequest(Request& r);
    void pump(int64_t nowMs);
    // The answers of an entry's Query, and those for one field.
    const Request* queryOf(const ConfigUnit& u) const;
    std::vector<const Expect*> answersFor(const Request& q, const ConfigField& f) const;

    Mode mode_;
    Profile profile_;
    std::vector<Request> requests_;
    size_t current_ = 0;
    FrameSink* sink_ = nullptr;
    int timeoutMs_ = 0;
    bool finished_ = false;
    bool answered_ = false;
    int silent_ = 0;
    std::string failure_;
    std::string version_;
    std::vector<std::string> refused_;
    std::vector<std::string> skipped_;
};

} // namespace vx
