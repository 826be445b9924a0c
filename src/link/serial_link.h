// The serial link: the one owner of the connection to the receiver (a serial port, or a
// replay file read as if it were the port).
//
// It opens the port, runs the receive worker on its own thread, hands the worker the received
// bytes, copies every received byte to the raw taps, writes whole frames for every sender, and
// can pause the worker while a tool talks to the port itself.
//
// Threads and locks
// - The GUI thread calls startLink, stopLink, pauseLink, resumeLink and most sendFrame calls;
//   other threads may send too. The receive worker (started by startLink) reads; the raw taps
//   run on it. A flashing tool calls sendFrame, rawRead, pauseLink, resumeLink and purgeLink.
// - The read lock guards the port's read side, the read-ahead buffer and the raw taps; the
//   write lock guards port writes, so frames from different threads never interleave on the
//   wire. When both are taken (stopLink, pauseLink, purgeLink), the read lock comes first.
// - While the worker runs (and is not paused) it owns the read side: it refills a 64 KiB
//   read-ahead buffer from the port in blocks under the read lock and hands the deframer up
//   to kWindowBytes bytes at a time, so there is neither a lock nor a system call per byte.
//   Between those blocks it checks the stop and pause requests (atomic flags); when no byte
//   is waiting it sleeps in poll() on the port and the link's wake pipe, with no time limit
//   (a replay file, which poll() cannot watch, is looked at again every kReplayPollMs), so
//   an idle link costs no CPU and a hang-up is seen the moment it happens.
// - The raw taps get the bytes as the deframer takes them: the bytes of a window are handed
//   on when the deframer asks for the next window, before a replay pause, and when the worker
//   ends or is paused. So the raw view and the logs never run ahead of the receive worker
//   (during a paced replay they show the 3002 the worker pauses after, and nothing behind it).
// - Link loss: when the port's device goes away while the worker runs (USB adapter
//   unplugged, the other side of a pseudo-terminal closed, a read error), the worker ends its
//   reader, hands the taps the unfinished chunk, closes the port, and the link reports the
//   loss once: lost() and lostReason() say so and the loss observer is called. The link no
//   longer runs (running() is false, sendFrame returns -1); stopLink releases what is left
//   and returns 0, and a new startLink works once the device is back.
// - stopLink is cooperative: it asks the worker to stop, wakes it from every wait (poll,
//   replay pacing, a full hand-over queue through LinkReader::interruptReader) and joins it,
//   normally within a few milliseconds; no thread is left behind.
// - pauseLink is cooperative too: after pauseLink returns the worker does not touch the port,
//   the read-ahead buffer or the taps until resumeLink; the bytes it already held in hand
//   (at most kWindowBytes, all received before the pause) may still be deframed. The worker
//   holds no lock while it is held, so a tool may then use rawRead, readBytes and sendFrame,
//   and wait for the receiver's bytes in waitReadable.
// - One owner at a time: a tool that must be the only sender for a while (the flash tools,
//   which talk to the receiver's monitor) claims the link. Until its LinkClaim is released,
//   sendFrame returns -1 for every other sender (menus, test tools, timers, writer threads),
//   and the tool sends through the claim. Starting, stopping, pausing and reading are not
//   affected; the claim outlives a restart of the link.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/com_slots.h"
#include "link/framing.h"
#include "link/link_settings.h"
#include "link/serial_port.h"

