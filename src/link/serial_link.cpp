#include "link/serial_link.h"

#include "link/link_texts.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vx {

// The worker's byte source. The deframer reads the window [cur_, end_) without calls; fetch
// checks stop and pause, hands the taps the window the deframer has just used up, refills the
// read-ahead from the port in one read when it is empty, and copies the next block into the
// worker's own window (so a tool reading the port while the worker is held never touches
// bytes the worker still has in hand).
//
// The taps get a window's bytes only once they have been taken (tapUpToLocked): at the next
// fetch, before a replay pause (the bytes up to the 3002 just deframed), at pause and at the
// end of the worker. winLen_ and tapped_ change only under the read lock, so pauseLink and
// stopLink may hand on what is left.
class SerialLink::WorkerSource : public ByteSource {
public:
    explicit WorkerSource(SerialLink& link) : link_(link) {}

    void reset() {
        cur_ = end_ = nullptr;
        startTaken_ = false;
        winLen_ = tapped_ = 0;
    }

    void idleWait() override {
        if (link_.reader_) link_.reader_->readerIdle();
        SerialPort* port = link_.port_.get();
        if (port) {
            port->waitReadable(-1, link_.wakeRead_);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kReplayPollMs));
        }
        link_.drainWake();
    }

    // Under the read lock: hands the taps the window's bytes before offset upTo that they
    // have not had yet.
    void tapUpToLocked(size_t upTo) {
        if (upTo > winLen_) upTo = winLen_;
        if (upTo <= tapped_) return;
        link_.tapLocked(window_ + tapped_, upTo - tapped_);
        tapped_ = upTo;
    }
    void tapWindowLocked() { tapUpToLocked(winLen_); }
    // On the worker thread: the window bytes the deframer has taken.
    size_t takenInWindow() const {
        return cur_ >= window_ && cur_ <= window_ + winLen_ ? size_t(cur_ - window_) : 0;
    }

protected:
    int fetch(uint8_t& b) override {
        SerialLink& L = link_;
        std::unique_lock lk(L.readMu_);
        for (;;) {
            if (L.stopReq_.load(std::memory_order_relaxed)) return kStop;
            if (!L.pauseReq_.load(std::memory_order_relaxed)) break;
            lk.unlock();
            L.waitWhilePaused();
            lk.lock();
        }
        // The deframer has taken every byte of the window.
        tapWindowLocked();
        if (L.raPos_ == L.raEnd_) {
            size_t n = L.port_ ? L.port_->read(L.ra_.get(), kReadAheadBytes) : 0;
            L.raPos_ = 0;
            L.raEnd_ = n;
            if (n == 0) {
                if (int code = L.port_ ? L.port_->lossCode() : 0) {
                    // The device is gone: end the reader; workerMain reports it.
                    L.lossCode_.store(code, std::memory_order_relaxed);
                    return kStop;
                }
                if (!L.idleAtEnd_.load(std::memory_order_relaxed))
                    L.idleAtEnd_.store(true, std::memory_order_release);
                return kNone;
            }
            L.bytesReceived_.fetch_add(n, std::memory_order_relaxed);
            if (L.idleAtEnd_.load(std::memory_order_relaxed))
                L.idleAtEnd_.store(false, std::memory_order_release);
        }
        size_t n = std::min(kWindowBytes, L.raEnd_ - L.raPos_);
        std::memcpy(window_, L.ra_.get() + L.raPos_, n);
        L.raPos_ += n;
        winLen_ = n;
        tapped_ = 0;
        b = window_[0];
        cur_ = window_ + 1;
        end_ = window_ + n;
        return kGot;
    }

private:
    SerialLink& link_;
    uint8_t window_[kWindowBytes];
    size_t winLen_ = 0; // bytes in window_ (read lock)
    size_t tapped_ = 0; // window bytes already handed to the taps (read lock)
};

