#include "testtools/adc_cal_lines.h"

#include "console/report_view.h"

#include <algorithm>
#include <cstring>

namespace vx {

std::vector<std::string> adcCalibrationLines(const AdcCalibrationRecord& r) {
    const int n = std::min<int>(r.count, kAdcCalValues);
    std::vector<std::string> lines;
    lines.push_back(formatText("CalLevel: %u. AdcCalIndN: %u. SampleCount: %u (%u | %u per bin)",
                               unsigned(r.cal_level), unsigned(r.count), r.sample_count,
                               r.sample_count / 514, r.sample_count / 129));
    std::string raw = "DNLRAW:", est = "DNLEST:";
    for (int i = 0; i < n; ++i) {
        raw += formatText(" %.2f", double(r.raw[i]));
        est += formatText(" %.2f", double(r.estimated[i]));
    }
    lines.push_back(std::move(raw));
    lines.push_back(std::move(est));
    return lines;
}

AdcSampleSeries::Lines AdcSampleSeries::take(const AdcSamplesRecord& r) {
    Lines out;
    if (r.new_series != 0) {
        // A new series starts from nothing: its average must not carry the old samples.
        counter_ = 0;
        sum_ = 0;
        out.newSeries = true;
    }
    if (r.sample_kind == 2) {
        for (int i = 0; i < 16 && counter_ < kSamples; ++i) {
            float v;
            std::memcpy(&v, r.data + 4 * i, 4);
            out.samples.push_back(formatText("%4u %8.3f %7.2f %5.1f", counter_, double(v),
                                             double(v) * 3.3 / 1024.0, double(v - previous_)));
            previous_ = v;
            sum_ += v;
            ++counter_;
            if (counter_ == kSamples) {
                const double avg = double(sum_) / kSamples;
                out.summary.push_back(formatText("Avg: %.4f, (%.4f V)", avg, avg * 3.3 / 1024.0));
                sum_ = 0;
                counter_ = kSamples + 1; // nothing more until a new series
            }
        }
        return out;
    }
    for (int i = 0; i < 32; ++i)
        out.summary.push_back(formatText("%4u %4u", counter_++, unsigned(r.data[2 * i])));
    return out;
}

} // namespace vx
