#include "tools/pack/resource_pack.h"

#include "gfx/resource_names.h"

#include <lodepng.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr int canvas_width = 640;
constexpr int canvas_height = 400;
constexpr std::uint64_t first_offset = 79;
constexpr unsigned max_side = 16383;  // SDL 1.2's widest 32-bit surface

// Where the player draws each spectrum frame and each intro picture.
constexpr int spectrum_positions[39][2] = {
    {522, 390}, {514, 380}, {506, 370}, {499, 361}, {491, 352}, {483, 343}, {476, 335},
    {468, 327}, {460, 319}, {451, 311}, {443, 304}, {435, 297}, {426, 290}, {419, 284},
    {410, 278}, {401, 272}, {391, 266}, {381, 260}, {371, 255}, {360, 250}, {350, 246},
    {339, 242}, {326, 238}, {307, 234}, {269, 231}, {265, 228}, {235, 231}, {222, 236},
    {209, 240}, {200, 245}, {192, 250}, {183, 255}, {175, 261}, {167, 267}, {158, 274},
    {149, 282}, {139, 291}, {129, 302}, {97, 314}};
constexpr int intro_positions[6][2] = {{225, 129}, {206, 129}, {154, 27},
                                       {247, 143}, {64, 100},  {0, 89}};

// The skin sheet holds two rows of 15-pixel controls; the widest row ends
// with the previous button's glow at x 257 + 27.
constexpr unsigned skin_min_width = 284;
constexpr unsigned skin_min_height = 30;
constexpr int font_glyphs_wanted = 95;  // codes 32 to 126

struct Picture {
    unsigned w = 0, h = 0;
    std::vector<unsigned char> rgba;
};

class Checker {
public:
    explicit Checker(std::vector<PackProblem>& problems) : problems(problems) {}
    void hard(const std::string& file, const std::string& text) {
        problems.push_back({true, file, text});
    }
    void soft(const std::string& file, const std::string& text) {
        problems.push_back({false, file, text});
    }
    std::vector<PackProblem>& problems;
};

std::string size_text(unsigned w, unsigned h) {
    return std::to_string(w) + " x " + std::to_string(h);
}

