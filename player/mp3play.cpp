// The song feeder: opens a song's file, makes a streaming decoder from its
// first packet, hands the decoder one packet at a time when it asks, and
// closes the song. A song is never held whole.
#include <new>
#include <vector>

#include "player.h"

namespace {

// Bytes of decoded sound wanted per audio-stream buffer.
constexpr int kStreamBufferLen = 65536;
// Stream creation flags: no block follows / more blocks follow.
constexpr int kFinalBlock = -1;
constexpr int kMoreBlocks = 0;
// Hands a buffer back as a whole packet.
constexpr int kWholePacket = -1;

// Reads up to one packet into buffer; a failed read counts as no bytes.
int read_packet(PACKFILE *file, void *buffer) {
    const long n = pack_fread(buffer, kPacketSize, file);
    return n < 0 ? 0 : static_cast<int>(n);
}

}  // namespace

SongFile *Current_MP3 = nullptr;

SongFile *open_mp3_file(const char *path) {
    auto *song = new (std::nothrow) SongFile{nullptr, nullptr};
    if (!song) {
        openerror(kNoMemory);
        return nullptr;
    }
    song->file = pack_fopen(path, F_READ);
    if (!song->file) {
        openerror(kCannotOpen);
        delete song;
        return nullptr;
    }
    std::vector<unsigned char> first(kPacketSize);
    const int n = read_packet(song->file, first.data());
    bool failed = false;
    if (n <= 0) failed = openerror(kEmptyPacket);
    if (n < kPacketSize) {
        song->stream = almp3_create_mp3stream(first.data(), n, kFinalBlock);
        if (!song->stream) failed = openerror(kNoStreamFinal);
    } else {
        song->stream = almp3_create_mp3stream(first.data(), n, kMoreBlocks);
        if (!song->stream) failed = openerror(kNoStream);
    }
    if (failed) {
        almp3_destroy_mp3stream(song->stream);
        pack_fclose(song->file);
        delete song;
        return nullptr;
    }
    return song;
}

int play_mp3_file() {
    if (!Current_MP3) return -1;
    return almp3_play_ex_mp3stream(Current_MP3->stream, kStreamBufferLen, Volume, Panning, Speed);
}

int poll_mp3_file(SongFile *song) {
    void *buffer = almp3_get_mp3stream_buffer(song->stream);
    if (buffer) {
        // A short read is the end of the data: it goes back as the final packet.
        const int n = read_packet(song->file, buffer);
        almp3_free_mp3stream_buffer(song->stream, n == kPacketSize ? kWholePacket : n);
    }
    return almp3_poll_mp3stream(song->stream);
}

void close_mp3_file() {
    if (!Current_MP3) return;
    pack_fclose(Current_MP3->file);
    almp3_destroy_mp3stream(Current_MP3->stream);
    delete Current_MP3;
    Current_MP3 = nullptr;
}