namespace vx {

// Receives the raw byte chunks of the link: the raw data view and the data logging window.
//
// Chunking (the same for every tap): a chunk ends at each 0x82 (one frame per chunk, escapes
// included, with any bytes between frames in front), or, when the text mode is on ("Show
// Text/NMEA"), at each CR LF, which is removed (one text line per chunk); in both modes a
// chunk ends at 240 bytes. When the link stops (or loses its port), an unfinished chunk is
// handed on as it is, so a binary log holds every received byte.
class RawTap {
public:
    virtual ~RawTap() = default;
    // Called on the receive worker (or, for the bytes the worker held, on the thread that
    // pauses or stops the link) while the link holds its read lock. secondByte is bytes[1]
    // (header byte 1 when the chunk is a frame), or 0 for a chunk shorter than 2 bytes. Must
    // not call back into the link's read side (readBytes, rawRead, pauseLink, purgeLink,
    // stopLink, tap changes).
    virtual void rawChunk(const uint8_t* bytes, size_t count, uint8_t secondByte) = 0;
    // The same chunk with the bytes the text mode removed: bytes[0..count) is the chunk,
    // bytes[count..count + lineEnd) the CR LF that ended it (lineEnd is 2 then, else 0), so a
    // tap that must keep every received byte (a binary log) sees the line ends too. The link
    // calls this one; the default passes the chunk to rawChunk.
    virtual void rawChunkReceived(const uint8_t* bytes, size_t count, size_t lineEnd,
                                  uint8_t secondByte) {
        (void)lineEnd;
        rawChunk(bytes, count, secondByte);
    }
};

// Told of every frame written successfully (the TX lamp). Called on the sending thread right
// after the write; must be quick and thread-safe (set a flag, post an event).
class TxObserver {
public:
    virtual ~TxObserver() = default;
    virtual void frameSent() = 0;
};

// A link that stopped by itself because its port went away.
struct LinkLoss {
    std::string portName; // "COM1", or "FILE" for a replay
    std::string path;     // the device or file, as given
    std::string reason;   // "device disconnected", "device error", "read error: ..."
    std::chrono::system_clock::time_point when;
};

// Told when the link loses its port (see LinkLoss). Called once per startLink, on the
// receive worker's thread after the reader has returned and the port is closed, with no lock
// of the link held. Must return quickly and must not call startLink or stopLink (the worker
// is still ending): post the news to the GUI thread and stop the link there.
class LinkLossObserver {
public:
    virtual ~LinkLossObserver() = default;
    virtual void linkLost(const LinkLoss& loss) = 0;
};

// The clock a replay's pauses (the replay delay after each 3002) are waited out on. Without
// one the link waits on the host's clock; tests hand in a clock they step, so that a pause of
// seconds costs them nothing and its length is seen exactly.
class ReplayClock {
public:
    virtual ~ReplayClock() = default;
    // Waits until ms milliseconds have passed on this clock, or less once stop holds.
    virtual void pause(int32_t ms, const std::atomic<bool>& stop) = 0;
    // stop has just been set: a pause in progress must look at it again.
    virtual void wake() = 0;
};

// What a reader running on the worker thread sees of the link.
class LinkSession {
public:
    virtual ~LinkSession() = default;
    // The received bytes, for PacketDeframer::readFrame. It answers kStop when the link is
    // being stopped (readFrame then returns kFrameStopped) and holds the caller while paused.
    virtual ByteSource& source() = 0;
    virtual bool replaying() const = 0;
    // The replay delay in milliseconds, read now from the setting's reference.
    virtual int32_t replayDelayMs() const = 0;
    // Hands the taps the bytes deframed so far, then sleeps ms milliseconds, or less when
    // the link is being stopped.
    virtual void pace(int32_t ms) = 0;
    // Set when the link is being stopped; a reader waiting elsewhere (a full hand-over queue)
    // gives up when it sees it (interruptReader wakes it).
    virtual const std::atomic<bool>& stopFlag() const = 0;
};

// The code that runs on the link's worker thread: the receive worker.
class LinkReader {
public:
    virtual ~LinkReader() = default;
    // Runs until session.source() reports a stop; called on the worker thread.
    virtual void runReader(LinkSession& session) = 0;
    // Called by stopLink on the stopping thread after the stop was requested: wake the
    // reader from any wait outside the link (a full hand-over queue).
    virtual void interruptReader() {}
    // Called on the worker thread when no byte is waiting, before the worker sleeps (a
    // moment to hand on what the reader has collected).
    virtual void readerIdle() {}
};

class LinkClaim;

// Told when the link is claimed and when the claim is released, on the thread that did it.
class ClaimObserver {
public:
    virtual ~ClaimObserver() = default;
    virtual void linkClaimChanged(bool claimed) = 0;
};

class SerialLink : public FrameSink {
public:
    // Bytes handed to the deframer at a time; stop and pause requests are checked between
    // such blocks.
    static constexpr size_t kWindowBytes = 2048;
    static constexpr size_t kReadAheadBytes = 64 * 1024;
    static constexpr size_t kTapChunkBytes = 240;

