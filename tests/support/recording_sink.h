// A frame sink that records every frame handed to it.
#pragma once

#include "link/framing.h"
#include "support/hex.h"

#include <string>
#include <vector>

namespace vxtest {

class RecordingSink : public vx::FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        frames.emplace_back(bytes, bytes + length);
        return result;
    }
    std::vector<std::string> hexFrames() const {
        std::vector<std::string> out;
        for (const auto& f : frames) out.push_back(hex(f));
        return out;
    }
    std::vector<std::vector<uint8_t>> frames;
    int result = 0; // what sendFrame answers (-1 plays a stopped link)
};

} // namespace vxtest
