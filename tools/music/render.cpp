#include "tools/music/render.h"

#include <algorithm>
#include <cmath>

namespace music {

size_t note_start_frame(const Score& score, const Channel& channel, const Note& note)
{
    double beat = note.beat;
    if (channel.swung) {
        const double sixteenth = beat * 4.0;
        const double nearest = std::round(sixteenth);
        // Only notes on the grid swing; a triplet or a dotted offset stays put.
        if (std::fabs(sixteenth - nearest) < 1e-6 && static_cast<long long>(nearest) % 2 != 0)
            beat += score.swing * 0.25;
    }
    return score.frame_of(beat);
}

float channel_gain_db(const Channel& channel, double beat)
{
    const std::vector<GainPoint>& curve = channel.gain_curve;
    if (curve.empty()) return channel.gain_db;
    if (beat <= curve.front().beat) return channel.gain_db + curve.front().db;
    for (size_t i = 1; i < curve.size(); ++i) {
        if (beat < curve[i].beat) {
            const double span = curve[i].beat - curve[i - 1].beat;
            const double t = span > 0.0 ? (beat - curve[i - 1].beat) / span : 1.0;
            return channel.gain_db + static_cast<float>(curve[i - 1].db + t * (curve[i].db - curve[i - 1].db));
        }
    }
    return channel.gain_db + curve.back().db;
}

namespace {

// How far below full level the kicks push a fully ducked channel: down at
// once over 4 ms (no click), back up over about 150 ms, the "pumping" feel.
std::vector<float> duck_envelope(const Score& score, size_t frames)
{
    std::vector<size_t> kicks;
    for (const Channel& channel : score.channels)
        if (channel.instrument == Instrument::drum && channel.drum == Drum::kick)
            for (const Note& note : channel.notes) kicks.push_back(note_start_frame(score, channel, note));
    std::sort(kicks.begin(), kicks.end());
    std::vector<float> envelope(frames, 0.0f);
    const float attack = 0.004f * sample_rate;
    const float release = 0.05f * sample_rate;
    for (size_t k = 0; k < kicks.size(); ++k) {
        const size_t end = k + 1 < kicks.size() ? std::min(kicks[k + 1], frames) : frames;
        for (size_t i = kicks[k]; i < end; ++i) {
            const float t = static_cast<float>(i - kicks[k]);
            const float value = t < attack ? t / attack : std::exp(-(t - attack) / release);
            if (t >= attack && value < 1e-4f) break;
            // A hit that lands while the last one is still down keeps the deeper value.
            envelope[i] = std::max(envelope[i], value);
        }
    }
    return envelope;
}

void render_notes(const Score& score, size_t channel_index, StereoBuffer& out)
{
    const Channel& channel = score.channels[channel_index];
    std::vector<float> hit;
    if (channel.instrument == Instrument::drum) hit = make_drum(channel.drum, channel.drum_tune, channel.drum_decay);
    for (size_t n = 0; n < channel.notes.size(); ++n) {
        const Note& note = channel.notes[n];
        const size_t start = note_start_frame(score, channel, note);
        const int gate = static_cast<int>(score.frame_of(note.beat + note.length) - score.frame_of(note.beat));
        // Fixed per note, so a render never depends on anything but the score.
        const uint32_t seed = static_cast<uint32_t>((channel_index + 1) * 1000003u + n * 7919u + 17u);
        switch (channel.instrument) {
        case Instrument::synth:
            render_synth_note(out, start, gate, note.pitch, note.velocity, note.cutoff_shift, channel.synth, seed);
            break;
        case Instrument::bell:
            render_bell_note(out, start, gate, note.pitch, note.velocity, channel.bell);
            break;
        case Instrument::riser:
            render_riser(out, start, gate, note.velocity, seed);
            break;
        case Instrument::drum:
            for (size_t i = 0; i < hit.size() && start + i < out.frames(); ++i) {
                out.left[start + i] += hit[i] * note.velocity;
                out.right[start + i] += hit[i] * note.velocity;
            }
            break;
        }
    }
}

}  // namespace

StereoBuffer render_score(const Score& score, std::vector<float>* channel_rms_db)
{
    const size_t frames = score.frames();
    StereoBuffer mix(frames), reverb_send(frames), delay_send(frames), voice(frames);
    const std::vector<float> duck = duck_envelope(score, frames);
    const double beats_per_frame = 1.0 / (score.seconds_per_beat() * sample_rate);
    constexpr size_t gain_block = 64;

    for (size_t c = 0; c < score.channels.size(); ++c) {
        const Channel& channel = score.channels[c];
        voice.clear();
        render_notes(score, c, voice);
        // Equal-power pan that leaves a centred channel at unity on both sides.
        const float angle = (std::clamp(channel.pan, -1.0f, 1.0f) + 1.0f) * pi / 4.0f;
        const float pan_left = std::cos(angle) * std::sqrt(2.0f);
        const float pan_right = std::sin(angle) * std::sqrt(2.0f);
        float gain = 0.0f;
        double energy = 0.0;
        for (size_t i = 0; i < frames; ++i) {
            if (i % gain_block == 0) gain = db_to_gain(channel_gain_db(channel, i * beats_per_frame));
            const float level = gain * (1.0f - channel.duck * duck[i]);
            const float left = voice.left[i] * level * pan_left;
            const float right = voice.right[i] * level * pan_right;
            mix.left[i] += left;
            mix.right[i] += right;
            energy += static_cast<double>(left) * left + static_cast<double>(right) * right;
            reverb_send.left[i] += left * channel.reverb_send;
            reverb_send.right[i] += right * channel.reverb_send;
            delay_send.left[i] += left * channel.delay_send;
            delay_send.right[i] += right * channel.delay_send;
        }
        if (channel_rms_db)
            channel_rms_db->push_back(
                gain_to_db(static_cast<float>(std::sqrt(energy / (2.0 * std::max<size_t>(frames, 1))))));
    }

    DelaySettings delay;
    delay.seconds = static_cast<float>(score.delay_beats * score.seconds_per_beat());
    delay.feedback = score.delay_feedback;
    apply_delay(delay_send, delay);
    for (size_t i = 0; i < frames; ++i) {
        mix.left[i] += delay_send.left[i];
        mix.right[i] += delay_send.right[i];
        // The echoes sit in the same room as the notes that made them.
        reverb_send.left[i] += 0.5f * delay_send.left[i];
        reverb_send.right[i] += 0.5f * delay_send.right[i];
    }
    apply_reverb(reverb_send, score.reverb);
    for (size_t i = 0; i < frames; ++i) {
        mix.left[i] += reverb_send.left[i];
        mix.right[i] += reverb_send.right[i];
    }
    return mix;
}

}  // namespace music