    // The link opens the COM slots' devices as slots maps them (the caller's map, kept by
    // reference for the link's lifetime).
    explicit SerialLink(ComSlots& slots);
    ~SerialLink() override; // stops the link
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // The reader run on the worker thread. Set it while the link is stopped. Without a reader
    // startLink opens the port and starts no worker: the read side is then the caller's
    // (readBytes, rawRead).
    void setReader(LinkReader* reader);
    void setTxObserver(TxObserver* observer);
    // The observer told of a lost port (null for none). Set it while the link is stopped.
    void setLossObserver(LinkLossObserver* observer);
    // The clock of the replay's pauses (null: the host's). Set it while the link is stopped.
    void setReplayClock(ReplayClock* clock) { replayClock_ = clock; }
    // Taps are called in the order they were added (the raw data view first, then logging).
    void addRawTap(RawTap* tap);
    void removeRawTap(RawTap* tap);
    // "Show Text/NMEA": chunk the tap stream by CR LF instead of by 0x82.
    void setTapTextMode(bool text);
    bool tapTextMode() const { return tapText_.load(std::memory_order_relaxed); }

    // Opens the port (COM slot path) or the replay file and starts the worker. A link that is
    // running is stopped first (its worker joined). 0, or -1 with lastError() set to one
    // human line such as "COM3 (/dev/ttyUSB0): permission denied — is your user in the
    // dialout group?".
    int startLink(const LinkSettings& settings);
    // Stops the worker (joined) and closes the port. 0, or -1 when the link is not running.
    // After a loss it joins the ended worker and releases the port object, and returns 0
    // once.
    int stopLink();

    // Writes one frame whole under the write lock and tells the TX observer. 0, or -1 when
    // the link is not running, is claimed by a tool (see claim), or the write failed. In replay
    // mode nothing is written and the write counts as successful.
    int sendFrame(const uint8_t* bytes, uint16_t length) override;

    // Makes the caller the link's only sender until the returned claim is destroyed: from now
    // on sendFrame returns -1 and only the claim's sendFrame writes. nullptr when another
    // claim holds the link. The link must outlive the claim.
    std::unique_ptr<LinkClaim> claim();
    bool claimed() const { return owner_.load(std::memory_order_acquire) != nullptr; }
    // Told of every claim and release (null for none).
    void setClaimObserver(ClaimObserver* observer) { claimObserver_.store(observer); }

    // Reads count bytes into buffer, trying every 20 units of budget with a 1 ms pause (a
    // budget of 10 allows one attempt), and feeds them to the raw taps. 1 when count bytes
    // were read, 0 when the budget ran out (bytes read so far are kept for the next read),
    // -1 when the link is not running. For the owner of the read side: returns 0 at once
    // while the worker is reading.
    int readBytes(uint8_t* buffer, uint16_t count, int budget);
    // Reads up to count bytes that are waiting, without feeding the taps. Returns the number
    // read (0 when none were waiting). For a tool while the worker is paused (or a link
    // without a reader): returns 0 while the worker is reading.
    size_t rawRead(uint8_t* buffer, size_t count);

    // For the owner of the read side (a tool while the worker is paused, or a link without a
    // reader): waits in poll() up to timeoutMs, or less once a byte that rawRead can take may
    // be waiting (bytes in the read-ahead, the port readable or gone). stopLink, from another
    // thread, wakes it. Returns false at once when the link is not running (nothing will come:
    // the caller must not spin on it) and after a nap of at most 10 ms while the worker owns
    // the read side; true otherwise. On a link without a reader a port lost here (or in
    // rawRead) ends the link as a loss seen by the worker does: lost(), lostReason() and the
    // loss observer tell it, and running() is false.
    bool waitReadable(int timeoutMs);

    // Holds the worker and empties the receive and transmit buffers (the read-ahead too; a
    // replay file loses nothing). false when the link is not running.
    bool pauseLink();
    // Lets the held worker go on. false when the link is not running.
    bool resumeLink();
    // Empties the receive buffer (and the read-ahead; not in replay), then the transmit buffer.
    void purgeLink();
    // Empties the receive buffer and the read-ahead (not in replay) only: what was written
    // still goes out.
    void discardReceived();

    bool running() const { return running_.load(std::memory_order_acquire); }
    // True once the link has lost its port (until the next startLink).
    bool lost() const { return lost_.load(std::memory_order_acquire); }
    // Why the port was lost ("device disconnected"); empty unless lost().
    std::string lostReason() const;
    // The whole loss: port name, path, reason and time; empty fields unless lost().
    LinkLoss loss() const;
    bool paused() const { return pauseReq_.load(std::memory_order_acquire); }
    bool replaying() const { return replay_.load(std::memory_order_acquire); }
    // The settings of the last successful startLink.
    LinkSettings settings() const;
    std::string lastError() const;
    // The reason alone of the last startLink failure ("port busy — another program is using
    // it"), without the port name and path in front.
    std::string lastErrorReason() const;
    // Bytes received from the port or file since startLink.
    uint64_t bytesReceived() const { return bytesReceived_.load(std::memory_order_relaxed); }
    // Replay: true while the worker has taken every byte of the file and waits for more (the
    // end of the replay). Cleared when more bytes arrive.
    bool idleAtEnd() const { return idleAtEnd_.load(std::memory_order_acquire); }

private:
    class WorkerSource;
    class Session;
    friend class WorkerSource;
    friend class Session;
    friend class LinkClaim;

