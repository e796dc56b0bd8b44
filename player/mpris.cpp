// The desktop's media controls: an MPRIS service on the session bus, through
// which media keys, the panel's player widget and playerctl reach the
// player. The bus is served from the main loop, one pass at a time and
// without waiting; a request runs there like a key press. Without a session
// bus the player runs as it would without this module, silently.
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "player.h"

namespace {

constexpr const char *kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char *kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char *kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char *kBusName = "org.mpris.MediaPlayer2.mp3player";
// A second player at the same time takes kBusName + this + its pid.
constexpr const char *kInstanceSuffix = ".instance";
constexpr const char *kIdentity = "mp3player";  // also the .desktop file's name
constexpr const char *kTrackPathPrefix = "/org/mp3player/track/";
constexpr const char *kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// Replies of the bus's RequestName that mean the name is ours.
constexpr uint32_t kPrimaryOwner = 1;
constexpr uint32_t kAlreadyOwner = 4;
// Messages handled in one pass at most, so a flood cannot stall the screen.
constexpr int kMessagesPerPass = 32;
constexpr double kRate = 1.0;
constexpr int64_t kMicrosecondsPerSecond = 1000000;

struct Bus_Closer {
    void operator()(sd_bus *bus) const { sd_bus_close_unref(bus); }
};
std::unique_ptr<sd_bus, Bus_Closer> bus;

// ---------------------------------------------------------------------------
// Strings for the bus: D-Bus strings must be valid UTF-8, file names need
// not be.
// ---------------------------------------------------------------------------

constexpr const char *kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes of the valid UTF-8 character at text[0..size), or 0 when it is not
// one. Overlong forms, surrogates, noncharacters and code points past
// U+10FFFF are refused, as the bus library refuses them.
std::size_t utf8_length(const unsigned char *text, std::size_t size) {
    const unsigned char lead = text[0];
    if (lead < 0x80) return 1;
    std::size_t length;
    uint32_t code;
    if ((lead & 0xE0) == 0xC0) { length = 2; code = lead & 0x1F; }
    else if ((lead & 0xF0) == 0xE0) { length = 3; code = lead & 0x0F; }
    else if ((lead & 0xF8) == 0xF0) { length = 4; code = lead & 0x07; }
    else return 0;
    if (length > size) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        code = code << 6 | (text[i] & 0x3F);
    }
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= kShortest[length] && code <= 0x10FFFF && (code & 0xFFFFF800) != 0xD800 &&
                       !(code >= 0xFDD0 && code <= 0xFDEF) && (code & 0xFFFE) != 0xFFFE;
    return valid ? length : 0;
}

// text with every byte that is not part of a valid character replaced.
std::string valid_utf8(const std::string &text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_length(bytes + at, text.size() - at);
        if (length == 0) {
            out += kReplacement;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

// A file:// URI of path made absolute, every byte but the unreserved ones
// and the slashes percent-encoded. Empty when the working folder is unknown.
std::string file_uri(const char *path) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(path, error).native();
    if (error) return "";
    constexpr const char *kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char c : absolute) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved || c == '/') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0x0F];
        }
    }
    return uri;
}

// ---------------------------------------------------------------------------
// Properties
// ---------------------------------------------------------------------------

bool have_songs() { return Number_of_Songs > 0; }

const char *playback_status() {
    if (!Current_MP3) return "Stopped";
    return Paused ? "Paused" : "Playing";
}

// Each property is one function that appends its value to a reply (or,
// for a setter, reads the value written), adapted to the bus library's
// signatures below.
int get_false(sd_bus_message *reply) { return sd_bus_message_append(reply, "b", 0); }
int get_true(sd_bus_message *reply) { return sd_bus_message_append(reply, "b", 1); }
int get_have_songs(sd_bus_message *reply) { return sd_bus_message_append(reply, "b", have_songs()); }
int get_identity(sd_bus_message *reply) { return sd_bus_message_append(reply, "s", kIdentity); }
int get_no_strings(sd_bus_message *reply) { return sd_bus_message_append(reply, "as", 0); }
int get_rate(sd_bus_message *reply) { return sd_bus_message_append(reply, "d", kRate); }
int get_status(sd_bus_message *reply) { return sd_bus_message_append(reply, "s", playback_status()); }
int get_shuffle(sd_bus_message *reply) { return sd_bus_message_append(reply, "b", Shuffle != 0); }
int get_volume(sd_bus_message *reply) {
    return sd_bus_message_append(reply, "d", static_cast<double>(Volume) / kMaxLevel);
}

// The position the panel shows, in microseconds.
int get_position(sd_bus_message *reply) {
    const int64_t seconds = Current_MP3 ? almp3_get_pos_secs_mp3stream(Current_MP3->stream) : 0;
    return sd_bus_message_append(reply, "x", seconds * kMicrosecondsPerSecond);
}

