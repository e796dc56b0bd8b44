// Creation and destruction of the in-memory object, the getters of the
// first frame's parameters, and its playback calls. The caller's data is
// read in place, never copied.
#include <algorithm>
#include <memory>
#include <new>

#include "format/frame_walk.h"
#include "format/loop_tags.h"
#include "format/timing.h"
#include "format/tags.h"
#include "memory/mp3memory_record.h"

namespace almp3 {

namespace {

// Counts the frames by their headers. Tags and padding behind the last
// frame, and rubbish with no frame after it, are not audio: the data ends
// with the last frame. Damage with frames after it stays inside the data,
// where playback reports it.
void walk(Mp3Memory &m) {
    const FrameWalk w = walk_frames(m.first_frame, m.audio_len, &m.frame_index);
    m.frame_count = static_cast<int>(w.frames) - m.info_frames;
    m.damaged = w.damaged;
    if (!w.damaged) m.audio_len = static_cast<int>(w.audio_end);
}

// The timeline of the frames counted, and the loop region: the one the
// first of the leading ID3v2 tags to give one holds, else the whole of it.
void set_timeline(Mp3Memory &m, const unsigned char *data, int64_t lead) {
    m.timeline = make_timeline(m.xing, m.engine.format.samples_per_frame, m.frame_count);
    m.loop_start = 0;
    m.loop_end = m.timeline.length();
    for (int64_t at = 0; at < lead;) {
        const int64_t n = id3v2_tag_len(data + at, lead - at);
        if (n <= 0) break;
        if (const auto region = loop_region(read_loop_tags(data + at, std::min(n, lead - at)), m.loop_end)) {
            m.loop_start = region->first;
            m.loop_end = region->second;
            break;
        }
        at += n;
    }
}

}  // namespace

}  // namespace almp3

using namespace almp3;

Mp3Memory *almp3_create_mp3(const void *data, int data_len) {
    if (!data || data_len <= 0) return nullptr;
    const auto *start = static_cast<const unsigned char *>(data);
    // Tags at both ends are set aside by their sizes, whatever their size.
    const int64_t trail = trailing_tags_len(start, data_len);
    const int64_t lead = leading_gaps_len(start, data_len - trail);
    if (lead >= data_len - trail) return nullptr;
    start += lead;
    const int len = static_cast<int>(data_len - trail - lead);

    // The search accepts only frames that pass the frame-header test: Layer
    // II or III with a positive size.
    const std::optional<FirstFrame> first = find_first_frame(start, std::min(len, kFirstFrameSearchLimit));
    if (!first) return nullptr;

    std::unique_ptr<Mp3Memory> m(new (std::nothrow) Mp3Memory);
    if (!m || !m->engine.step.open()) return nullptr;
    m->engine.format = format_of(*first);
    m->first_frame = start + first->offset;
    m->audio_len = len - first->offset;
    m->lead_len = static_cast<int>(lead) + first->offset;
    m->xing = read_xing(m->first_frame, m->audio_len, first->header);
    // The Info/Xing frame holds no sound: decoding starts behind it.
    m->info_frames = m->xing ? 1 : 0;
    walk(*m);
    if (m->frame_count <= 0) return nullptr;
    m->trail_len = data_len - m->lead_len - m->audio_len;
    set_timeline(*m, static_cast<const unsigned char *>(data), lead);
    rewind_object(*m);
    restart_core(*m);
    return m.release();
}

void almp3_destroy_mp3(Mp3Memory *mp3) {
    if (!mp3) return;
    {
        Hold hold(mp3->engine.lock);
        mp3->engine.output.stop();
    }
    delete mp3;
}

// The first frame's parameters never change after creation: no lock needed.
int almp3_get_bitrate_mp3(Mp3Memory *mp3) { return mp3->engine.format.bitrate; }
int almp3_get_layer_mp3(Mp3Memory *mp3) { return mp3->engine.format.layer; }
int almp3_get_wave_bits_mp3(Mp3Memory *mp3) { return mp3->engine.format.bits; }
int almp3_get_wave_is_stereo_mp3(Mp3Memory *mp3) { return flag(mp3->engine.format.stereo); }
int almp3_get_wave_freq_mp3(Mp3Memory *mp3) { return mp3->engine.format.freq; }

int almp3_play_ex_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan, int speed, int loop) {
    Hold hold(mp3->engine.lock);
    Output &out = mp3->engine.output;
    if (out.playing()) return ALMP3_PLAY_OK;
    mp3->engine.step.new_search();
    const PlayResult r = out.play(mp3->engine.format, buffer_len, vol, pan, speed);
    if (out.playing()) mp3->looping = loop;
    return play_code(r);
}

int almp3_play_mp3(Mp3Memory *mp3, int buffer_len, int vol, int pan) {
    return almp3_play_ex_mp3(mp3, buffer_len, vol, pan, kNormalSpeed, 0);
}

void almp3_stop_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    mp3->engine.output.stop();
}

void almp3_adjust_mp3(Mp3Memory *mp3, int vol, int pan, int speed, int loop) {
    Hold hold(mp3->engine.lock);
    if (!mp3->engine.output.playing()) return;
    mp3->engine.output.adjust(vol, pan, speed);
    mp3->looping = loop;
}

void almp3_start_autopoll_mp3(Mp3Memory *mp3, int msecs) {
    Hold hold(mp3->engine.lock);
    mp3->engine.output.start_autopoll(msecs);
}

void almp3_stop_autopoll_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    mp3->engine.output.stop_autopoll();
}

int almp3_is_playing_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return flag(mp3->engine.output.playing());
}

int almp3_is_looping_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return mp3->engine.output.playing() ? mp3->looping : 0;
}

void almp3_set_loop_mp3(Mp3Memory *mp3, int loop) {
    Hold hold(mp3->engine.lock);
    if (mp3->engine.output.playing()) mp3->looping = loop;
}

AUDIOSTREAM *almp3_get_audiostream_mp3(Mp3Memory *mp3) {
    Hold hold(mp3->engine.lock);
    return mp3->engine.output.stream();
}

void *almp3_get_output_wave_mp3(Mp3Memory *mp3, int *size_out) {
    Hold hold(mp3->engine.lock);
    return mp3->engine.output.wave(size_out);
}

int almp3_set_loop_points_mp3(Mp3Memory *mp3, int start, int end) {
    Hold hold(mp3->engine.lock);
    if (start < 0 || end <= start || end > mp3->timeline.length()) return ALMP3_LOOP_POINTS_REFUSED;
    mp3->loop_start = start;
    mp3->loop_end = end;
    return ALMP3_LOOP_POINTS_SET;
}

void almp3_get_loop_points_mp3(Mp3Memory *mp3, int *start, int *end) {
    Hold hold(mp3->engine.lock);
    if (start) *start = clamp_to_int(mp3->loop_start);
    if (end) *end = clamp_to_int(mp3->loop_end);
}
