// pack <res folder> <data file> <table source>
// Checks a disk's pictures, then writes the data file and the C++ source of
// the matching resource table. Nothing is written when a hard problem is found.
#include "tools/pack/resource_pack.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

bool write_file(const std::string& path, const std::string& bytes) {
    // Written beside the target and renamed, so a failed run never leaves a
    // half-written file for the build to pick up.
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    return !error;
}

// The table source keeps its time stamp when nothing changed, so an
// unchanged disk does not rebuild the library.
bool write_if_changed(const std::string& path, const std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (old == bytes) return true;
    }
    return write_file(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: pack <res folder> <data file> <table source>\n");
        return 2;
    }
    std::vector<PackedResource> resources;
    std::vector<PackProblem> problems = read_resources(argv[1], resources);
    bool failed = false;
    for (const PackProblem& problem : problems) {
        std::fprintf(stderr, "%s\n", problem_line(problem).c_str());
        failed = failed || problem.hard;
    }
    if (failed) {
        std::fprintf(stderr, "pack: no data file written\n");
        return 1;
    }
    std::vector<unsigned char> data = data_file_bytes(resources);
    if (!write_file(argv[2], std::string(data.begin(), data.end()))) {
        std::fprintf(stderr, "pack: error: cannot write %s\n", argv[2]);
        return 1;
    }
    if (!write_if_changed(argv[3], table_source(resources))) {
        std::fprintf(stderr, "pack: error: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
