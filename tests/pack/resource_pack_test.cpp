#include "tools/pack/resource_pack.h"

#include <gtest/gtest.h>
#include <lodepng.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A copy of the shipped res/ folder that each test may break in its own way.
class ResFolder : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("diskplayer-pack-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        fs::copy(SHIPPED_RES_DIR, root / "res");
    }
    void TearDown() override { fs::remove_all(root); }

    void write_png(const std::string& name, unsigned w, unsigned h, unsigned char fill = 0) {
        std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4, fill);
        ASSERT_EQ(lodepng::encode((root / "res" / name).string(), rgba, w, h), 0u);
    }
    std::vector<PackProblem> check() {
        std::vector<PackedResource> resources;
        return read_resources((root / "res").string(), resources);
    }
    int run_packer() {
        std::string command = std::string(PACK_PROGRAM) + " " + (root / "res").string() + " " +
                              (root / "data").string() + " " + (root / "table.cpp").string() +
                              " 2>" + (root / "errors.txt").string();
        return std::system(command.c_str());
    }
    std::string errors() {
        std::ifstream in(root / "errors.txt");
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path root;
};

// Exactly one hard problem, about file, whose text contains words.
void expect_one_hard_problem(const std::vector<PackProblem>& problems, const std::string& file,
                             const std::string& words) {
    int hard = 0;
    for (const PackProblem& p : problems)
        if (p.hard) {
            ++hard;
            EXPECT_EQ(p.file, file);
            EXPECT_NE(p.text.find(words), std::string::npos) << p.text;
        }
    EXPECT_EQ(hard, 1) << "problems: " << problems.size();
}

TEST_F(ResFolder, shipped_pictures_pack_without_problems_back_to_back) {
    std::vector<PackedResource> resources;
    std::vector<PackProblem> problems = read_resources((root / "res").string(), resources);
    for (const PackProblem& p : problems) ADD_FAILURE() << problem_line(p);
    ASSERT_EQ(resources.size(), 57u);
    std::uint64_t offset = 79;
    for (const PackedResource& r : resources) {
        EXPECT_EQ(r.offset, offset) << r.name;
        offset += r.bytes.size();
    }
    std::vector<unsigned char> data = data_file_bytes(resources);
    EXPECT_EQ(data.size(), offset);
    std::int32_t id = table_id(resources);
    std::uint32_t stored = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    EXPECT_EQ(static_cast<std::int32_t>(stored), id);
    const PackedResource& last = resources.back();
    EXPECT_TRUE(std::equal(last.bytes.begin(), last.bytes.end(), data.begin() + last.offset));
    EXPECT_NE(table_source(resources).find("const std::int32_t data_file_id = " + std::to_string(id)),
              std::string::npos);
}

TEST_F(ResFolder, other_pictures_give_another_id) {
    std::vector<PackedResource> before, after;
    read_resources((root / "res").string(), before);
    write_png("icon.png", 32, 32, 200);
    read_resources((root / "res").string(), after);
    EXPECT_NE(table_id(before), table_id(after));
}

TEST_F(ResFolder, missing_and_extra_files_are_named) {
    fs::remove(root / "res" / "spec07.png");
    expect_one_hard_problem(check(), "res/spec07.png", "missing");
    fs::copy_file(root / "res" / "spec08.png", root / "res" / "spec07.png");
    std::ofstream(root / "res" / "notes.txt") << "hello";
    expect_one_hard_problem(check(), "res/notes.txt", "not one of the 57");
}

TEST_F(ResFolder, wrong_sizes_are_refused) {
    write_png("background.png", 800, 600, 255);
    std::vector<PackProblem> problems = check();
    bool background_named = false;
    for (const PackProblem& p : problems)
        if (p.hard && p.file == "res/background.png") background_named = true;
    EXPECT_TRUE(background_named);

    SetUp();
    write_png("stars3.png", 320, 200);
    expect_one_hard_problem(check(), "res/stars3.png", "640 x 400");

    SetUp();
    write_png("buttons.png", 200, 30);
    expect_one_hard_problem(check(), "res/buttons.png", "at least 284 x 30");

    SetUp();
    write_png("spec01.png", 20, 20);  // at (522, 390) it would run off the bottom
    expect_one_hard_problem(check(), "res/spec01.png", "past the 640 x 400 screen");

    SetUp();
    write_png("intro-6.png", 640, 400);
    expect_one_hard_problem(check(), "res/intro-6.png", "past the 640 x 400 screen");
}

TEST_F(ResFolder, a_font_without_markers_is_refused_and_a_short_one_warned_about) {
    write_png("font_small_blue.png", 300, 15);
    expect_one_hard_problem(check(), "res/font_small_blue.png", "no glyph markers");

    SetUp();
    std::vector<unsigned char> rgba(50 * 15 * 4, 0);
    for (int x : {5, 10, 15}) rgba[x * 4] = 255;  // three glyphs only
    ASSERT_EQ(lodepng::encode((root / "res" / "font_big_cyan.png").string(), rgba, 50, 15), 0u);
    std::vector<PackProblem> problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_FALSE(problems[0].hard);
    EXPECT_EQ(problems[0].file, "res/font_big_cyan.png");
    EXPECT_NE(problems[0].text.find("has 3 glyphs"), std::string::npos);
}

TEST_F(ResFolder, bytes_that_are_no_png_are_refused) {
    std::ofstream(root / "res" / "intro-2.png") << "GIF89a, not what you think";
    expect_one_hard_problem(check(), "res/intro-2.png", "is not a PNG picture");
}

TEST_F(ResFolder, packer_writes_nothing_when_a_hard_problem_is_found) {
    fs::remove(root / "res" / "buttons.png");
    std::ofstream(root / "res" / "stars2.png") << "broken";
    EXPECT_NE(run_packer(), 0);
    EXPECT_FALSE(fs::exists(root / "data"));
    EXPECT_FALSE(fs::exists(root / "table.cpp"));
    std::string printed = errors();
    EXPECT_NE(printed.find("pack: error: res/buttons.png: is missing\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("pack: error: res/stars2.png: is not a PNG picture"), std::string::npos);
    EXPECT_NE(printed.find("pack: no data file written"), std::string::npos);
}

TEST_F(ResFolder, packer_writes_the_data_file_and_table_for_a_good_folder) {
    EXPECT_EQ(run_packer(), 0) << errors();
    EXPECT_TRUE(fs::exists(root / "data"));
    EXPECT_TRUE(fs::exists(root / "table.cpp"));
    EXPECT_EQ(errors(), "");
}

}  // namespace
