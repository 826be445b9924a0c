// A sleeper that records the pauses asked of it instead of waiting.
#pragma once

#include "link/paced_script.h"

#include <numeric>
#include <vector>

namespace vxtest {

class RecordingSleeper : public vx::Sleeper {
public:
    void sleepMs(int ms) override { pauses.push_back(ms); }
    int totalMs() const { return std::accumulate(pauses.begin(), pauses.end(), 0); }
    std::vector<int> pauses;
};

} // namespace vxtest
