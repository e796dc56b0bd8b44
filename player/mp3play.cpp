// The song feeder: opens a song's file, passes over the tags in front of
// its frames, makes a streaming decoder from its first packet, hands the
// decoder one packet at a time when it asks, and closes the song. A song is
// never held whole.
#include <algorithm>
#include <new>
#include <vector>

#include "platform.h"
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

int read_packet(Input_File &file, void *buffer) { return file.read(buffer, kPacketSize); }

// Reads size bytes at offset; short at the end of the data or on an error.
int read_at(Input_File &file, int64_t offset, unsigned char *buffer, int size) {
    return file.seek(offset) ? file.read(buffer, size) : 0;
}

// Bytes taken by the ID3v2 tags at the file's start, stacked ones too.
int64_t leading_tag_bytes(Input_File &file, int64_t size) {
    int64_t skip = 0;
    unsigned char head[kId3v2HeaderBytes];
    while (skip < size) {
        const int got = read_at(file, skip, head, sizeof head);
        const int n = got > 0 ? almp3_get_id3v2_length(head, got) : 0;
        if (n <= 0) break;
        skip += n;
    }
    return std::min(skip, size);
}

// Bytes taken by the tags after the last frame (ID3v1, APEv2, Lyrics3,
// footered ID3v2), stacked ones too; never more than lie after `lead`.
int64_t trailing_tag_bytes(Input_File &file, int64_t lead, int64_t size) {
    int64_t end = size;
    unsigned char tail[kTrailingTagBytes];
    while (end > lead) {
        const int want = static_cast<int>(std::min<int64_t>(sizeof tail, end - lead));
        const int got = read_at(file, end - want, tail, want);
        const int n = got == want ? almp3_get_trailing_tag_length(tail, want) : 0;
        if (n <= 0 || n > end - lead) break;
        end -= n;
    }
    return size - end;
}

// Measures the file and leaves it at the first byte after its leading tags.
bool measure_song(SongFile *song) {
    song->size = song->file.size();
    if (song->size < 0) return false;
    const int64_t lead = leading_tag_bytes(song->file, song->size);
    song->audio_bytes = song->size - lead - trailing_tag_bytes(song->file, lead, song->size);
    return song->file.seek(lead);
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
    auto *song = new (std::nothrow) SongFile;
    if (!song) {
        openerror(kNoMemory);
        return nullptr;
    }
    if (!song->file.open(path) || !measure_song(song)) {
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
    almp3_destroy_mp3stream(Current_MP3->stream);
    delete Current_MP3;
    Current_MP3 = nullptr;
}