class SerialLink::Session : public LinkSession {
public:
    Session(SerialLink& link, WorkerSource& src) : link_(link), src_(src) {}
    ByteSource& source() override { return src_; }
    bool replaying() const override { return link_.replay_.load(std::memory_order_relaxed); }
    int32_t replayDelayMs() const override {
        return link_.replayDelay_ ? link_.replayDelay_->load(std::memory_order_relaxed) : 0;
    }
    void pace(int32_t ms) override {
        if (ms <= 0) return;
        {
            // What the worker has deframed goes to the taps before the pause, nothing more.
            std::lock_guard lk(link_.readMu_);
            src_.tapUpToLocked(src_.takenInWindow());
        }
        link_.paceFor(ms);
    }
    const std::atomic<bool>& stopFlag() const override { return link_.stopReq_; }

private:
    SerialLink& link_;
    WorkerSource& src_;
};

SerialLink::SerialLink(ComSlots& slots)
    : slots_(slots), ra_(new uint8_t[kReadAheadBytes]),
      source_(std::make_unique<WorkerSource>(*this)),
      session_(std::make_unique<Session>(*this, *source_)) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

SerialLink::~SerialLink() {
    {
        std::lock_guard life(lifeMu_);
        if (running_ || worker_.joinable()) stopLocked();
    }
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void SerialLink::setReader(LinkReader* reader) {
    std::lock_guard life(lifeMu_);
    reader_ = reader;
}

void SerialLink::setTxObserver(TxObserver* observer) {
    txObserver_.store(observer);
}

void SerialLink::setLossObserver(LinkLossObserver* observer) {
    lossObserver_.store(observer);
}

void SerialLink::addRawTap(RawTap* tap) {
    std::lock_guard lk(readMu_);
    if (std::find(taps_.begin(), taps_.end(), tap) == taps_.end()) taps_.push_back(tap);
}

void SerialLink::removeRawTap(RawTap* tap) {
    std::lock_guard lk(readMu_);
    taps_.erase(std::remove(taps_.begin(), taps_.end(), tap), taps_.end());
}

void SerialLink::setTapTextMode(bool text) {
    tapText_.store(text, std::memory_order_relaxed);
}

LinkSettings SerialLink::settings() const {
    std::lock_guard life(lifeMu_);
    return settings_;
}

std::string SerialLink::lastError() const {
    std::lock_guard lk(errMu_);
    return lastError_;
}

std::string SerialLink::lastErrorReason() const {
    std::lock_guard lk(errMu_);
    return lastErrorReason_;
}

std::string SerialLink::lostReason() const {
    std::lock_guard lk(errMu_);
    return loss_.reason;
}

LinkLoss SerialLink::loss() const {
    std::lock_guard lk(errMu_);
    return loss_;
}

int SerialLink::startLink(const LinkSettings& settings) {
    std::lock_guard life(lifeMu_);
    if (running_ || worker_.joinable()) stopLocked();

    auto setError = [&](std::string text, std::string reason = {}) {
        std::lock_guard lk(errMu_);
        lastError_ = std::move(text);
        lastErrorReason_ = reason.empty() ? lastError_ : std::move(reason);
    };

    bool replay = settings.replay;
    std::string name = ComSlots::portName(replay ? kReplayPortIndex : settings.portIndex);
    std::string path;
    if (replay) {
        path = settings.fileName;
        if (path.empty()) {
            setError("FILE: no replay file chosen");
            return -1;
        }
    } else {
        if (settings.portIndex >= kComPortCount) {
            setError("COM" + std::to_string(int(settings.portIndex) + 1) +
                     ": no such port (COM1 to COM32)");
            return -1;
        }
        path = slots_.path(settings.portIndex);
    }

    std::unique_ptr<SerialPort> port = replay ? makeReplayFile() : makeTermiosPort();
    PortConfig config;
    config.baudRate = settings.baudRate;
    config.dataBits = settings.dataBits;
    config.stopBits = settings.stopBits;
    config.parity = settings.parity;
    std::string reason;
    if (port->open(path, config, &reason) != 0) {
        setError(portLabel(name, path) + ": " + reason, reason);
        return -1;
    }

    {
        std::lock_guard rl(readMu_);
        std::lock_guard wl(writeMu_);
        port_ = std::move(port);
        discardReadAheadLocked();
        tapCount_ = 0;
    }
    settings_ = settings;
    portName_ = name;
    portPath_ = path;
    lossCode_.store(0);
    lost_.store(false);
    {
        std::lock_guard lk(errMu_);
        loss_ = LinkLoss{};
    }
    replay_ = replay;
    replayDelay_ = settings.replayDelay;
    stopReq_.store(false);
    pauseReq_.store(false);
    idleAtEnd_.store(false);
    bytesReceived_.store(0);
    drainWake();
    source_->reset();
    setError({});
    running_.store(true, std::memory_order_release);
    if (reader_) {
        // The worker owns the read side from now on, even before its thread has started.
        workerActive_.store(true, std::memory_order_release);
        try {
            worker_ = std::thread([this] { workerMain(); });
        } catch (const std::exception& e) {
            workerActive_.store(false);
            running_.store(false);
            std::lock_guard rl(readMu_);
            std::lock_guard wl(writeMu_);
            port_->close();
            port_.reset();
            setError(portLabel(name, path) + ": cannot start the receive worker: " + e.what());
            return -1;
        }
    }
    return 0;
}

void SerialLink::workerMain() {
    try {
        reader_->runReader(*session_);
    } catch (...) {
        // A reader must not throw; if it does, the link stays open without a worker rather
        // than ending the program.
    }
    // A loss is reported unless the link was being stopped anyway.
    if (lossCode_.load(std::memory_order_relaxed) != 0 && !stopReq_.load()) endAfterLoss();
    workerActive_.store(false, std::memory_order_release);
}

void SerialLink::endAfterLoss() {
    LinkLoss loss;
    loss.portName = portName_;
    loss.path = portPath_;
    loss.reason = portLossText(lossCode_.load(std::memory_order_relaxed));
    loss.when = std::chrono::system_clock::now();
    {
        // Senders and readers see a stopped link from here on; the taps get every byte the
        // worker took, the unfinished chunk too; the device is let go at once (a USB adapter
        // plugged in again gets its old name back only when nobody holds the old one).
        running_.store(false, std::memory_order_release);
        std::lock_guard rl(readMu_);
        std::lock_guard wl(writeMu_);
        source_->tapWindowLocked();
        tapReadAheadLocked();
        if (tapCount_ > 0) flushTapLocked(tapCount_);
        if (port_) port_->close();
        discardReadAheadLocked();
    }
    {
        std::lock_guard lk(errMu_);
        loss_ = loss;
    }
    lost_.store(true, std::memory_order_release);
    if (LinkLossObserver* obs = lossObserver_.load()) obs->linkLost(loss);
}

int SerialLink::stopLink() {
    std::lock_guard life(lifeMu_);
    // After a loss the link no longer runs, but its ended worker is still to be joined.
    if (!running_ && !worker_.joinable()) return -1;
    if (worker_.joinable() && worker_.get_id() == std::this_thread::get_id()) {
        // The worker cannot join itself; stopping belongs to another thread.
        std::lock_guard lk(errMu_);
        lastError_ = "stopLink called on the receive worker";
        return -1;
    }
    stopLocked();
    return 0;
}

void SerialLink::stopLocked() {
    running_.store(false, std::memory_order_release);
    {
        std::lock_guard lk(ctlMu_);
        stopReq_.store(true);
    }
    ctlCv_.notify_all();
    if (replayClock_) replayClock_->wake();
    wake();
    if (reader_) reader_->interruptReader();
    if (worker_.joinable()) worker_.join();
    workerActive_.store(false, std::memory_order_release);

    std::lock_guard rl(readMu_);
    std::lock_guard wl(writeMu_);
    // Every byte the worker took from the port reaches the taps, the unfinished chunk too.
    source_->tapWindowLocked();
    tapReadAheadLocked();
    if (tapCount_ > 0) flushTapLocked(tapCount_);
    if (port_) port_->close();
    port_.reset();
    discardReadAheadLocked();
    pauseReq_.store(false);
}

bool SerialLink::workerOwnsRead() const {
    return workerActive_.load(std::memory_order_acquire) &&
           !pauseReq_.load(std::memory_order_acquire);
}

void SerialLink::wake() {
    if (wakeWrite_ < 0) return;
    uint8_t one = 1;
    ssize_t r = ::write(wakeWrite_, &one, 1);
    (void)r; // a full pipe already wakes the worker
}

void SerialLink::drainWake() {
    if (wakeRead_ < 0) return;
    uint8_t buf[64];
    while (::read(wakeRead_, buf, sizeof buf) > 0) {
    }
}

void SerialLink::waitWhilePaused() {
    std::unique_lock lk(ctlMu_);
    ctlCv_.wait(lk, [&] { return !pauseReq_.load() || stopReq_.load(); });
}

void SerialLink::paceFor(int32_t ms) {
    if (ms <= 0) return;
    if (replayClock_) {
        replayClock_->pause(ms, stopReq_);
        return;
    }
    std::unique_lock lk(ctlMu_);
    ctlCv_.wait_for(lk, std::chrono::milliseconds(ms), [&] { return stopReq_.load(); });
}

int SerialLink::sendFrame(const uint8_t* bytes, uint16_t length) {
    if (!running_.load(std::memory_order_acquire)) return -1;
    {
        std::lock_guard wl(writeMu_);
        if (!port_ || !running_.load(std::memory_order_acquire)) return -1;
        if (port_->write(bytes, length) != 0) return -1;
    }
    if (TxObserver* obs = txObserver_.load()) obs->frameSent();
    return 0;
}

size_t SerialLink::takeLocked(uint8_t* dst, size_t n) {
    size_t got = std::min(n, raEnd_ - raPos_);
    std::memcpy(dst, ra_.get() + raPos_, got);
    raPos_ += got;
    if (got < n && port_) {
        size_t more = port_->read(dst + got, n - got);
        bytesReceived_.fetch_add(more, std::memory_order_relaxed);
        got += more;
    }
    return got;
}

void SerialLink::pushBackLocked(const uint8_t* src, size_t n) {
    if (n == 0) return;
    if (raPos_ == raEnd_) {
        raPos_ = 0;
        raEnd_ = n;
        std::memcpy(ra_.get(), src, n);
    } else if (raPos_ >= n) {
        raPos_ -= n;
        std::memcpy(ra_.get() + raPos_, src, n);
    } else {
        // Not reached: the bytes came from the read-ahead first, so it is either empty or
        // has room in front. Keep the stream intact all the same.
        size_t keep = std::min(raEnd_ - raPos_, kReadAheadBytes - n);
        std::memmove(ra_.get() + n, ra_.get() + raPos_, keep);
        std::memcpy(ra_.get(), src, n);
        raPos_ = 0;
        raEnd_ = n + keep;
    }
}

int SerialLink::readBytes(uint8_t* buffer, uint16_t count, int budget) {
    if (!running_.load(std::memory_order_acquire)) return -1;
    if (count == 0 || workerOwnsRead()) return 0;
    std::unique_lock lk(readMu_);
    size_t got = 0;
    while (budget > 0 && got < count) {
        got += takeLocked(buffer + got, count - got);
        if (got < count) {
            lk.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lk.lock();
        }
        budget -= 20;
    }
    if (got == count) {
        tapLocked(buffer, count);
        return 1;
    }
    pushBackLocked(buffer, got);
    return 0;
}

size_t SerialLink::rawRead(uint8_t* buffer, size_t count) {
    if (count == 0 || workerOwnsRead()) return 0;
    size_t got;
    {
        std::lock_guard lk(readMu_);
        got = takeLocked(buffer, count);
    }
    if (got == 0) endIfPortLost();
    return got;
}

bool SerialLink::waitReadable(int timeoutMs) {
    if (!running_.load(std::memory_order_acquire) || workerOwnsRead()) return false;
    {
        std::lock_guard lk(readMu_);
        if (raPos_ < raEnd_) return true;
        if (port_) port_->waitReadable(timeoutMs, wakeRead_);
    }
    drainWake();
    endIfPortLost();
    return running_.load(std::memory_order_acquire);
}

void SerialLink::endIfPortLost() {
    // Only a link without a worker: a worker sees the loss itself and reports it when it ends.
    if (reader_ || !running_.load(std::memory_order_acquire)) return;
    int code = 0;
    {
        std::lock_guard lk(readMu_);
        code = port_ ? port_->lossCode() : 0;
    }
    if (code == 0) return;
    lossCode_.store(code, std::memory_order_relaxed);
    endAfterLoss();
}

bool SerialLink::pauseLink() {
    if (!running_.load(std::memory_order_acquire)) return false;
    {
        std::lock_guard lk(ctlMu_);
        pauseReq_.store(true, std::memory_order_release);
    }
    // Once the read lock is ours, the worker is outside the read side and will see the
    // request before it touches the port again.
    std::lock_guard rl(readMu_);
    std::lock_guard wl(writeMu_);
    // The bytes the worker holds were received before anything a tool reads now: they go to
    // the taps first, so the taps keep the order of the wire.
    source_->tapWindowLocked();
    if (port_) port_->purge(true, true);
    // A replay file has no receive buffer to empty: its read-ahead is the file itself, and
    // dropping it would lose recorded bytes.
    if (!replay_.load(std::memory_order_relaxed)) discardReadAheadLocked();
    return true;
}

bool SerialLink::resumeLink() {
    if (!running_.load(std::memory_order_acquire)) return false;
    {
        std::lock_guard lk(ctlMu_);
        pauseReq_.store(false, std::memory_order_release);
    }
    ctlCv_.notify_all();
    return true;
}

void SerialLink::purgeLink() {
    if (!running_.load(std::memory_order_acquire)) return;
    std::lock_guard rl(readMu_);
    if (port_) port_->purge(true, false);
    if (!replay_.load(std::memory_order_relaxed)) discardReadAheadLocked();
    std::lock_guard wl(writeMu_);
    if (port_) port_->purge(false, true);
}

void SerialLink::tapReadAheadLocked() {
    // Bytes read from a port but not yet deframed when the link stops came from the receiver
    // all the same: the logs of every byte get them. A replay file's read-ahead was never
    // "received" (the replay stops where the worker was), so it is dropped untapped.
    if (replay_.load(std::memory_order_relaxed) || raPos_ >= raEnd_) return;
    tapLocked(ra_.get() + raPos_, raEnd_ - raPos_);
    raPos_ = raEnd_;
}

void SerialLink::flushTapLocked(size_t count) {
    uint8_t second = count >= 2 ? tapBuf_[1] : 0;
    // A chunk cut at a CR LF leaves the line end in the buffer right behind the chunk.
    const size_t lineEnd = tapCount_ - count;
    for (RawTap* t : taps_) t->rawChunkReceived(tapBuf_, count, lineEnd, second);
    tapCount_ = 0;
}

void SerialLink::tapLocked(const uint8_t* p, size_t n) {
    if (taps_.empty()) return;
    if (!tapText_.load(std::memory_order_relaxed)) {
        while (n > 0) {
            size_t take = std::min(n, kTapChunkBytes - tapCount_);
            const void* e = std::memchr(p, kEnd, take);
            size_t k = e ? size_t(static_cast<const uint8_t*>(e) - p) + 1 : take;
            std::memcpy(tapBuf_ + tapCount_, p, k);
            tapCount_ += k;
            p += k;
            n -= k;
            if (e || tapCount_ == kTapChunkBytes) flushTapLocked(tapCount_);
        }
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = p[i];
        tapBuf_[tapCount_++] = b;
        if (tapCount_ == kTapChunkBytes) {
            flushTapLocked(tapCount_);
        } else if (b == 0x0A && tapCount_ >= 2 && tapBuf_[tapCount_ - 2] == 0x0D) {
            flushTapLocked(tapCount_ - 2);
        }
    }
}

} // namespace vx
