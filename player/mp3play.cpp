// The song feeder: opens a song's file, passes over the tags in front of
// its frames, makes a streaming decoder from its first packet, hands the
// decoder one packet at a time when it asks, and closes the song. A song is
// never held whole.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <vector>

#include "player.h"

namespace {

// Sound queued per audio-stream buffer: 65536 bytes at 44.1 kHz, 16-bit
// stereo, about 0.37 s. Buffers are sized by time at every rate, so the
// two silent buffers that close a song stay under a second.
constexpr long long kBufferBytesAt44k = 65536;
constexpr long long kBytesPerSecondAt44k = 44100LL * 2 * 2;
constexpr int kSampleBytes = 2;
// Stream creation flags: no block follows / more blocks follow.
constexpr int kFinalBlock = -1;
constexpr int kMoreBlocks = 0;
// Bytes that show whether an ID3v2 tag starts, and that hold every kind of
// tag's end.
constexpr int kId3v2HeaderBytes = 10;
constexpr int kTrailingTagBytes = 128;

// Reads up to `size` bytes at the file's position. Short only at the end
// of the data or on a read error (counted as no further bytes), so it never
// waits for data that will not come.
int read_fully(int fd, unsigned char *buffer, int size) {
    int got = 0;
    while (got < size) {
        const ssize_t n = read(fd, buffer + got, static_cast<size_t>(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<int>(n);
    }
    return got;
}

int read_packet(int fd, void *buffer) { return read_fully(fd, static_cast<unsigned char *>(buffer), kPacketSize); }

// Bytes taken by the ID3v2 tags at the file's start, stacked ones too.
int64_t leading_tag_bytes(int fd, int64_t size) {
    int64_t skip = 0;
    unsigned char head[kId3v2HeaderBytes];
    while (skip < size) {
        const ssize_t got = pread(fd, head, sizeof head, skip);
        const int n = got > 0 ? almp3_get_id3v2_length(head, static_cast<int>(got)) : 0;
        if (n <= 0) break;
        skip += n;
    }
    return std::min(skip, size);
}

// Bytes taken by the tags after the last frame (ID3v1, APEv2, Lyrics3,
// footered ID3v2), stacked ones too; never more than lie after `lead`.
int64_t trailing_tag_bytes(int fd, int64_t lead, int64_t size) {
    int64_t end = size;
    unsigned char tail[kTrailingTagBytes];
    while (end > lead) {
        const int want = static_cast<int>(std::min<int64_t>(sizeof tail, end - lead));
        const ssize_t got = pread(fd, tail, static_cast<size_t>(want), end - want);
        const int n = got == want ? almp3_get_trailing_tag_length(tail, want) : 0;
        if (n <= 0 || n > end - lead) break;
        end -= n;
    }
    return size - end;
}

// Measures the file and leaves it at the first byte after its leading tags.
bool measure_song(SongFile *song) {
    struct stat st;
    if (fstat(song->file, &st) != 0) return false;
    song->size = st.st_size;
    const int64_t lead = leading_tag_bytes(song->file, song->size);
    song->audio_bytes = song->size - lead - trailing_tag_bytes(song->file, lead, song->size);
    return lseek(song->file, lead, SEEK_SET) == lead;
}

// Bytes per audio-stream buffer for the stream's rate and channels.
int buffer_len_for(Mp3Stream *stream) {
    const long long channels = almp3_get_wave_is_stereo_mp3stream(stream) ? 2 : 1;
    const long long per_second = almp3_get_wave_freq_mp3stream(stream) * channels * kSampleBytes;
    return static_cast<int>(kBufferBytesAt44k * per_second / kBytesPerSecondAt44k);
}

int clamp_to_int(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, 0, INT32_MAX)); }

}  // namespace

SongFile *Current_MP3 = nullptr;

SongFile *open_mp3_file(const char *path) {
    auto *song = new (std::nothrow) SongFile{-1, nullptr, 0, 0};
    if (!song) {
        openerror(kNoMemory);
        return nullptr;
    }
    song->file = Open_Regular_File(path);
    if (song->file < 0 || !measure_song(song)) {
        openerror(kCannotOpen);
        if (song->file >= 0) close(song->file);
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
        close(song->file);
        delete song;
        return nullptr;
    }
    return song;
}

int Song_Length_Seconds(const SongFile *song) {
    return almp3_get_length_secs_mp3stream(song->stream, clamp_to_int(song->audio_bytes));
}

int Song_File_Size(const SongFile *song) { return clamp_to_int(song->size); }

int play_mp3_file() {
    if (!Current_MP3) return -1;
    Mp3Stream *stream = Current_MP3->stream;
    return almp3_play_ex_mp3stream(stream, buffer_len_for(stream), Volume, Panning, Speed);
}

int poll_mp3_file(SongFile *song) {
    void *buffer = almp3_get_mp3stream_buffer(song->stream);
    if (buffer) {
        // A short read, an empty one included, is the end of the data: it
        // goes back as the final packet.
        const int n = read_packet(song->file, buffer);
        almp3_free_mp3stream_buffer(song->stream, n == kPacketSize ? ALMP3_WHOLE_BLOCK : n);
    }
    return almp3_poll_mp3stream(song->stream);
}

void close_mp3_file() {
    if (!Current_MP3) return;
    close(Current_MP3->file);
    almp3_destroy_mp3stream(Current_MP3->stream);
    delete Current_MP3;
    Current_MP3 = nullptr;
}
