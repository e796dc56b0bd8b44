#include "fake_allegro.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct FakeStream {
    AUDIOSTREAM stream{};
    SAMPLE sample{};
    std::vector<unsigned char> data;
    bool lent = false;
    bool running = true;
};

struct Timer {
    void (*proc)(void *);
    void *param;
    std::atomic<bool> stop{false};
    std::thread thread;
};

std::mutex state_mutex;
int free_buffers = fake_allegro::kUnlimited;
bool play_fails = false;
std::vector<unsigned char> captured_bytes;
bool capturing = true;
std::vector<bool> silent_flags;
int one_buffer_bytes = 0;
int open_streams = 0;
// The one voice the fake hands out, and the stream playing on it.
constexpr int kFakeVoice = 0;
FakeStream *voice_stream = nullptr;
int adjusts = 0;
fake_allegro::PlayCall last_play_call{};
fake_allegro::AdjustCall last_adjust_call{};

std::mutex timer_mutex;
std::vector<std::unique_ptr<Timer>> timers;
long last_timer_period = 0;
// Timers that removed themselves from their own callback: their threads end
// by themselves and are joined later.
std::vector<std::unique_ptr<Timer>> finished_timers;

struct JoinFinishedTimersAtExit {
    ~JoinFinishedTimersAtExit() {
        for (auto &t : finished_timers) t->thread.join();
    }
} join_at_exit;

FakeStream *fake_of(AUDIOSTREAM *stream) {
    // The AUDIOSTREAM is the first member, so the two addresses coincide.
    return reinterpret_cast<FakeStream *>(stream);
}

bool all_silent(const unsigned char *p, int bytes) {
    for (int i = 0; i + 1 < bytes; i += 2) {
        uint16_t v;
        std::memcpy(&v, p + i, 2);
        if (v != 0x8000) return false;
    }
    return true;
}

}  // namespace

namespace fake_allegro {

void reset() {
    std::lock_guard<std::mutex> lock(state_mutex);
    capturing = true;
    free_buffers = kUnlimited;
    play_fails = false;
    captured_bytes.clear();
    silent_flags.clear();
    one_buffer_bytes = 0;
    adjusts = 0;
    last_play_call = {};
    last_adjust_call = {};
}

void set_capture(bool on) {
    std::lock_guard<std::mutex> lock(state_mutex);
    capturing = on;
}

void set_free_buffers(int count) {
    std::lock_guard<std::mutex> lock(state_mutex);
    free_buffers = count;
}

void set_play_fails(bool fails) {
    std::lock_guard<std::mutex> lock(state_mutex);
    play_fails = fails;
}

const std::vector<unsigned char> &captured() { return captured_bytes; }

std::vector<int16_t> captured_signed() {
    std::lock_guard<std::mutex> lock(state_mutex);
    std::vector<int16_t> out(captured_bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        uint16_t v;
        std::memcpy(&v, &captured_bytes[2 * i], 2);
        out[i] = static_cast<int16_t>(v ^ 0x8000);
    }
    return out;
}

int buffers_handed_back() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return static_cast<int>(silent_flags.size());
}

int buffer_bytes() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return one_buffer_bytes;
}

bool buffer_was_silent(int index) {
    std::lock_guard<std::mutex> lock(state_mutex);
    return index >= 0 && index < static_cast<int>(silent_flags.size()) && silent_flags[index];
}

PlayCall last_play() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return last_play_call;
}

AdjustCall last_adjust() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return last_adjust_call;
}

int adjust_calls() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return adjusts;
}

int streams_open() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return open_streams;
}

bool voice_running() {
    std::lock_guard<std::mutex> lock(state_mutex);
    return voice_stream && voice_stream->running;
}

int timers_installed() {
    std::lock_guard<std::mutex> lock(timer_mutex);
    return static_cast<int>(timers.size());
}

int last_timer_ms() {
    std::lock_guard<std::mutex> lock(timer_mutex);
    return static_cast<int>(last_timer_period);
}

}  // namespace fake_allegro

