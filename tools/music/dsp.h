// The small signal-processing parts the demo music is built from: noise,
// band-limited oscillators, envelopes and filters. Everything here is plain
// per-sample state with no allocation, so a voice can run millions of samples
// cheaply; the instruments and the mixer of make_music are their only users.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace music {

constexpr int sample_rate = 44100;
constexpr float pi = 3.14159265358979f;

// MIDI note number to frequency, A4 (note 69) = 440 Hz, equal temperament.
inline float midi_to_hz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }
inline float db_to_gain(float db) { return std::pow(10.0f, db / 20.0f); }
inline float gain_to_db(float gain) { return 20.0f * std::log10(std::max(gain, 1e-10f)); }

// xorshift32: the same noise on every run and every machine, which rand()
// does not promise.
class Noise {
public:
    explicit Noise(uint32_t seed) : state(seed != 0 ? seed : 0x9e3779b9u) {}
    // Uniform in [-1, 1).
    float next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
    // Uniform in [0, 1).
    float next_unit() { return next() * 0.5f + 0.5f; }

private:
    uint32_t state;
};

// First-order smoother; the high-pass output is the input minus the low-pass.
class OnePole {
public:
    void set_cutoff(float hz) { coefficient = 1.0f - std::exp(-2.0f * pi * hz / sample_rate); }
    float lowpass(float x) { state += coefficient * (x - state); return state; }
    float highpass(float x) { return x - lowpass(x); }

private:
    float coefficient = 1.0f;
    float state = 0.0f;
};

// Trapezoidal state-variable filter. Unlike the textbook Chamberlin form it
// stays stable up to Nyquist and when its cutoff is swept while it runs, which
// the filter envelopes do every few samples.
class Svf {
public:
    // resonance 0 (flat) to 1 (near self-oscillation); cutoff is clamped to
    // the range where the tangent below stays finite.
    void set(float hz, float resonance)
    {
        hz = std::clamp(hz, 16.0f, 0.45f * sample_rate);
        const float g = std::tan(pi * hz / sample_rate);
        k = 2.0f - 1.9f * std::clamp(resonance, 0.0f, 1.0f);
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(float x)
    {
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = x - k * v1 - v2;
    }

    float low = 0.0f, band = 0.0f, high = 0.0f;

private:
    float k = 2.0f, a1 = 1.0f, a2 = 0.0f, a3 = 0.0f;
    float ic1 = 0.0f, ic2 = 0.0f;
};

// Residual that removes the step of a naive saw or square at a phase wrap;
// without it the upper harmonics fold back as audible whistles.
inline float poly_blep(float t, float dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

// Phase accumulator with band-limited saw and square and a plain sine.
class Oscillator {
public:
    void set_frequency(float hz) { increment = std::clamp(hz / sample_rate, -0.45f, 0.45f); }
    void set_phase(float p) { phase = p - std::floor(p); }
    float saw() const { return 2.0f * phase - 1.0f - poly_blep(phase, increment); }
    float square() const
    {
        float half = phase + 0.5f;
        if (half >= 1.0f) half -= 1.0f;
        return (phase < 0.5f ? 1.0f : -1.0f) + poly_blep(phase, increment) - poly_blep(half, increment);
    }
    float sine() const { return std::sin(2.0f * pi * phase); }
    void advance()
    {
        // FM can drive the frequency below zero; the phase then runs backwards.
        phase += increment;
        if (phase >= 1.0f) phase -= 1.0f;
        else if (phase < 0.0f) phase += 1.0f;
    }

private:
    float phase = 0.0f;
    float increment = 0.0f;
};

// Times in seconds; sustain is a level from 0 to 1. Decay and release are the
// times to fall by 60 dB, the way a player hears "how long it rings".
struct EnvelopeShape {
    float attack = 0.005f;
    float decay = 0.3f;
    float sustain = 1.0f;
    float release = 0.2f;
};

// Linear attack, exponential decay and release. The release starts from
// whatever level the gate ends at, so a short note never clicks.
class Envelope {
public:
    Envelope(const EnvelopeShape& shape, int gate_samples)
        : gate(gate_samples), sustain(shape.sustain),
          attack_step(1.0f / std::max(1.0f, shape.attack * sample_rate)),
          decay_coefficient(fall_coefficient(shape.decay)),
          release_coefficient(fall_coefficient(shape.release)) {}

    float next()
    {
        if (position < gate) {
            if (attacking) {
                level += attack_step;
                if (level >= 1.0f) {
                    level = 1.0f;
                    attacking = false;
                }
            } else {
                level = sustain + (level - sustain) * decay_coefficient;
            }
        } else {
            level *= release_coefficient;
        }
        ++position;
        return level;
    }
    // True once the release has fallen below -80 dB.
    bool finished() const { return position >= gate && level < 1e-4f; }

    // Samples a note of this shape lasts after its gate closes, at most.
    static int release_samples(const EnvelopeShape& shape)
    {
        return static_cast<int>(shape.release * (80.0f / 60.0f) * sample_rate) + 1;
    }

private:
    // Per-sample factor that falls by 60 dB (a factor of 1000) in `seconds`.
    static float fall_coefficient(float seconds)
    {
        return std::exp(std::log(0.001f) / std::max(1.0f, seconds * sample_rate));
    }

    int gate;
    int position = 0;
    bool attacking = true;
    float level = 0.0f;
    float sustain;
    float attack_step;
    float decay_coefficient;
    float release_coefficient;
};

// Two channels of float samples at sample_rate, full scale at +-1.
struct StereoBuffer {
    std::vector<float> left, right;

    explicit StereoBuffer(size_t frames = 0) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
    void clear() { std::fill(left.begin(), left.end(), 0.0f); std::fill(right.begin(), right.end(), 0.0f); }
};

}  // namespace music