    int writeFrame(const LinkClaim* as, const uint8_t* bytes, uint16_t length);
    void release(const LinkClaim* claim);

    void stopLocked();
    void workerMain();
    void endAfterLoss();
    // A link without a reader whose port reports a loss ends as after a loss seen by the
    // worker (no lock held).
    void endIfPortLost();
    bool workerOwnsRead() const;
    void wake();
    void drainWake();
    void waitWhilePaused();
    void paceFor(int32_t ms);
    // Under the read lock.
    size_t takeLocked(uint8_t* dst, size_t n);
    void pushBackLocked(const uint8_t* src, size_t n);
    void tapLocked(const uint8_t* bytes, size_t n);
    void flushTapLocked(size_t count);
    void tapReadAheadLocked();
    void discardReadAheadLocked() { raPos_ = raEnd_ = 0; }

    ComSlots& slots_;
    mutable std::mutex lifeMu_; // serialises startLink / stopLink
    std::mutex readMu_;
    std::mutex writeMu_;
    std::mutex ctlMu_;     // pause and pacing waits
    std::mutex rawWaitMu_; // held by a tool waiting in waitReadable; stopLink takes it
                           // before it closes the port
    std::condition_variable ctlCv_;

    std::unique_ptr<SerialPort> port_; // changed only while no worker runs, under both locks
    LinkSettings settings_;            // guarded by lifeMu_ (copied for the worker at start)
    std::atomic<bool> replay_{false};
    const std::atomic<int32_t>* replayDelay_ = nullptr;
    std::string lastError_;       // guarded by errMu_
    std::string lastErrorReason_; // guarded by errMu_
    LinkLoss loss_;               // guarded by errMu_
    mutable std::mutex errMu_;
    std::string portName_, portPath_; // of the running link; written only while no worker runs
    std::atomic<LinkLossObserver*> lossObserver_{nullptr};
    std::atomic<int> lossCode_{0}; // the port's loss, seen by the worker (worker thread only)
    std::atomic<bool> lost_{false};

    LinkReader* reader_ = nullptr;
    std::atomic<TxObserver*> txObserver_{nullptr};
    std::atomic<const LinkClaim*> owner_{nullptr};
    std::atomic<ClaimObserver*> claimObserver_{nullptr};
    ReplayClock* replayClock_ = nullptr; // set while stopped
    std::thread worker_;
    std::atomic<bool> workerActive_{false};

    std::atomic<bool> running_{false};
    std::atomic<bool> stopReq_{false};
    std::atomic<bool> pauseReq_{false};
    std::atomic<bool> idleAtEnd_{false};
    std::atomic<uint64_t> bytesReceived_{0};
    int wakeRead_ = -1;
    int wakeWrite_ = -1;

    // Read side (read lock).
    std::unique_ptr<uint8_t[]> ra_;
    size_t raPos_ = 0;
    size_t raEnd_ = 0;
    std::vector<RawTap*> taps_;
    uint8_t tapBuf_[kTapChunkBytes] = {};
    size_t tapCount_ = 0;
    std::atomic<bool> tapText_{false};

    std::unique_ptr<WorkerSource> source_;
    std::unique_ptr<Session> session_;
};

// The link held by one tool (SerialLink::claim): its sendFrame is the only one that writes
// until it is destroyed, which gives the link back to every sender.
class LinkClaim : public FrameSink {
public:
    ~LinkClaim() override;
    LinkClaim(const LinkClaim&) = delete;
    LinkClaim& operator=(const LinkClaim&) = delete;

    // As SerialLink::sendFrame, for the owner.
    int sendFrame(const uint8_t* bytes, uint16_t length) override;
    SerialLink& link() const { return link_; }

private:
    friend class SerialLink;
    explicit LinkClaim(SerialLink& link) : link_(link) {}
    SerialLink& link_;
};

} // namespace vx
