#include "tools/music/voices.h"

#include <cassert>

namespace music {

namespace {

// Coefficients and pitch change slowly against the audio, so they are
// refreshed once per block; a tan() and exp2() per sample would dominate.
constexpr int control_block = 16;

size_t frames_left(const StereoBuffer& out, size_t start, int wanted)
{
    if (start >= out.frames()) return 0;
    return std::min(out.frames() - start, static_cast<size_t>(std::max(wanted, 0)));
}

float soft_clip(float x) { return std::tanh(x); }

}  // namespace

void render_synth_note(StereoBuffer& out, size_t start, int gate_frames, float pitch,
                       float velocity, float cutoff_shift, const SynthPatch& patch, uint32_t seed)
{
    assert(patch.unison >= 1 && patch.unison <= 16);
    const size_t length = frames_left(out, start, gate_frames + Envelope::release_samples(patch.amp));
    Noise noise(seed);
    Oscillator voices[16];
    float detune[16], left_gain[16], right_gain[16];
    for (int v = 0; v < patch.unison; ++v) {
        // -1 .. +1 across the copies; a lone copy sits in the middle.
        const float position = patch.unison == 1 ? 0.0f : 2.0f * v / (patch.unison - 1) - 1.0f;
        detune[v] = 0.5f * patch.detune_cents * position;
        const float pan = 0.5f + 0.5f * patch.stereo_spread * position;
        left_gain[v] = std::sqrt(1.0f - pan);
        right_gain[v] = std::sqrt(pan);
        voices[v].set_phase(noise.next_unit());
    }
    // Equal power for the copies together: more copies, not more level.
    const float unison_gain = 1.0f / std::sqrt(static_cast<float>(patch.unison));
    Oscillator fundamental;
    Envelope envelope(patch.amp, gate_frames);
    Svf filter_left, filter_right;
    const float base_octaves = cutoff_shift + patch.key_tracking * (pitch - 60.0f) / 12.0f;
    const float lfo_phase = noise.next_unit();
    // Most patches use one or two of the waveforms; skipping the silent ones
    // halves the time of a pad.
    const bool has_sine = patch.sine != 0.0f;
    const bool has_square = patch.square != 0.0f;

    for (size_t i = 0; i < length; ++i) {
        if (i % control_block == 0) {
            const float t = static_cast<float>(i) / sample_rate;
            const float fade_in = patch.vibrato_delay > 0.0f ? std::min(1.0f, t / patch.vibrato_delay) : 1.0f;
            const float vibrato = patch.vibrato_cents * fade_in * std::sin(2.0f * pi * patch.vibrato_hz * t);
            for (int v = 0; v < patch.unison; ++v)
                voices[v].set_frequency(midi_to_hz(pitch + (detune[v] + vibrato) / 100.0f));
            fundamental.set_frequency(midi_to_hz(pitch + vibrato / 100.0f));
            const float filter_envelope = patch.filter_env_octaves * velocity
                                          * std::exp(-6.9f * t / std::max(patch.filter_decay, 0.001f));
            const float lfo = patch.lfo_octaves * std::sin(2.0f * pi * (patch.lfo_hz * t + lfo_phase));
            const float cutoff = patch.cutoff_hz * std::exp2(base_octaves + filter_envelope + lfo);
            filter_left.set(cutoff, patch.resonance);
            filter_right.set(cutoff, patch.resonance);
        }
        float left = 0.0f, right = 0.0f;
        for (int v = 0; v < patch.unison; ++v) {
            float s = patch.saw * voices[v].saw();
            if (has_square) s += patch.square * voices[v].square();
            voices[v].advance();
            left += s * left_gain[v];
            right += s * right_gain[v];
        }
        // The sine stays centred, so a bass keeps its weight in mono.
        float centre = 0.0f;
        if (has_sine) {
            centre = patch.sine * fundamental.sine() * 0.7071f;
            fundamental.advance();
        }
        filter_left.process(left * unison_gain + centre);
        filter_right.process(right * unison_gain + centre);
        const float level = envelope.next() * velocity;
        out.left[start + i] += filter_left.low * level;
        out.right[start + i] += filter_right.low * level;
        if (envelope.finished()) break;
    }
}

void render_bell_note(StereoBuffer& out, size_t start, int gate_frames, float pitch,
                      float velocity, const BellPatch& patch)
{
    const EnvelopeShape shape{0.002f, patch.decay, 0.0f, patch.release};
    const size_t length = frames_left(out, start, gate_frames + Envelope::release_samples(shape));
    Envelope envelope(shape, gate_frames);
    Oscillator carrier_left, carrier_right, modulator;
    const float hz = midi_to_hz(pitch);
    modulator.set_frequency(hz * patch.ratio);
    const float index_coefficient = std::exp(-1.0f / (patch.index_decay * sample_rate));
    float index = patch.index * velocity;
    const float detune = std::exp2(3.0f / 1200.0f);
    for (size_t i = 0; i < length; ++i) {
        // The carriers' frequency swings by index x the modulator frequency:
        // sidebands at the carrier plus multiples of it, inharmonic for a
        // non-integer ratio. As index decays the bell mellows to a sine.
        const float deviation = 1.0f + index * patch.ratio * modulator.sine();
        modulator.advance();
        carrier_left.set_frequency(hz * deviation / detune);
        carrier_right.set_frequency(hz * deviation * detune);
        const float level = envelope.next() * velocity;
        out.left[start + i] += carrier_left.sine() * level;
        out.right[start + i] += carrier_right.sine() * level;
        carrier_left.advance();
        carrier_right.advance();
        index *= index_coefficient;
        if (envelope.finished()) break;
    }
}

void render_riser(StereoBuffer& out, size_t start, int length_frames, float velocity, uint32_t seed)
{
    const size_t length = frames_left(out, start, length_frames);
    Noise noise_left(seed), noise_right(seed * 2654435761u + 1);
    Svf filter_left, filter_right;
    const int fade_out = sample_rate / 100;
    for (size_t i = 0; i < length; ++i) {
        const float progress = static_cast<float>(i) / length_frames;
        if (i % control_block == 0) {
            const float cutoff = 300.0f * std::exp2(5.0f * progress);  // 300 Hz to 9.6 kHz
            filter_left.set(cutoff, 0.6f);
            filter_right.set(cutoff, 0.6f);
        }
        filter_left.process(noise_left.next());
        filter_right.process(noise_right.next());
        float level = velocity * progress * progress;
        const size_t remaining = static_cast<size_t>(length_frames) - i;
        if (remaining < static_cast<size_t>(fade_out)) level *= static_cast<float>(remaining) / fade_out;
        out.left[start + i] += filter_left.band * level;
        out.right[start + i] += filter_right.band * level;
    }
}

namespace {

std::vector<float> make_kick(float tune, float decay)
{
    std::vector<float> hit(static_cast<size_t>(0.7f * decay * sample_rate));
    Noise noise(0x4b1c);
    OnePole click_filter;
    click_filter.set_cutoff(3000.0f);
    float phase = 0.0f;
    for (size_t i = 0; i < hit.size(); ++i) {
        const float t = static_cast<float>(i) / sample_rate;
        // The pitch drop from 160 Hz is the punch; the body rings near 48 Hz.
        const float hz = tune * (48.0f + 112.0f * std::exp(-t / 0.03f));
        phase += hz / sample_rate;
        const float body = std::sin(2.0f * pi * phase) * std::exp(-t / (0.22f * decay));
        const float click = click_filter.lowpass(noise.next()) * std::exp(-t / 0.004f);
        const float attack = std::min(1.0f, t / 0.0008f);
        hit[i] = soft_clip(1.6f * (body + 0.5f * click) * attack);
    }
    return hit;
}

std::vector<float> make_snare(float tune, float decay)
{
    std::vector<float> hit(static_cast<size_t>(0.45f * decay * sample_rate));
    Noise noise(0x5a4e);
    Svf noise_filter;
    noise_filter.set(4500.0f * tune, 0.1f);
    float phase_low = 0.0f, phase_high = 0.0f;
    for (size_t i = 0; i < hit.size(); ++i) {
        const float t = static_cast<float>(i) / sample_rate;
        phase_low += tune * (180.0f + 40.0f * std::exp(-t / 0.01f)) / sample_rate;
        phase_high += tune * 330.0f / sample_rate;
        const float tone = (0.7f * std::sin(2.0f * pi * phase_low) + 0.3f * std::sin(2.0f * pi * phase_high))
                           * std::exp(-t / 0.045f);
        noise_filter.process(noise.next());
        const float rattle = (noise_filter.band * 1.5f + noise_filter.high * 0.5f) * std::exp(-t / (0.09f * decay));
        const float attack = std::min(1.0f, t / 0.0006f);
        hit[i] = (0.55f * tone + 0.7f * rattle) * attack;
    }
    return hit;
}

std::vector<float> make_clap(float tune, float decay)
{
    std::vector<float> hit(static_cast<size_t>(0.4f * decay * sample_rate));
    Noise noise(0xc1a9);
    Svf filter;
    filter.set(1200.0f * tune, 0.45f);
    // Several hands a few milliseconds apart, then the room.
    const float bursts[] = {0.0f, 0.011f, 0.021f, 0.030f};
    for (size_t i = 0; i < hit.size(); ++i) {
        const float t = static_cast<float>(i) / sample_rate;
        float level = 0.0f;
        for (float b : bursts)
            if (t >= b) level = std::max(level, std::exp(-(t - b) / 0.005f));
        if (t >= bursts[3]) level = std::max(level, 0.55f * std::exp(-(t - bursts[3]) / (0.07f * decay)));
        filter.process(noise.next());
        const float attack = std::min(1.0f, t / 0.0003f);
        hit[i] = filter.band * level * attack * 2.2f;
    }
    return hit;
}

// Six detuned square waves at inharmonic ratios give the metallic ring; the
// noise fills it in.
std::vector<float> make_metal(float tune, float decay_seconds, float length_seconds, uint32_t seed, float noise_mix)
{
    std::vector<float> hit(static_cast<size_t>(length_seconds * sample_rate));
    const float ratios[] = {1.0f, 1.483f, 1.800f, 2.546f, 2.630f, 3.897f};
    Oscillator partials[6];
    for (int p = 0; p < 6; ++p) partials[p].set_frequency(tune * 205.3f * ratios[p] * 2.0f);
    Noise noise(seed);
    Svf highpass, bright;
    highpass.set(7000.0f, 0.2f);
    bright.set(10000.0f, 0.3f);
    for (size_t i = 0; i < hit.size(); ++i) {
        const float t = static_cast<float>(i) / sample_rate;
        float metal = 0.0f;
        for (auto& p : partials) {
            metal += p.square();
            p.advance();
        }
        highpass.process(metal * (1.0f - noise_mix) / 6.0f + noise.next() * noise_mix);
        bright.process(highpass.high);
        const float attack = std::min(1.0f, t / 0.0005f);
        hit[i] = (highpass.high + 0.5f * bright.band) * std::exp(-6.9f * t / decay_seconds) * attack;
    }
    return hit;
}

std::vector<float> make_shaker(float decay)
{
    std::vector<float> hit(static_cast<size_t>(0.12f * decay * sample_rate));
    Noise noise(0x5ea4);
    Svf filter;
    filter.set(6500.0f, 0.3f);
    for (size_t i = 0; i < hit.size(); ++i) {
        const float t = static_cast<float>(i) / sample_rate;
        // Grains rushing in over 15 ms and fading out, not a click.
        const float level = std::min(1.0f, t / 0.015f) * std::exp(-t / (0.025f * decay));
        filter.process(noise.next());
        hit[i] = filter.band * level * 1.5f;
    }
    return hit;
}

// Rounds off the first few milliseconds of a hit: quiet parts pass unchanged
// (slope 1 at zero), peaks are held under 1/drive. Noise drums have peaks
// 25 dB over their body; uncut they would set the level of the whole mix.
std::vector<float> tame_peaks(std::vector<float> hit, float drive)
{
    for (float& s : hit) s = std::tanh(drive * s) / drive;
    return hit;
}

}  // namespace

std::vector<float> make_drum(Drum drum, float tune, float decay)
{
    switch (drum) {
    case Drum::kick: return make_kick(tune, decay);
    case Drum::snare: return tame_peaks(make_snare(tune, decay), 2.0f);
    case Drum::clap: return tame_peaks(make_clap(tune, decay), 2.0f);
    case Drum::closed_hat: return tame_peaks(make_metal(tune, 0.06f * decay, 0.1f * decay, 0x4a75, 0.5f), 1.5f);
    case Drum::open_hat: return tame_peaks(make_metal(tune, 0.45f * decay, 0.5f * decay, 0x0be4, 0.5f), 1.5f);
    case Drum::shaker: return make_shaker(decay);
    case Drum::crash: return tame_peaks(make_metal(tune * 0.8f, 2.2f * decay, 2.4f * decay, 0xc4a5, 0.8f), 1.2f);
    }
    return {};
}

}  // namespace music
