#include "tools/music/score.h"

#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace music {

Channel& Score::add_channel(const std::string& name, Instrument instrument)
{
    channels.emplace_back();
    channels.back().name = name;
    channels.back().instrument = instrument;
    return channels.back();
}

size_t Score::frame_of(double beat) const
{
    return static_cast<size_t>(std::llround(beat * seconds_per_beat() * sample_rate));
}

size_t Score::frames() const
{
    return frame_of(beat_of_bar(bars)) + static_cast<size_t>(tail_seconds * sample_rate);
}

double Score::seconds() const { return static_cast<double>(frames()) / sample_rate; }

int parse_pitch(const std::string& name)
{
    static const int letter_steps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G')
        throw std::invalid_argument("bad pitch \"" + name + "\"");
    int pitch_class = letter_steps[name[0] - 'A'];
    size_t at = 1;
    if (name[at] == '#') {
        ++pitch_class;
        ++at;
    } else if (name[at] == 'b') {
        --pitch_class;
        ++at;
    }
    if (at + 1 != name.size() || name[at] < '0' || name[at] > '9')
        throw std::invalid_argument("bad pitch \"" + name + "\"");
    const int octave = name[at] - '0';
    return 12 * (octave + 1) + pitch_class;
}

namespace {

struct Token {
    bool rest = false;
    float pitch = 0.0f;
    int sixteenths = 4;
};

Token parse_token(const std::string& token)
{
    Token parsed;
    const size_t colon = token.find(':');
    const std::string head = token.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string tail = token.substr(colon + 1);
        size_t used = 0;
        try {
            parsed.sixteenths = std::stoi(tail, &used);
        } catch (const std::logic_error&) {
            used = 0;
        }
        if (used == 0 || used != tail.size() || parsed.sixteenths <= 0)
            throw std::invalid_argument("bad length in \"" + token + "\"");
    }
    if (head == "r") {
        parsed.rest = true;
    } else if (!head.empty()
               && (head[0] == '+' || head[0] == '-' || std::isdigit(static_cast<unsigned char>(head[0])))) {
        size_t used = 0;
        try {
            parsed.pitch = static_cast<float>(std::stoi(head, &used));
        } catch (const std::logic_error&) {
            used = 0;
        }
        if (used == 0 || used != head.size()) throw std::invalid_argument("bad offset in \"" + token + "\"");
    } else {
        parsed.pitch = static_cast<float>(parse_pitch(head));
    }
    return parsed;
}

std::vector<std::string> split(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> tokens;
    for (std::string token; stream >> token;) tokens.push_back(token);
    return tokens;
}

}  // namespace

std::vector<Note> parse_phrase(const std::string& text, double start_beat, float velocity)
{
    std::vector<Note> notes;
    int position = 0;
    for (const std::string& word : split(text)) {
        const Token token = parse_token(word);
        if (!token.rest) {
            Note note;
            note.beat = start_beat + position / 4.0;
            note.length = token.sixteenths / 4.0;
            note.pitch = token.pitch;
            note.velocity = velocity;
            notes.push_back(note);
        }
        position += token.sixteenths;
    }
    return notes;
}

int phrase_sixteenths(const std::string& text)
{
    int total = 0;
    for (const std::string& word : split(text)) total += parse_token(word).sixteenths;
    return total;
}

std::vector<Note> parse_steps(const std::string& pattern, double start_beat, float pitch)
{
    std::vector<Note> notes;
    int step = 0;
    for (char c : pattern) {
        float velocity = 0.0f;
        switch (c) {
        case ' ': case '|': continue;
        case 'X': velocity = 1.0f; break;
        case 'x': velocity = 0.75f; break;
        case 'o': velocity = 0.45f; break;
        case '.': case '-': break;
        default: throw std::invalid_argument(std::string("bad step '") + c + "'");
        }
        if (velocity > 0.0f) {
            Note note;
            note.beat = start_beat + step / 4.0;
            note.length = 0.25;
            note.pitch = pitch;
            note.velocity = velocity;
            notes.push_back(note);
        }
        ++step;
    }
    return notes;
}

std::vector<int> parse_chord(const std::string& text)
{
    std::vector<int> pitches;
    for (const std::string& word : split(text)) pitches.push_back(parse_pitch(word));
    return pitches;
}

std::vector<Note> transpose(std::vector<Note> notes, float semitones)
{
    for (Note& note : notes) note.pitch += semitones;
    return notes;
}

}  // namespace music