int get_metadata(sd_bus_message *reply) {
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    if (!Current_MP3) {
        r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", kNoTrack);
    } else {
        const std::string track = kTrackPathPrefix + std::to_string(Current_Song);
        const std::string title = valid_utf8(get_filename(Current_BM));
        const int64_t length = int64_t{Song_Length_Seconds(Current_MP3)} * kMicrosecondsPerSecond;
        const std::string uri = file_uri(Current_BM);
        r = sd_bus_message_append(reply, "{sv}{sv}{sv}", "mpris:trackid", "o", track.c_str(), "xesam:title", "s",
                                  title.c_str(), "mpris:length", "x", length);
        if (r >= 0 && !uri.empty()) r = sd_bus_message_append(reply, "{sv}", "xesam:url", "s", uri.c_str());
    }
    if (r < 0) return r;
    return sd_bus_message_close_container(reply);
}

// Sets shuffling to the value written (the S key toggles it).
int set_shuffle(sd_bus_message *value) {
    int on = 0;
    const int r = sd_bus_message_read(value, "b", &on);
    if (r < 0) return r;
    if ((on != 0) != (Shuffle != 0)) Shuffling();
    return 1;
}

// 0.0 to 1.0 becomes 0 to 255, rounded half up; values outside are clamped.
int set_volume(sd_bus_message *value) {
    double level = 0;
    const int r = sd_bus_message_read(value, "d", &level);
    if (r < 0) return r;
    if (std::isnan(level)) return -EINVAL;
    const int target = static_cast<int>(std::floor(std::clamp(level, 0.0, 1.0) * kMaxLevel + 0.5));
    Change_Volume(target - Volume);
    return 1;
}

using Message_Part = int (*)(sd_bus_message *);

template <Message_Part Get>
int getter(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *, sd_bus_error *) {
    return Get(reply);
}

template <Message_Part Set>
int setter(sd_bus *, const char *, const char *, const char *, sd_bus_message *value, void *, sd_bus_error *) {
    return Set(value);
}

// ---------------------------------------------------------------------------
// Methods: each answers first, then does what its key does, so that the
// caller is not kept waiting by a message box the command may show.
// ---------------------------------------------------------------------------

void play_pause() { Pause(); }
void play() {
    if (Paused) Pause();
}
void pause_if_playing() {
    if (!Paused) Pause();
}
void next() { Next_Song(1); }
void previous() { Previous_Song(1); }
// Seek, SetPosition and OpenUri (the player cannot seek or open a URI), and
// Raise and Quit (CanRaise and CanQuit are false).
void nothing() {}

template <void (*Command)()>
int run(sd_bus_message *call, void *, sd_bus_error *) {
    const int r = sd_bus_reply_method_return(call, "");
    Command();
    return r;
}

constexpr uint64_t kConst = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr uint64_t kSignalled = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
// Changes on its own, without a signal: clients ask for it.
constexpr uint64_t kUnsignalled = 0;

