/* A straight decode by the library build the Windows program links: every
   track named on the command line, as 16-bit little-endian stereo PCM, one
   after another into the file named first. The Windows check compares the
   program's sound with it. */
#include <stdio.h>

#include <vorbis/vorbisfile.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: decode_reference <out.pcm> <track.ogg>...\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "wb");
    if (!out) return 1;
    for (int i = 2; i < argc; ++i) {
        OggVorbis_File file;
        if (ov_fopen(argv[i], &file) != 0) {
            fprintf(stderr, "can't open %s\n", argv[i]);
            return 1;
        }
        char buffer[4096];
        int section = 0;
        long got;
        while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
            fwrite(buffer, 1, (size_t)got, out);
        ov_clear(&file);
        if (got < 0) {
            fprintf(stderr, "damaged: %s\n", argv[i]);
            return 1;
        }
    }
    return fclose(out) == 0 ? 0 : 1;
}
