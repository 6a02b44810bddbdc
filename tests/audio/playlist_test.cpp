#include "audio/playlist.h"
#include "ogg_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Runs the scan from inside folder, as the program runs from its disk folder.
std::string scan_in(const TempFolder& folder) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
    EXPECT_EQ(chdir(folder.path().c_str()), 0);
    CaptureStdout();
    scan_music_folder();
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(chdir(previous), 0);
    return printed;
}

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

std::string music_path(const TempFolder& folder, const std::string& name) {
    // dlib hands out the folder's resolved path; the temporary folder's
    // path has no symlink in it.
    return folder / ("music/" + name);
}

}  // namespace

TEST(is_music_file, accepts_ogg_and_oga_in_any_case_and_nothing_else) {
    struct Case { std::string name; bool music; };
    const Case cases[] = {
        {"a.ogg", true}, {"A.OGA", true}, {"x.oGa", true}, {"song.Ogg", true},
        {".ogg", true},  // a bare suffix is a name too
        {"ogg", false}, {"a.og", false}, {"a.mp3", false}, {"a.ogg.txt", false},
        {"a.oggx", false}, {"", false}, {"a.ogv", false},
        {"\xC3\x96.OGG", true}, {"\xff\xfe.oga", true}, {"a\xC3\x96GG", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_music_file(c.name), c.music) << c.name;
}

TEST(step_index, wraps_both_ways_over_the_playlist) {
    playlist = {"a", "b", "c"};
    EXPECT_EQ(step_index(0, -1), 2u);
    EXPECT_EQ(step_index(2, +1), 0u);
    EXPECT_EQ(step_index(1, +1), 2u);
    EXPECT_EQ(step_index(1, -1), 0u);
    EXPECT_EQ(step_index(1, 0), 1u);
    playlist = {"only"};
    EXPECT_EQ(step_index(0, 0), 0u);
    EXPECT_EQ(step_index(0, +1), 0u);
    EXPECT_EQ(step_index(0, -1), 0u);
}

TEST(step_index, an_empty_playlist_gives_0_instead_of_dividing_by_zero) {
    playlist.clear();
    EXPECT_EQ(step_index(0, +1), 0u);
    EXPECT_EQ(step_index(0, -1), 0u);
}

TEST(scan_music_folder, keeps_music_files_sorted_by_bytes_and_skips_folders) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    for (const char* name : {"b.ogg", "A.OGA", "c.mp3", "a.ogg"})
        touch(music_path(folder, name));
    ASSERT_EQ(mkdir(music_path(folder, "d.ogg").c_str(), 0755), 0);
    EXPECT_EQ(scan_in(folder), "");
    const std::vector<std::string> expected = {
        music_path(folder, "A.OGA"), music_path(folder, "a.ogg"), music_path(folder, "b.ogg")};
    EXPECT_EQ(playlist, expected);
}

TEST(scan_music_folder, numbers_sort_as_text_not_as_numbers) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    for (const char* name : {"2.ogg", "10.ogg", "1.ogg", "9b.ogg"})
        touch(music_path(folder, name));
    scan_in(folder);
    const std::vector<std::string> expected = {
        music_path(folder, "1.ogg"), music_path(folder, "10.ogg"),
        music_path(folder, "2.ogg"), music_path(folder, "9b.ogg")};
    EXPECT_EQ(playlist, expected);
}

TEST(scan_music_folder, bytes_above_0x7f_sort_after_ascii) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    // As signed chars these would sort first.
    for (const char* name : {"\xC3\x96.ogg", "z.ogg", "with space.ogg", "new\nline.ogg"})
        touch(music_path(folder, name));
    scan_in(folder);
    const std::vector<std::string> expected = {
        music_path(folder, "new\nline.ogg"), music_path(folder, "with space.ogg"),
        music_path(folder, "z.ogg"), music_path(folder, "\xC3\x96.ogg")};
    EXPECT_EQ(playlist, expected);
}

TEST(scan_music_folder, a_missing_folder_prints_dlibs_message_and_leaves_the_list_empty) {
    TempFolder folder;
    playlist = {"stale"};
    const std::string printed = scan_in(folder);
    EXPECT_EQ(printed.rfind("Unable to find directory ", 0), 0u) << printed;
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
    EXPECT_TRUE(playlist.empty());
}

TEST(scan_music_folder, an_empty_folder_or_one_without_music_gives_an_empty_list) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    EXPECT_EQ(scan_in(folder), "");
    EXPECT_TRUE(playlist.empty());
    touch(music_path(folder, "cover.png"));
    touch(music_path(folder, "notes.txt"));
    EXPECT_EQ(scan_in(folder), "");
    EXPECT_TRUE(playlist.empty());
}

TEST(scan_music_folder, a_file_named_music_is_no_folder) {
    TempFolder folder;
    touch(folder / "music");
    playlist = {"stale"};
    const std::string printed = scan_in(folder);
    EXPECT_FALSE(printed.empty());
    EXPECT_EQ(printed.back(), '\n');
    EXPECT_TRUE(playlist.empty());
}

TEST(scan_music_folder, only_regular_files_are_listed_so_a_fifo_cannot_hang_playback) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(music_path(folder, "a.ogg").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", music_path(folder, "z.ogg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere.ogg", music_path(folder, "y.ogg").c_str()), 0);
    touch(music_path(folder, "b.ogg"));
    touch(folder / "real.ogg");
    ASSERT_EQ(symlink((folder / "real.ogg").c_str(), music_path(folder, "c.ogg").c_str()), 0);
    scan_in(folder);
    // A symlink to a regular file is fine: only what is not a file is skipped.
    const std::vector<std::string> expected = {music_path(folder, "b.ogg"), music_path(folder, "c.ogg")};
    EXPECT_EQ(playlist, expected);
}

TEST(scan_music_folder, ten_thousand_files_are_all_listed_in_order) {
    TempFolder folder;
    ASSERT_EQ(mkdir((folder / "music").c_str(), 0755), 0);
    for (int i = 0; i < 10000; ++i)
        std::ofstream(music_path(folder, std::to_string(i) + ".ogg"));
    scan_in(folder);
    ASSERT_EQ(playlist.size(), 10000u);
    EXPECT_TRUE(std::is_sorted(playlist.begin(), playlist.end()));
    EXPECT_EQ(playlist[1], music_path(folder, "1.ogg"));
    EXPECT_EQ(playlist[2], music_path(folder, "10.ogg"));
}