bool starts_with(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// Glyph boundaries are the columns of row 0 with any colour bit set.
int count_font_markers(const Picture& p, bool& marker_at_zero) {
    int markers = 0;
    marker_at_zero = false;
    for (unsigned x = 0; x < p.w; ++x) {
        const unsigned char* px = &p.rgba[x * 4];
        if (px[0] | px[1] | px[2]) {
            if (x == 0)
                marker_at_zero = true;
            else
                ++markers;
        }
    }
    return markers;
}

void check_inside_canvas(Checker& check, const std::string& name, const Picture& p, int x,
                         int y) {
    if (x + static_cast<long>(p.w) > canvas_width || y + static_cast<long>(p.h) > canvas_height)
        check.hard(name, size_text(p.w, p.h) + " at (" + std::to_string(x) + ", " +
                             std::to_string(y) + ") reaches past the 640 x 400 screen");
}

void check_picture(Checker& check, const std::string& name, const Picture& p,
                   const Picture* background) {
    if (name == "res/background.png") {
        if (p.w != canvas_width || p.h != canvas_height)
            check.hard(name, "is " + size_text(p.w, p.h) + ", must be 640 x 400");
    } else if (starts_with(name, "res/stars")) {
        if (p.w != canvas_width || p.h != canvas_height)
            check.hard(name, "is " + size_text(p.w, p.h) +
                                 ", must be 640 x 400 like the background");
        else if (background && (background->w != p.w || background->h != p.h))
            check.hard(name, "differs in size from the background");
    } else if (name == "res/buttons.png") {
        if (p.w < skin_min_width || p.h < skin_min_height)
            check.hard(name, "is " + size_text(p.w, p.h) + ", the skin needs at least " +
                                 size_text(skin_min_width, skin_min_height));
    } else if (starts_with(name, "res/font_")) {
        bool marker_at_zero = false;
        int markers = count_font_markers(p, marker_at_zero);
        if (p.h < 2)
            check.hard(name, "is " + std::to_string(p.h) +
                                 " pixels high: a font needs a marker row and glyph rows");
        else if (markers == 0)
            check.hard(name, "has no glyph markers in its top row");
        else if (markers < font_glyphs_wanted)
            check.soft(name, "has " + std::to_string(markers) +
                                 " glyphs; characters from code " + std::to_string(32 + markers) +
                                 " on show as spaces");
        if (marker_at_zero) check.soft(name, "has a marker in column 0, which means nothing");
        if (name != "res/font_big_cyan.png" && p.h > 17)
            check.soft(name, "line height " + std::to_string(p.h - 1) +
                                 " exceeds 16: info box lines will overlap");
    } else if (starts_with(name, "res/spec")) {
        int frame = std::stoi(name.substr(8, 2)) - 1;
        check_inside_canvas(check, name, p, spectrum_positions[frame][0],
                            spectrum_positions[frame][1]);
    } else if (starts_with(name, "res/intro-")) {
        int row = name[10] - '1';
        check_inside_canvas(check, name, p, intro_positions[row][0], intro_positions[row][1]);
    } else if (name == "res/icon.png") {
        if (p.w != 32 || p.h != 32)
            check.soft(name, "is " + size_text(p.w, p.h) + "; window icons look best at 32 x 32");
    }
}

bool decode(const std::vector<unsigned char>& bytes, Picture& p, std::string& error) {
    unsigned w = 0, h = 0;
    LodePNGState state;
    lodepng_state_init(&state);
    unsigned code = lodepng_inspect(&w, &h, &state, bytes.data(), bytes.size());
    lodepng_state_cleanup(&state);
    if (code != 0) {
        error = std::string("is not a PNG picture (") + lodepng_error_text(code) + ")";
        return false;
    }
    if (w > max_side || h > max_side) {
        error = "is " + size_text(w, h) + ", larger than the 16383-pixel limit";
        return false;
    }
    code = lodepng::decode(p.rgba, p.w, p.h, bytes);
    if (code != 0) {
        error = std::string("cannot be decoded (") + lodepng_error_text(code) + ")";
        return false;
    }
    return true;
}

void put_u32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void put_u64(std::vector<unsigned char>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

}  // namespace

std::vector<PackProblem> read_resources(const std::string& res_dir,
                                        std::vector<PackedResource>& resources) {
    std::vector<PackProblem> problems;
    Checker check(problems);
    resources.clear();

    std::set<std::string> wanted(std::begin(resource_names), std::end(resource_names));
    std::error_code error;
    if (!fs::is_directory(res_dir, error)) {
        check.hard(res_dir, "is not a folder");
        return problems;
    }
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(res_dir, error)) {
        std::string name = "res/" + entry.path().filename().string();
        if (!wanted.count(name)) extra.push_back(name);
    }
    std::sort(extra.begin(), extra.end());
    for (const std::string& name : extra)
        check.hard(name, "is not one of the 57 resources of a disk; remove or rename it");

    std::uint64_t offset = first_offset;
    Picture background;
    bool have_background = false;
    for (const char* name : resource_names) {
        PackedResource resource{name, offset, {}};
        fs::path path = fs::path(res_dir) / fs::path(name).filename();
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            check.hard(name, "is missing");
            continue;
        }
        resource.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) {
            check.hard(name, "cannot be read");
            continue;
        }
        offset += resource.bytes.size();
        if (resource.name != "res/icon.ico") {
            Picture picture;
            std::string why;
            if (!decode(resource.bytes, picture, why)) {
                check.hard(name, why);
            } else {
                check_picture(check, name, picture, have_background ? &background : nullptr);
                if (resource.name == "res/background.png") {
                    background = std::move(picture);
                    have_background = true;
                }
            }
        } else if (resource.bytes.empty()) {
            check.soft(name, "is empty");
        }
        resources.push_back(std::move(resource));
    }
    return problems;
}

std::int32_t table_id(const std::vector<PackedResource>& resources) {
    // FNV-1a over the table as the program sees it.
    std::uint32_t hash = 2166136261u;
    auto mix = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 16777619u;
    };
    for (const PackedResource& r : resources) {
        for (char c : r.name) mix(static_cast<unsigned char>(c));
        mix(0);
        for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(r.offset >> (8 * i)));
        std::uint64_t size = r.bytes.size();
        for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(size >> (8 * i)));
    }
    // An empty file reads as id 0; never let a real table carry it.
    if (hash == 0) hash = 1;
    return static_cast<std::int32_t>(hash);
}

std::vector<unsigned char> data_file_bytes(const std::vector<PackedResource>& resources) {
    std::vector<unsigned char> out;
    put_u32(out, static_cast<std::uint32_t>(table_id(resources)));
    // Bytes 4 to 78: a header the player never reads, for people and tools.
    const char magic[16] = "VELLUMBRA DATA\n";
    out.insert(out.end(), magic, magic + 16);
    put_u32(out, 1);  // format version
    put_u32(out, static_cast<std::uint32_t>(resources.size()));
    std::uint64_t total = 0;
    for (const PackedResource& r : resources) total += r.bytes.size();
    put_u64(out, total);
    out.resize(first_offset, 0);
    for (const PackedResource& r : resources) out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    return out;
}

std::string table_source(const std::vector<PackedResource>& resources) {
    std::string s =
        "// Generated by the packer from res/; do not edit.\n"
        "#include \"gfx/resource_table.h\"\n\n"
        "const ResourceEntry resource_table[resource_count] = {\n";
    for (const PackedResource& r : resources)
        s += "    {" + std::to_string(r.offset) + "u, " + std::to_string(r.bytes.size()) +
             "u, \"" + r.name + "\"},\n";
    s += "};\n\nconst std::int32_t data_file_id = " + std::to_string(table_id(resources)) + ";\n";
    return s;
}

std::string problem_line(const PackProblem& problem) {
    return std::string("pack: ") + (problem.hard ? "error: " : "warning: ") + problem.file +
           ": " + problem.text;
}
