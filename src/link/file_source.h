// A byte source that reads a file descriptor (a recorded stream, or standard input) in blocks,
// handing bytes to the deframer one at a time without a system call per byte.
#pragma once

#include "link/framing.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vx {

class FileByteSource : public ByteSource {
public:
    // What happens at the end of the file: a finite reader ends (kEnd); a replay idles,
    // answering "nothing waiting" until it is stopped, as a silent port would.
    enum class AtEnd { Finish, Idle };

    explicit FileByteSource(int fd, AtEnd atEnd = AtEnd::Finish, size_t blockSize = 64 * 1024);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    // Opens path for reading ("-" is standard input). On failure returns null and sets error
    // to a readable reason.
    static std::unique_ptr<FileByteSource> open(const std::string& path, std::string& error,
                                                AtEnd atEnd = AtEnd::Finish);

    // Bytes handed out so far (a start byte the deframer took for the next frame not
    // counted).
    uint64_t consumed() const { return delivered_ - uint64_t(end_ - cur_) - (startTaken_ ? 1 : 0); }
    // The read error that ended the stream, if any (empty at a clean end of file).
    const std::string& readError() const { return readError_; }

protected:
    int fetch(uint8_t& b) override;

private:
    int fd_;
    bool ownsFd_ = false;
    AtEnd atEnd_;
    std::vector<uint8_t> block_;
    uint64_t delivered_ = 0; // bytes read into the block so far
    std::string readError_;
};

} // namespace vx
