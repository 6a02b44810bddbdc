// Reading the resource data file "data" of the working directory, PNG
// decoding into SDL surfaces, conversion into the standard pixel format, and
// the case-insensitive string tests used for tag prefixes and file suffixes.
// The reader keeps one stream open for the whole run and is not thread-safe:
// every picture is loaded on the main thread during start-up.
#pragma once

#include <SDL.h>
#include <string>
#include <vector>

// Fills out with the bytes of the named resource; false (with one line on
// stdout) when the data file, its id, the name or the read fails.
bool load_resource(const std::string& name, std::vector<unsigned char>& out);
// A new surface in PNG byte order (R, G, B, A in memory), or null when the
// resource cannot be read. Undecodable bytes give an empty or all-zero picture.
SDL_Surface* load_png(std::string name);
// The surface in the standard pixel format; consumes s. Null in, null out.
SDL_Surface* convert_surface(SDL_Surface* s);
// load_png followed by convert_surface.
SDL_Surface* load_image(const std::string& name);

bool equal_nocase(char a, char b);
bool starts_with_nocase(const std::string& s, const std::string& prefix);
bool ends_with_nocase(const std::string& s, const std::string& suffix);

// Writes a diagnostic line (which carries its own newline) to stdout in one
// call and flushes it, so lines printed by different threads never interleave.
void print_line(const std::string& line);

// Closes the data file and forgets its id, so a test can start from a fresh
// reader in another directory. The program itself never calls it.
void reset_resource_reader();
