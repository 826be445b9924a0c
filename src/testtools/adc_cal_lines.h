// The texts of the ADC calibration window: the calibration levels (700E) and the series of ADC
// samples (700F) with their running average. Qt-free.
#pragma once

#include "link/records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// The three lines of a 700E: "CalLevel: ...", "DNLRAW: ...", "DNLEST: ..." (the values the
// record holds, at most 13 of each).
std::vector<std::string> adcCalibrationLines(const AdcCalibrationRecord& r);

// The 700F series: a sample counter, the previous sample and the running sum, shared by every
// report. The first 200 float samples of a series are printed; the 200th adds their average.
class AdcSampleSeries {
public:
    static constexpr uint32_t kSamples = 200;
    struct Lines {
        std::vector<std::string> samples; // to the sample memo
        std::vector<std::string> summary; // to the average memo: averages and byte samples
        bool newSeries = false;           // the report started a new series
    };
    Lines take(const AdcSamplesRecord& r);
    uint32_t counter() const { return counter_; }
    float sum() const { return sum_; }

private:
    uint32_t counter_ = 0;
    float previous_ = 0;
    float sum_ = 0;
};

} // namespace vx
