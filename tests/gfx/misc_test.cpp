#include "gfx/misc.h"
#include "gfx/resource_table.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Each test works in a fresh folder of its own with a fresh reader.
class ReaderTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/diskplayer-misc-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(chdir(folder.c_str()), 0);
        reset_resource_reader();
    }
    void TearDown() override {
        reset_resource_reader();
        std::remove("data");
        rmdir(folder.c_str());
    }
    std::string folder;
};

const ResourceEntry& entry_named(const char* name) {
    for (const ResourceEntry& e : resource_table)
        if (std::strcmp(e.name, name) == 0) return e;
    ADD_FAILURE() << "no entry " << name;
    return resource_table[0];
}

std::vector<unsigned char> png_bytes(unsigned w, unsigned h, const std::vector<unsigned char>& rgba) {
    std::vector<unsigned char> out;
    EXPECT_EQ(lodepng::encode(out, rgba, w, h), 0u);
    return out;
}

std::uint32_t crc32_of(const unsigned char* p, size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG signature and a well-formed IHDR claiming w x h, with no pixel data.
std::vector<unsigned char> lying_png_header(std::uint32_t w, std::uint32_t h) {
    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                      'I',  'H', 'D', 'R'};
    for (std::uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back((v >> shift) & 0xFF);
    const unsigned char rest[] = {8, 6, 0, 0, 0};
    out.insert(out.end(), rest, rest + 5);
    std::uint32_t crc = crc32_of(&out[12], 17);
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((crc >> shift) & 0xFF);
    return out;
}

// A data file laid out like the compiled table, each resource zero-filled
// unless given; the id is the program's own unless told otherwise.
struct DataFile {
    std::vector<unsigned char> bytes;
    DataFile() {
        const ResourceEntry& last = resource_table[resource_count - 1];
        bytes.assign(last.offset + last.size, 0);
        set_id(data_file_id);
    }
    void set_id(std::int32_t id) {
        std::uint32_t v = static_cast<std::uint32_t>(id);
        for (int i = 0; i < 4; ++i) bytes[i] = (v >> (8 * i)) & 0xFF;
    }
    void put(const char* name, const std::vector<unsigned char>& content) {
        const ResourceEntry& e = entry_named(name);
        ASSERT_LE(content.size(), e.size) << name << " does not fit its entry";
        std::copy(content.begin(), content.end(), bytes.begin() + e.offset);
    }
    void write(size_t length) const {
        std::ofstream out("data", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(length));
    }
    void write() const { write(bytes.size()); }
};

TEST_F(ReaderTest, without_data_file_every_request_reports_and_fails) {
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_FALSE(load_resource("res/buttons.png", out));
    EXPECT_EQ(load_png("res/background.png"), nullptr);
    EXPECT_EQ(load_image("res/icon.png"), nullptr);
    EXPECT_EQ(GetCapturedStdout(),
              "can't load: \"data\"\ncan't load: \"data\"\ncan't load: \"data\"\n");
}

TEST_F(ReaderTest, data_file_that_appears_later_is_opened_then) {
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_FALSE(load_resource("res/buttons.png", out));
    DataFile data;
    data.write();
    EXPECT_TRUE(load_resource("res/buttons.png", out));
    EXPECT_EQ(GetCapturedStdout(), "can't load: \"data\"\n");
    EXPECT_EQ(out.size(), entry_named("res/buttons.png").size);
}

TEST_F(ReaderTest, wrong_id_is_reported_once_as_signed_decimal) {
    DataFile data;
    data.set_id(-5);
    data.write();
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_FALSE(load_resource("res/buttons.png", out));
    EXPECT_FALSE(load_resource("res/buttons.png", out));
    EXPECT_EQ(load_image("res/background.png"), nullptr);
    EXPECT_EQ(GetCapturedStdout(),
              "data file id mismatch! this means that either your executable or data file is "
              "outdated\ndata file id: -5, expected id:" +
                  std::to_string(data_file_id) + "\n");
}

TEST_F(ReaderTest, empty_data_file_reads_as_id_zero) {
    std::ofstream("data").close();
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_FALSE(load_resource("res/icon.ico", out));
    std::string printed = GetCapturedStdout();
    EXPECT_NE(printed.find("data file id: 0, expected id:"), std::string::npos) << printed;
}

TEST_F(ReaderTest, names_are_case_sensitive_and_reported_with_the_file_name) {
    DataFile data;
    data.write();
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_FALSE(load_resource("res/Buttons.png", out));
    EXPECT_EQ(GetCapturedStdout(), "missing resource \"data:res/Buttons.png\"\n");
}

TEST_F(ReaderTest, reads_each_resource_at_its_offset_including_the_icon_file) {
    DataFile data;
    std::vector<unsigned char> marker = {'I', 'C', 'O', 0, 1, 2};
    data.put("res/icon.ico", marker);
    data.write();
    std::vector<unsigned char> out(3, 0x55);
    EXPECT_TRUE(load_resource("res/icon.ico", out));
    ASSERT_EQ(out.size(), entry_named("res/icon.ico").size);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), out.begin()));
}

