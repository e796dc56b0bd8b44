// The player's globals and routines. The player is plain procedures over
// global state that lives for the whole run; every module includes this one
// header. All of it runs on the main thread.
#ifndef PLAYER_H
#define PLAYER_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "almp3.h"
#include "platform.h"

// ---------------------------------------------------------------------------
// Sizes and limits
// ---------------------------------------------------------------------------

constexpr int kMaxSongs = 1024;    // entries the playlist table holds
constexpr int kSlotSize = 1024;    // bytes of one playlist slot
constexpr int kPathSize = 512;     // every path buffer, dialogs included
constexpr int kPacketSize = 32768; // bytes read from a song file at a time

// Marks the slots outside the list and presets the file dialogs' buffers: a
// relative name that no file has, so exists() is false for it.
constexpr const char *kEmptySlot = "thisfilecannotexistbecauseitisstupid";
constexpr const char *kDefaultPlaylist = "playlist.qpl";
constexpr const char *kDefaultBackground = "bg.jpg";

constexpr int kMinLevel = 0;       // volume and panning range
constexpr int kMaxLevel = 255;
constexpr int kCentrePanning = 128;
constexpr int kNormalSpeed = 1000; // speed in thousandths of normal

// ---------------------------------------------------------------------------
// Playlist table (playlist.cpp)
// ---------------------------------------------------------------------------

extern char Song_Names[kMaxSongs][kSlotSize];
extern int Number_of_Songs;
extern int Current_Song;
extern char Current_BM[kPathSize];    // path of the song to open, or open
extern char playlist_file[kPathSize]; // path of the current playlist file
extern int Skip_Number;               // songs moved by Insert and Delete
extern int PL_Sel;                    // selected entry = PL_Start + PL_Sel_Row
extern int PL_Start;                  // entry on the playlist area's top row
extern int PL_Sel_Row;                // row of the highlight bar

// Empties the table, closes the open song, resets the selection.
void Reset_Playlist();
// Stores path as the next entry. Returns false, storing nothing, when the
// table is full.
bool Append_Song(const char *path);
// Copies entry Current_Song into Current_BM.
void Select_Current_Song();

// ---------------------------------------------------------------------------
// Selection and scrolling (playlist.cpp)
// ---------------------------------------------------------------------------

// Whole text rows in the playlist area: the page size of the selection.
int Playlist_Rows();
void Playlist_Up();          // Up
void Playlist_Down();        // Down
void Playlist_Jump_Up();     // Page Up
void Playlist_Jump_Down();   // Page Down
void Play_Selected();        // Enter
void Remove_Selected();      // Backspace

// ---------------------------------------------------------------------------
// Playlist file and commands (populate.cpp)
// ---------------------------------------------------------------------------

// Loads the playlist named by playlist_file and starts its first entry.
// 1 when the file could be opened, else 0.
int Populate();
int Add_to_Playlist();  // F3
int Open_Playlist();    // F1
int Save_Playlist();    // F2
// Writes the list to path, one entry a line, byte for byte. A symbolic link
// is written through to its target; a path that exists and is no regular
// file is refused. The list goes to a new, exclusively created file beside
// the target, with the target's permissions, which replaces the target only
// once complete; on failure the old file stays whole and no other file is
// touched. True when the new file is in place; otherwise error tells why.
bool Write_Playlist(const char *path, std::string *error);
// Reads the next line of a playlist file into line (at most kPathSize - 1
// bytes, the line end removed). Returns false at the end of the file. A line
// too long for line, or one holding a NUL byte, names no file: it is
// consumed whole and comes back empty.
bool Read_Playlist_Line(std::FILE *file, char (&line)[kPathSize]);
// Appends to the table every line of an open playlist file that names an
// existing file, until the file ends or the table is full.
void Read_Playlist(std::FILE *file);
// Songs moved by Insert and Delete for a list of the given length.
int Skip_Count(int songs);

// ---------------------------------------------------------------------------
// Song feeder (mp3play.cpp)
// ---------------------------------------------------------------------------

// The one open song: its file and the streaming decoder fed from it, both
// owned by the record, with the file's size and the bytes of audio in it
// (without the tags before and after the frames).
struct SongFile {
    Input_File file;  // read by packets
    Mp3Stream *stream = nullptr;
    int64_t size = 0;
    int64_t audio_bytes = 0;
};

extern SongFile *Current_MP3;  // the open song, or null

SongFile *open_mp3_file(const char *path);
int play_mp3_file();
int poll_mp3_file(SongFile *song);
void close_mp3_file();
// The song's length in whole seconds, from its audio bytes alone.
int Song_Length_Seconds(const SongFile *song);
// The song file's size in bytes (capped at INT_MAX).
int Song_File_Size(const SongFile *song);

// ---------------------------------------------------------------------------
// Song navigation (navigation.cpp)
// ---------------------------------------------------------------------------

extern int Prev_Song;
extern int FileSize;
extern int Length_Hours, Length_Minutes, Length_Seconds;
extern int Pos_Hours, Pos_Minutes, Pos_Seconds;

