#include "tools/music/master.h"

#include <deque>

namespace music {

Levels measure(const StereoBuffer& buffer)
{
    float peak = 0.0f;
    double sum = 0.0;
    for (size_t i = 0; i < buffer.frames(); ++i) {
        peak = std::max({peak, std::fabs(buffer.left[i]), std::fabs(buffer.right[i])});
        const double left = buffer.left[i], right = buffer.right[i];
        sum += left * left + right * right;
    }
    const double count = std::max<double>(1.0, 2.0 * buffer.frames());
    return {gain_to_db(peak), gain_to_db(static_cast<float>(std::sqrt(sum / count)))};
}

void limit_peaks(StereoBuffer& buffer, float ceiling)
{
    const size_t frames = buffer.frames();
    if (frames == 0) return;
    // Lookahead radius: the gain is at its lowest 1.5 ms either side of a
    // peak, and the smoothing below spans half of that, so every frame that
    // is averaged into a peak's gain already knows about the peak.
    const size_t radius = static_cast<size_t>(0.0015f * sample_rate);
    const size_t half = radius / 2;
    // The margin covers the rounding of the running sum and of the final
    // products, so the ceiling holds without clipping anything afterwards.
    const float target = ceiling * (1.0f - 1e-5f);
    std::vector<float> wanted(frames);
    for (size_t i = 0; i < frames; ++i) {
        const float peak = std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i]));
        wanted[i] = peak > target ? target / peak : 1.0f;
    }

    // Sliding minimum over [i - radius, i + radius] with a monotonic queue.
    std::vector<float> held(frames);
    std::deque<size_t> queue;
    size_t next = 0;
    for (size_t i = 0; i < frames; ++i) {
        for (; next < frames && next <= i + radius; ++next) {
            while (!queue.empty() && wanted[queue.back()] >= wanted[next]) queue.pop_back();
            queue.push_back(next);
        }
        while (queue.front() + radius < i) queue.pop_front();
        held[i] = wanted[queue.front()];
    }

    // Recover towards unity over about 100 ms, never above what is held.
    const float recovery = 1.0f - std::exp(-1.0f / (0.1f * sample_rate));
    float gain = held[0];
    for (size_t i = 0; i < frames; ++i) {
        gain = std::min(held[i], gain + (1.0f - gain) * recovery);
        held[i] = gain;
    }

    // Moving average over [i - half, i + half]: no step in the gain, and each
    // term is at most the gain a peak within the radius needs.
    double sum = 0.0;
    size_t first = 0, last = 0;  // window is [first, last)
    for (size_t i = 0; i < frames; ++i) {
        const size_t want_first = i >= half ? i - half : 0;
        const size_t want_last = std::min(frames, i + half + 1);
        for (; last < want_last; ++last) sum += held[last];
        for (; first < want_first; ++first) sum -= held[first];
        const float smoothed = static_cast<float>(sum / static_cast<double>(last - first));
        buffer.left[i] *= smoothed;
        buffer.right[i] *= smoothed;
    }
}

void master_track(StereoBuffer& buffer, float target_rms_db, float ceiling_db)
{
    // 20 Hz high-pass: no DC offset, and no rumble below what speakers play.
    OnePole dc_left, dc_right;
    dc_left.set_cutoff(20.0f);
    dc_right.set_cutoff(20.0f);
    for (size_t i = 0; i < buffer.frames(); ++i) {
        buffer.left[i] = dc_left.highpass(buffer.left[i]);
        buffer.right[i] = dc_right.highpass(buffer.right[i]);
    }
    const float ceiling = db_to_gain(ceiling_db);
    // Limiting takes some loudness away; each further pass makes up for the
    // loss the last one measured. Music converges in two or three passes; a
    // signal that is mostly peaks stops at the last pass, short of the target.
    for (int pass = 0; pass < 8; ++pass) {
        const float missing_db = target_rms_db - measure(buffer).rms_db;
        if (pass > 0 && std::fabs(missing_db) < 0.02f) break;
        const float gain = db_to_gain(missing_db);
        for (size_t i = 0; i < buffer.frames(); ++i) {
            buffer.left[i] *= gain;
            buffer.right[i] *= gain;
        }
        limit_peaks(buffer, ceiling);
    }
}

}  // namespace music
