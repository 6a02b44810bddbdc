#include "tools/music/effects.h"

#include <cassert>

namespace music {

namespace {

// Lowpass-feedback comb, the body of the tail.
class Comb {
public:
    explicit Comb(int length) : line(length, 0.0f) {}
    float process(float input, float feedback, float damping)
    {
        const float out = line[index];
        filtered = out * (1.0f - damping) + filtered * damping;
        line[index] = input + filtered * feedback;
        if (++index == static_cast<int>(line.size())) index = 0;
        return out;
    }

private:
    std::vector<float> line;
    int index = 0;
    float filtered = 0.0f;
};

// Schroeder allpass: smears the comb echoes into a dense wash.
class Allpass {
public:
    explicit Allpass(int length) : line(length, 0.0f) {}
    float process(float input)
    {
        const float delayed = line[index];
        line[index] = input + delayed * 0.5f;
        if (++index == static_cast<int>(line.size())) index = 0;
        return delayed - input;
    }

private:
    std::vector<float> line;
    int index = 0;
};

// Mutually prime delay lengths in samples at 44100 Hz; the right channel's
// are longer by a few samples so the two sides decorrelate into width.
constexpr int comb_lengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr int allpass_lengths[] = {556, 441, 341, 225};
constexpr int stereo_spread = 23;

}  // namespace

void apply_reverb(StereoBuffer& buffer, const ReverbSettings& settings)
{
    std::vector<Comb> combs_left, combs_right;
    std::vector<Allpass> allpasses_left, allpasses_right;
    for (int length : comb_lengths) {
        combs_left.emplace_back(length);
        combs_right.emplace_back(length + stereo_spread);
    }
    for (int length : allpass_lengths) {
        allpasses_left.emplace_back(length);
        allpasses_right.emplace_back(length + stereo_spread);
    }
    const int predelay = std::max(1, static_cast<int>(settings.predelay * sample_rate));
    std::vector<float> pre(predelay, 0.0f);
    int pre_index = 0;
    // The eight combs in parallel gain about 8x; this keeps the tail near
    // the level of its input.
    const float input_gain = 0.03f;
    const float wet1 = 0.5f * (1.0f + settings.width);
    const float wet2 = 0.5f * (1.0f - settings.width);

    for (size_t i = 0; i < buffer.frames(); ++i) {
        const float input = pre[pre_index];
        pre[pre_index] = (buffer.left[i] + buffer.right[i]) * input_gain;
        if (++pre_index == predelay) pre_index = 0;

        float left = 0.0f, right = 0.0f;
        for (size_t c = 0; c < combs_left.size(); ++c) {
            left += combs_left[c].process(input, settings.room, settings.damping);
            right += combs_right[c].process(input, settings.room, settings.damping);
        }
        for (size_t a = 0; a < allpasses_left.size(); ++a) {
            left = allpasses_left[a].process(left);
            right = allpasses_right[a].process(right);
        }
        buffer.left[i] = left * wet1 + right * wet2;
        buffer.right[i] = right * wet1 + left * wet2;
    }
}

void apply_delay(StereoBuffer& buffer, const DelaySettings& settings)
{
    assert(settings.feedback < 1.0f);
    const int length = std::max(1, static_cast<int>(settings.seconds * sample_rate));
    std::vector<float> line_left(length, 0.0f), line_right(length, 0.0f);
    OnePole tone_left, tone_right;
    tone_left.set_cutoff(settings.tone_hz);
    tone_right.set_cutoff(settings.tone_hz);
    int index = 0;
    for (size_t i = 0; i < buffer.frames(); ++i) {
        const float out_left = line_left[index];
        const float out_right = line_right[index];
        // Ping-pong: the input enters on the left, each repeat crosses over.
        const float mono_in = 0.5f * (buffer.left[i] + buffer.right[i]);
        line_left[index] = tone_left.lowpass(mono_in + out_right * settings.feedback);
        line_right[index] = tone_right.lowpass(out_left * settings.feedback);
        if (++index == length) index = 0;
        buffer.left[i] = out_left;
        buffer.right[i] = out_right;
    }
}

}  // namespace music