void Change_BGM();
void Next_Song(int count);
void Previous_Song(int count);
void Get_Position();
// Splits a number of seconds into hours, minutes (0-59) and seconds (0-59).
void Split_Seconds(int total, int *hours, int *minutes, int *seconds);
// Brings an index moved past either end of the list back into it.
int Wrap_Song(int index);
// The window title for a song: its file name with the text after the last
// dot cut off (the dot stays).
void Song_Title(const char *path, char *title, std::size_t size);

// ---------------------------------------------------------------------------
// Sound controls (misc.cpp)
// ---------------------------------------------------------------------------

extern int Volume;   // 0..255
extern int Panning;  // 0..255, 128 the centre
extern int Speed;    // thousandths of normal
extern int Paused;   // 0 or 1
extern int Shuffle;  // 0 or 1

void Change_Volume(int change);
void Change_Panning(int change);
// Speed + change, kept from 0 (silent, halted) to the highest speed Allegro's
// voice frequency holds at every sample rate (about 10.9 times normal).
void Change_Speed(int change);
int Get_Speed();
void Pause();
// Makes the open song's output follow Paused: halted with its queued sound
// kept while paused, running (started if it never was) otherwise.
void Apply_Pause_State();
void Shuffling();

// ---------------------------------------------------------------------------
// The desktop's media controls (mpris.cpp; Linux builds only)
// ---------------------------------------------------------------------------

#ifdef MP3PLAYER_MPRIS
// Offers the player on the session bus as an MPRIS media player, under its
// own name or, when another player holds that, under the name with the
// ".instance<pid>" suffix. Without a session bus it does nothing.
void Open_Media_Controls();
// Handles what came over the bus since the last pass, without waiting, on
// this thread like a key press, and tells the clients what changed.
void Process_Media_Controls();
#endif

// ---------------------------------------------------------------------------
// Appearance (setscheme.cpp, settings.cpp)
// ---------------------------------------------------------------------------

extern int FGColor;   // text and frames
extern int BGColor;   // background and highlight
extern int fillclr;   // panel fill
extern char BGImageFile[kPathSize];
extern BITMAP *bgImage;  // the loaded background image, or null

void Set_Scheme(int background, int text, int window, const char *image);
void load_bgfile();
void Change_Settings(int volume, int panning, int speed, int paused, int shuffle);
// F5: lets the user pick an image into path (kPathSize bytes) and loads it.
void Change_Background_Image(char *path);

// ---------------------------------------------------------------------------
// Shell: start-up, shutdown, errors, keys, drawing
// ---------------------------------------------------------------------------

extern BITMAP *Scr;            // back buffer
extern BITMAP *Current_Area;   // sub-bitmaps of Scr
extern BITMAP *Controls_Area;
extern BITMAP *Playlist_Area;
extern PALETTE pal;
extern COLOR_MAP trans_table;

// Codes of openerror: why a song could not be opened.
enum OpenError {
    kNoMemory = 1,       // no memory for the song's record
    kCannotOpen = 2,     // the file cannot be opened
    kEmptyPacket = 3,    // the first read gave no data
    kNoStreamFinal = 4,  // no stream from a file shorter than one packet
    kNoStream = 5,       // no stream from the first whole packet
};

// Codes of fat_error: what start-up could not set up.
enum FatalError { kNoGraphics = 0, kNoSound = 1, kNoBackBuffer = 2, kNoAreas = 3 };

void init();                   // init.cpp
void deinit();                 // deinit.cpp
int openerror(int code);       // error.cpp: file errors, the program goes on
[[noreturn]] void fat_error(int code);  // set-up errors: exit status -1
void dokb(int scancode);       // keybinput.cpp
void Draw_Screen();            // display.cpp
// Top y of text row `row` in an area.
int Convert_Row(int row);
// Takes away the mouse pointer that a file selector showed.
void hidemouse();
void Show_Current();
void Show_Controls();
void Show_Playlist();
// Text in FGColor on a transparent background, its top one pixel below row
// `row` of area: left-aligned at x, or centred on the area's middle.
void shtxt(BITMAP *area, int row, int x, const char *text);
void shtxt_c(BITMAP *area, int row, const char *text);
// Fills the whole area with fill, then frames its edge in frame.
void fillbmp(BITMAP *area, int frame, int fill);
// format applied to one integer.
std::string makestr(const char *format, int value);
// Holds the open song's output for the object's life (a modal dialog and
// what its command does afterwards, while the main loop cannot feed the
// song), then makes whatever song is open at the end follow Paused: playing
// music plays on, paused music stays paused, whatever happened inside.
class Playback_Hold {
public:
    Playback_Hold();
    ~Playback_Hold();
    Playback_Hold(const Playback_Hold &) = delete;
    Playback_Hold &operator=(const Playback_Hold &) = delete;
};
// The one file chooser of F1, F2, F3 and F5: the library's file selector on
// path (kPathSize bytes, edited in place) at a quarter of the screen, then
// the pointer is hidden and the keys that closed it are dropped. Returns
// the selector's result (0 when cancelled).
int Choose_File(const char *title, char *path, const char *filter);
// Drops buffered keys and makes an Escape still held from a dialog count
// only once it has been released.
void Forget_Dialog_Keys();
// True when Escape is down, unless it is the press that closed a dialog.
bool Quit_Requested();
// Gives the X11 window the application icon; called before the screen is set.
void set_app_icon();

#endif