TEST_F(ReaderTest, truncated_file_fails_from_the_cut_on_and_keeps_earlier_resources) {
    DataFile data;
    const ResourceEntry& cut = entry_named("res/spec20.png");
    data.write(cut.offset + cut.size / 2);
    std::vector<unsigned char> out;
    CaptureStdout();
    EXPECT_TRUE(load_resource("res/spec19.png", out));
    EXPECT_FALSE(load_resource("res/spec20.png", out));
    EXPECT_FALSE(load_resource("res/stars5.png", out));
    EXPECT_TRUE(load_resource("res/buttons.png", out));  // the stream recovers
    EXPECT_EQ(GetCapturedStdout(),
              "io error while reading \"data:res/spec20.png\"\n"
              "io error while reading \"data:res/stars5.png\"\n");
}

TEST_F(ReaderTest, png_resource_decodes_to_png_byte_order_and_converts_to_argb) {
    DataFile data;
    data.put("res/icon.png", png_bytes(2, 1, {10, 20, 30, 40, 255, 0, 0, 255}));
    data.write();
    SDL_Surface* raw = load_png("res/icon.png");
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->w, 2);
    EXPECT_EQ(raw->pitch, 8);
    const Uint8* bytes = static_cast<Uint8*>(raw->pixels);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[3], 40);
    SDL_Surface* converted = convert_surface(raw);
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(converted->format->Amask, 0xFF000000u);
    EXPECT_EQ(static_cast<Uint32*>(converted->pixels)[0], 0x280A141Eu);
    EXPECT_EQ(static_cast<Uint32*>(converted->pixels)[1], 0xFFFF0000u);
    SDL_FreeSurface(converted);

    SDL_Surface* image = load_image("res/icon.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(static_cast<Uint32*>(image->pixels)[0], 0x280A141Eu);
    SDL_FreeSurface(image);
}

TEST_F(ReaderTest, bytes_that_are_no_png_give_an_empty_picture_not_null) {
    DataFile data;
    data.put("res/buttons.png", {'n', 'o', 't', ' ', 'p', 'n', 'g'});
    data.write();
    SDL_Surface* s = load_png("res/buttons.png");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 0);
    SDL_Surface* converted = convert_surface(s);
    EXPECT_NE(converted, nullptr);
    SDL_FreeSurface(converted);
    EXPECT_EQ(convert_surface(nullptr), nullptr);
}

TEST_F(ReaderTest, huge_or_lying_headers_give_an_empty_picture_without_decoding) {
    DataFile data;
    data.put("res/spec01.png", lying_png_header(65535, 65535));
    data.put("res/spec02.png", lying_png_header(20000, 1));
    data.put("res/spec03.png", lying_png_header(64, 64));  // plausible size, no pixels
    data.put("res/spec04.png", png_bytes(1, 1, {1, 2, 3, 4}));
    data.write();
    for (const char* name : {"res/spec01.png", "res/spec02.png"}) {
        SDL_Surface* s = load_png(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_EQ(s->w, 0) << name;
        EXPECT_EQ(s->h, 0) << name;
        SDL_FreeSurface(s);
    }
    SDL_Surface* lying = load_png("res/spec03.png");
    ASSERT_NE(lying, nullptr);
    const Uint8* p = static_cast<Uint8*>(lying->pixels);
    for (int i = 0; lying->pixels && i < lying->pitch * lying->h; ++i) ASSERT_EQ(p[i], 0);
    SDL_FreeSurface(lying);
    SDL_Surface* good = load_png("res/spec04.png");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->w, 1);
    SDL_FreeSurface(good);
}

TEST(StringTests, suffix_and_prefix_ignore_case_including_bytes_past_ascii) {
    EXPECT_TRUE(ends_with_nocase("TRACK.OGG", ".ogg"));
    EXPECT_FALSE(ends_with_nocase("a", ".ogg"));
    EXPECT_TRUE(ends_with_nocase(".ogg", ".ogg"));
    EXPECT_TRUE(ends_with_nocase("\xC3\x96.OGG", ".ogg"));
    EXPECT_FALSE(ends_with_nocase("x.og\xC3", ".ogg"));
    EXPECT_TRUE(starts_with_nocase("title=Night", "TITLE="));
    EXPECT_FALSE(starts_with_nocase("TITL", "TITLE="));
    EXPECT_TRUE(starts_with_nocase("anything", ""));
    EXPECT_TRUE(ends_with_nocase("anything", ""));
    EXPECT_TRUE(ends_with_nocase("", ""));
    EXPECT_TRUE(equal_nocase('Q', 'q'));
    EXPECT_FALSE(equal_nocase('\xE9', 'e'));
}

}  // namespace
