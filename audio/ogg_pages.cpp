#include "audio/ogg_pages.h"

#include <ogg/ogg.h>

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

#include <vector>

namespace {

struct Stream {
    long serial;
    long next_page;
    ogg_int64_t granule;  // the last one set, -1 before any
    bool ended;
};

class PageCheck {
public:
    // False at the first page that an intact file could not hold.
    bool accept(ogg_page& page) {
        if (ogg_page_version(&page) != 0)
            return false;
        const long serial = ogg_page_serialno(&page);
        Stream* stream = find(serial);
        if (ogg_page_bos(&page)) {
            // A serial may come back in a later link, never while in use.
            if (stream != nullptr && !stream->ended)
                return false;
            if (stream == nullptr) {
                streams.push_back({serial, 0, -1, false});
                stream = &streams.back();
            } else {
                *stream = {serial, 0, -1, false};
            }
        } else if (stream == nullptr || stream->ended) {
            return false;  // a stream that never began, or one already over
        }
        if (ogg_page_pageno(&page) != stream->next_page)
            return false;
        ++stream->next_page;
        const ogg_int64_t granule = ogg_page_granulepos(&page);
        if (granule != -1) {
            if (granule < 0 || granule < stream->granule)
                return false;
            stream->granule = granule;
        }
        if (ogg_page_eos(&page))
            stream->ended = true;
        return true;
    }

    bool all_ended() const {
        for (const Stream& stream : streams)
            if (!stream.ended)
                return false;
        return !streams.empty();
    }

private:
    Stream* find(long serial) {
        for (Stream& stream : streams)
            if (stream.serial == serial)
                return &stream;
        return nullptr;
    }

    std::vector<Stream> streams;
};

#ifdef _WIN32
// Windows has no pread, and a read there moves the descriptor's position,
// which the caller's stdio stream counts on: the check puts it back.
struct KeptPosition {
    int fd;
    long long at;
    explicit KeptPosition(int fd) : fd(fd), at(_lseeki64(fd, 0, SEEK_CUR)) {}
    ~KeptPosition() { _lseeki64(fd, at, SEEK_SET); }
};

long long read_at(int fd, char* buffer, long size, long long offset) {
    if (_lseeki64(fd, offset, SEEK_SET) != offset) return -1;
    return _read(fd, buffer, static_cast<unsigned>(size));
}
#else
long long read_at(int fd, char* buffer, long size, long long offset) { return pread(fd, buffer, size, offset); }
#endif

}  // namespace

struct OggPageCheck::State {
    int fd;
    ogg_sync_state sync;
    PageCheck check;
    long long offset = 0;
};

OggPageCheck::OggPageCheck(int fd) : state(new State) {
    state->fd = fd;
    ogg_sync_init(&state->sync);
}

OggPageCheck::~OggPageCheck() { ogg_sync_clear(&state->sync); }

bool OggPageCheck::step() {
    if (done)
        return true;
#ifdef _WIN32
    const KeptPosition kept(state->fd);
#endif
    constexpr long block = 65536;
    ogg_sync_state& sync = state->sync;
    bool intact = true;
    bool at_end = false;
    for (long read = 0; intact && !at_end && read < bytes_per_step; read += block) {
        char* buffer = ogg_sync_buffer(&sync, block);
        if (buffer == nullptr) {
            intact = false;
            break;
        }
        const long long got = read_at(state->fd, buffer, block, state->offset);
        if (got < 0) {
            intact = false;
            break;
        }
        ogg_sync_wrote(&sync, static_cast<long>(got));
        state->offset += got;
        ogg_page page;
        long result;
        // Negative: bytes skipped before a page could be found, which is
        // damage (or a page whose checksum is wrong, skipped the same way).
        while (intact && (result = ogg_sync_pageseek(&sync, &page)) != 0)
            intact = result > 0 && state->check.accept(page);
        at_end = got == 0;
    }
    if (intact && !at_end)
        return false;
    // Bytes left over at the end are a page cut short.
    verdict = intact && sync.fill == sync.returned && state->check.all_ended();
    done = true;
    return true;
}

bool ogg_pages_intact(int fd) {
    OggPageCheck check(fd);
    while (!check.step()) {
    }
    return check.intact();
}
