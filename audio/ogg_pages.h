// Whether an Ogg file is framed exactly as an encoder writes it: every byte
// belongs to a page whose capture pattern and checksum are right, each
// logical stream starts with its first page, numbers its pages without a gap,
// never moves its granule position backwards and ends with its last page.
// A file damaged in a copy or a download (bytes inserted, overwritten or
// removed, pages lost or repeated, the end cut off) fails at least one of
// these; the decoder then keeps away from the library's bisecting seek.
#pragma once

// Reads the whole file behind fd at explicit offsets, so a stdio stream on
// the same descriptor keeps its position. False also when the file cannot be read.
bool ogg_pages_intact(int fd);