extern "C" {

AUDIOSTREAM *play_audio_stream(int len, int bits, int stereo, int freq, int vol, int pan) {
    std::lock_guard<std::mutex> lock(state_mutex);
    last_play_call = {len, bits, stereo, freq, vol, pan};
    if (play_fails) return nullptr;
    auto *fs = new FakeStream;
    one_buffer_bytes = len * (stereo ? 2 : 1) * (bits / 8);
    fs->data.assign(static_cast<size_t>(one_buffer_bytes), 0);
    fs->sample.bits = bits;
    fs->sample.stereo = stereo;
    fs->sample.freq = freq;
    fs->sample.len = static_cast<unsigned long>(len);
    fs->sample.data = fs->data.data();
    fs->stream.len = len;
    fs->stream.samp = &fs->sample;
    fs->stream.locked = nullptr;
    fs->stream.voice = kFakeVoice;
    voice_stream = fs;
    ++open_streams;
    return &fs->stream;
}

void stop_audio_stream(AUDIOSTREAM *stream) {
    std::lock_guard<std::mutex> lock(state_mutex);
    if (voice_stream == fake_of(stream)) voice_stream = nullptr;
    delete fake_of(stream);
    --open_streams;
}

void *get_audio_stream_buffer(AUDIOSTREAM *stream) {
    std::lock_guard<std::mutex> lock(state_mutex);
    auto *fs = fake_of(stream);
    // As Allegro does, a buffer not yet handed back is lent again as it is;
    // a halted voice frees no new one.
    if (fs->lent) return fs->data.data();
    if (!fs->running || free_buffers == 0) return nullptr;
    if (free_buffers > 0) --free_buffers;
    fs->lent = true;
    // Fill with a pattern, so a decoder that forgets to clear shows up.
    std::fill(fs->data.begin(), fs->data.end(), 0xA5);
    return fs->data.data();
}

void free_audio_stream_buffer(AUDIOSTREAM *stream) {
    std::lock_guard<std::mutex> lock(state_mutex);
    auto *fs = fake_of(stream);
    if (!fs->lent) return;
    fs->lent = false;
    if (!capturing) return;
    captured_bytes.insert(captured_bytes.end(), fs->data.begin(), fs->data.end());
    silent_flags.push_back(all_silent(fs->data.data(), static_cast<int>(fs->data.size())));
}

void voice_start(int voice) {
    std::lock_guard<std::mutex> lock(state_mutex);
    if (voice == kFakeVoice && voice_stream) voice_stream->running = true;
}

void voice_stop(int voice) {
    std::lock_guard<std::mutex> lock(state_mutex);
    if (voice == kFakeVoice && voice_stream) voice_stream->running = false;
}

void adjust_sample(AL_CONST SAMPLE *, int vol, int pan, int freq, int loop) {
    std::lock_guard<std::mutex> lock(state_mutex);
    ++adjusts;
    last_adjust_call = {vol, pan, freq, loop};
}

SAMPLE *create_sample(int bits, int stereo, int freq, int len) {
    auto *s = static_cast<SAMPLE *>(std::calloc(1, sizeof(SAMPLE)));
    if (!s) return nullptr;
    s->bits = bits;
    s->stereo = stereo;
    s->freq = freq;
    s->len = static_cast<unsigned long>(len);
    s->data = std::malloc(static_cast<size_t>(len) * (stereo ? 2 : 1) * (bits / 8) + 1);
    if (!s->data) {
        std::free(s);
        return nullptr;
    }
    return s;
}

void destroy_sample(SAMPLE *s) {
    if (!s) return;
    std::free(s->data);
    std::free(s);
}

int install_param_int(void (*proc)(void *), void *param, long speed) {
    std::lock_guard<std::mutex> lock(timer_mutex);
    auto t = std::make_unique<Timer>();
    t->proc = proc;
    t->param = param;
    last_timer_period = speed;
    Timer *raw = t.get();
    const auto period = std::chrono::milliseconds(speed > 0 ? speed : 1);
    raw->thread = std::thread([raw, period] {
        while (!raw->stop.load()) {
            std::this_thread::sleep_for(period);
            if (!raw->stop.load()) raw->proc(raw->param);
        }
    });
    timers.push_back(std::move(t));
    return 0;
}

void remove_param_int(void (*proc)(void *), void *param) {
    std::unique_ptr<Timer> victim;
    {
        std::lock_guard<std::mutex> lock(timer_mutex);
        auto it = std::find_if(timers.begin(), timers.end(),
                               [&](const std::unique_ptr<Timer> &t) { return t->proc == proc && t->param == param; });
        if (it == timers.end()) return;
        victim = std::move(*it);
        timers.erase(it);
    }
    victim->stop.store(true);
    // A callback may remove its own timer: its thread then ends by itself.
    if (victim->thread.get_id() == std::this_thread::get_id()) {
        std::lock_guard<std::mutex> lock(timer_mutex);
        finished_timers.push_back(std::move(victim));
    } else {
        victim->thread.join();
    }
}

}  // extern "C"