const sd_bus_vtable kRootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", run<nothing>, 0),
    SD_BUS_METHOD("Quit", "", "", run<nothing>, 0),
    SD_BUS_PROPERTY("CanQuit", "b", getter<get_false>, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", getter<get_false>, 0, kConst),
    SD_BUS_PROPERTY("CanSetFullscreen", "b", getter<get_false>, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", getter<get_false>, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", getter<get_identity>, 0, kConst),
    SD_BUS_PROPERTY("DesktopEntry", "s", getter<get_identity>, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", getter<get_no_strings>, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", getter<get_no_strings>, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", run<next>, 0),
    SD_BUS_METHOD("Previous", "", "", run<previous>, 0),
    SD_BUS_METHOD("Pause", "", "", run<pause_if_playing>, 0),
    SD_BUS_METHOD("PlayPause", "", "", run<play_pause>, 0),
    // The player has no stop that keeps the list (F4 clears it): Stop pauses.
    SD_BUS_METHOD("Stop", "", "", run<pause_if_playing>, 0),
    SD_BUS_METHOD("Play", "", "", run<play>, 0),
    SD_BUS_METHOD("Seek", "x", "", run<nothing>, 0),
    SD_BUS_METHOD("SetPosition", "ox", "", run<nothing>, 0),
    SD_BUS_METHOD("OpenUri", "s", "", run<nothing>, 0),
    // Declared because the interface has it; the player never seeks.
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", getter<get_status>, 0, kSignalled),
    SD_BUS_PROPERTY("Rate", "d", getter<get_rate>, 0, kConst),
    SD_BUS_PROPERTY("MinimumRate", "d", getter<get_rate>, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", getter<get_rate>, 0, kConst),
    SD_BUS_WRITABLE_PROPERTY("Shuffle", "b", getter<get_shuffle>, setter<set_shuffle>, 0, kSignalled),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", getter<get_volume>, setter<set_volume>, 0, kSignalled),
    SD_BUS_PROPERTY("Metadata", "a{sv}", getter<get_metadata>, 0, kSignalled),
    SD_BUS_PROPERTY("Position", "x", getter<get_position>, 0, kUnsignalled),
    SD_BUS_PROPERTY("CanGoNext", "b", getter<get_have_songs>, 0, kSignalled),
    SD_BUS_PROPERTY("CanGoPrevious", "b", getter<get_have_songs>, 0, kSignalled),
    SD_BUS_PROPERTY("CanPlay", "b", getter<get_have_songs>, 0, kSignalled),
    SD_BUS_PROPERTY("CanPause", "b", getter<get_have_songs>, 0, kSignalled),
    SD_BUS_PROPERTY("CanSeek", "b", getter<get_false>, 0, kConst),
    SD_BUS_PROPERTY("CanControl", "b", getter<get_true>, 0, kConst),
    SD_BUS_VTABLE_END,
};

// ---------------------------------------------------------------------------
// Change signals: what the clients were last told, compared once a pass
// with the player's state, however it changed (keys, the bus, a song's end).
// ---------------------------------------------------------------------------

struct Shown {
    bool have_songs = false;
    bool open = false;
    int song = 0;
    char path[kPathSize] = "";  // held, not allocated: this runs every pass
    int paused = 0;
    int shuffle = 0;
    int volume = 0;
};
Shown shown;

Shown current_state() {
    Shown now;
    now.have_songs = have_songs();
    now.open = Current_MP3 != nullptr;
    now.song = Current_Song;
    std::memcpy(now.path, Current_BM, sizeof now.path);
    now.paused = Paused;
    now.shuffle = Shuffle;
    now.volume = Volume;
    return now;
}

void signal_changes() {
    const Shown now = current_state();
    std::vector<const char *> names;
    if (now.open != shown.open || now.paused != shown.paused) names.push_back("PlaybackStatus");
    if (now.open != shown.open || now.song != shown.song ||
        std::strncmp(now.path, shown.path, sizeof now.path) != 0) names.push_back("Metadata");
    if (now.shuffle != shown.shuffle) names.push_back("Shuffle");
    if (now.volume != shown.volume) names.push_back("Volume");
    if (now.have_songs != shown.have_songs)
        names.insert(names.end(), {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause"});
    shown = now;
    if (names.empty()) return;
    names.push_back(nullptr);
    // The library takes the list as char ** but does not change it.
    sd_bus_emit_properties_changed_strv(bus.get(), kObjectPath, kPlayerInterface, const_cast<char **>(names.data()));
}

// ---------------------------------------------------------------------------
// The name on the bus
// ---------------------------------------------------------------------------

bool name_granted(sd_bus_message *reply) {
    uint32_t result = 0;
    return !sd_bus_message_is_method_error(reply, nullptr) && sd_bus_message_read(reply, "u", &result) > 0 &&
           (result == kPrimaryOwner || result == kAlreadyOwner);
}

// The player's own name is taken: this is a second player at the same
// time, and it takes a name of its own.
int on_name_reply(sd_bus_message *reply, void *, sd_bus_error *) {
    if (name_granted(reply)) return 0;
    const std::string instance = std::string(kBusName) + kInstanceSuffix + std::to_string(getpid());
    sd_bus_request_name_async(bus.get(), nullptr, instance.c_str(), 0, nullptr, nullptr);
    return 0;
}

}  // namespace

void Open_Media_Controls() {
    sd_bus *opened = nullptr;
    if (sd_bus_open_user(&opened) < 0) return;
    bus.reset(opened);
    if (sd_bus_add_object_vtable(bus.get(), nullptr, kObjectPath, kRootInterface, kRootVtable, nullptr) < 0 ||
        sd_bus_add_object_vtable(bus.get(), nullptr, kObjectPath, kPlayerInterface, kPlayerVtable, nullptr) < 0 ||
        sd_bus_request_name_async(bus.get(), nullptr, kBusName, 0, on_name_reply, nullptr) < 0) {
        bus.reset();
        return;
    }
    shown = current_state();
}

void Process_Media_Controls() {
    if (!bus) return;
    for (int i = 0; i < kMessagesPerPass; ++i) {
        const int r = sd_bus_process(bus.get(), nullptr);
        if (r < 0) {
            // The bus went away: the player goes on without it.
            bus.reset();
            return;
        }
        if (r == 0) break;
    }
    signal_changes();
}
