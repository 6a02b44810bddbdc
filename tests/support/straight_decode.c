/* Decodes Ogg Vorbis files one after another into raw PCM (signed 16-bit
   little-endian stereo at 44100 Hz) with nothing but libvorbisfile's
   ov_read: what a port's sound must equal where no key was pressed. Each
   port builds it against its own library build (the page's, run under
   node; the Windows program's, run under Wine).
   Usage: straight_decode out.raw track.ogg... */
#include <stdio.h>
#include <vorbis/vorbisfile.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: straight_decode out.raw track.ogg...\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "wb");
    if (!out) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    static char buffer[16384];
    for (int i = 2; i < argc; ++i) {
        OggVorbis_File file;
        if (ov_fopen(argv[i], &file) != 0) {
            fprintf(stderr, "cannot open %s\n", argv[i]);
            return 1;
        }
        int section = 0;
        long n;
        while ((n = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section)) > 0)
            fwrite(buffer, 1, (size_t)n, out);
        ov_clear(&file);
        if (n < 0) {
            fprintf(stderr, "%s: damaged at byte %ld of its sound\n", argv[i], (long)ftell(out));
            return 1;
        }
    }
    return fclose(out) == 0 ? 0 : 1;
}
