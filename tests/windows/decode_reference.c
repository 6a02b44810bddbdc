/* A straight decode by the library build the Windows program links: one
   track into 16-bit little-endian stereo PCM, the format the program plays.
   The Windows check compares the program's sound with it. */
#include <stdio.h>

#include <vorbis/vorbisfile.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: decode_reference <track.ogg> <out.pcm>\n");
        return 2;
    }
    OggVorbis_File file;
    if (ov_fopen(argv[1], &file) != 0) {
        fprintf(stderr, "can't open %s\n", argv[1]);
        return 1;
    }
    FILE* out = fopen(argv[2], "wb");
    if (!out) return 1;
    char buffer[4096];
    int section = 0;
    long got;
    while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
        fwrite(buffer, 1, (size_t)got, out);
    ov_clear(&file);
    if (got < 0) fprintf(stderr, "damaged: %s\n", argv[1]);
    return fclose(out) == 0 && got == 0 ? 0 : 1;
}
