/*
 * loop_mp3 - loops one MP3 or MP2 file through Allegro with the in-memory
 * object of libalmp3 for a given time, as a game loops its music.
 *
 *   loop_mp3 FILE MILLISECONDS
 *
 * The file plays from its start to the end of its loop region, then the
 * region again and again without a gap. The region comes from the file's
 * ID3v2 TXXX tags LOOPSTART with LOOPLENGTH or LOOPEND (in samples); a file
 * without them loops as a whole.
 *
 * Build:
 *   cc loop_mp3.c $(pkg-config --static --cflags --libs almp3) -o loop_mp3
 *
 * Allegro's system driver needs an X display, even for sound alone.
 * Exit status: 0 after playing for the time given, 1 on any error.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <allegro.h>
#include <almp3.h>

/* Bytes of decoded sound per audio-stream buffer. */
#define STREAM_BUFFER_SIZE 32768
/* Milliseconds per tick of the clock that times the playback. */
#define TICK_MSECS 10

static volatile int ticks;

static void tick(void)
{
   ticks++;
}
END_OF_FUNCTION(tick)

/* Reads the whole file into a new buffer; NULL on any error. */
static void *read_file(const char *path, int *size)
{
   FILE *file = fopen(path, "rb");
   void *data = NULL;
   long len;

   if (!file)
      return NULL;
   if (fseek(file, 0, SEEK_END) == 0 && (len = ftell(file)) > 0 && len <= 0x7fffffffL &&
       fseek(file, 0, SEEK_SET) == 0 && (data = malloc((size_t)len)) != NULL) {
      if (fread(data, 1, (size_t)len, file) == (size_t)len) {
         *size = (int)len;
      }
      else {
         free(data);
         data = NULL;
      }
   }
   fclose(file);
   return data;
}

int main(int argc, char *argv[])
{
   Mp3Memory *mp3;
   void *data;
   int size, msecs, start, end;

   if (argc != 3 || (msecs = atoi(argv[2])) <= 0) {
      fprintf(stderr, "usage: %s FILE MILLISECONDS\n", argv[0]);
      return 1;
   }
   if (install_allegro(SYSTEM_AUTODETECT, &errno, atexit) != 0) {
      fprintf(stderr, "cannot start Allegro: %s\n", allegro_error);
      return 1;
   }
   install_timer();
   /* Full volume for a single voice instead of Allegro's halving default. */
   set_volume_per_voice(0);
   if (install_sound(DIGI_AUTODETECT, MIDI_NONE, NULL) != 0) {
      fprintf(stderr, "cannot start sound: %s\n", allegro_error);
      return 1;
   }
   LOCK_VARIABLE(ticks);
   LOCK_FUNCTION(tick);

   data = read_file(argv[1], &size);
   if (!data) {
      fprintf(stderr, "%s: cannot read the file\n", argv[1]);
      return 1;
   }
   /* The object reads the file where it lies: keep it until the end. */
   mp3 = almp3_create_mp3(data, size);
   if (!mp3) {
      fprintf(stderr, "%s: no MPEG audio frame found\n", argv[1]);
      free(data);
      return 1;
   }
   almp3_get_loop_points_mp3(mp3, &start, &end);
   printf("%d Hz, looping samples %d to %d\n", almp3_get_wave_freq_mp3(mp3), start, end);

   install_int(tick, TICK_MSECS);
   almp3_play_ex_mp3(mp3, STREAM_BUFFER_SIZE, 255, 128, 1000, 1);
   /* A looping object never finishes: poll until the time is up. */
   while (ticks * TICK_MSECS < msecs && almp3_poll_mp3(mp3) == ALMP3_POLL_OK)
      rest(1);
   remove_int(tick);

   if (!almp3_is_playing_mp3(mp3)) {
      fprintf(stderr, "%s: playback stopped early\n", argv[1]);
      almp3_destroy_mp3(mp3);
      free(data);
      return 1;
   }
   almp3_stop_mp3(mp3);
   almp3_destroy_mp3(mp3);
   free(data);
   return 0;
}
END_OF_MAIN()
