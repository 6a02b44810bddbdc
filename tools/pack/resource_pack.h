// Packing a disk's res/ folder into the data file and the matching
// compiled-in resource table, with a validator that checks the pictures
// against what the player relies on before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackProblem {
    bool hard;          // a hard problem stops the packing
    std::string file;   // the file it concerns, e.g. "res/buttons.png"
    std::string text;   // one line, without the file name
};

struct PackedResource {
    std::string name;
    std::uint64_t offset;
    std::vector<unsigned char> bytes;
};

// Reads the 57 resources from res_dir; every missing or extra file, and every
// picture the player could not use as intended, is one problem.
std::vector<PackProblem> read_resources(const std::string& res_dir,
                                        std::vector<PackedResource>& resources);

// The id that ties a data file to its table: a hash of every name, offset
// and size, so data packed from other pictures carries another id.
std::int32_t table_id(const std::vector<PackedResource>& resources);

// The data file's bytes: id, a 75-byte header, then the resources back to back.
std::vector<unsigned char> data_file_bytes(const std::vector<PackedResource>& resources);

// The C++ source that defines resource_table and data_file_id.
std::string table_source(const std::vector<PackedResource>& resources);

// One printable line for a problem: "pack: error: res/x.png: text".
std::string problem_line(const PackProblem& problem);
