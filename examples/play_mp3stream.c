/*
 * play_mp3stream - plays one MP3 or MP2 file through Allegro with the
 * streaming decoder object of libalmp3, reading the file block by block.
 *
 *   play_mp3stream FILE
 *
 * Build:
 *   cc play_mp3stream.c $(pkg-config --static --cflags --libs almp3) -o play_mp3stream
 *
 * Allegro's system driver needs an X display, even for sound alone.
 * Exit status: 0 when the whole file was played, 1 on any error.
 */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <allegro.h>
#include <almp3.h>

/* Bytes of the file handed to the decoder at a time. */
#define BLOCK_SIZE 32768
/* Bytes of decoded sound per audio-stream buffer. */
#define STREAM_BUFFER_SIZE 32768

/* Reads up to one block; a read error counts as the end of the data. */
static int read_block(FILE *file, void *buffer)
{
   return (int)fread(buffer, 1, BLOCK_SIZE, file);
}

int main(int argc, char *argv[])
{
   static unsigned char first[BLOCK_SIZE];
   ALMP3_MP3STREAM *stream;
   FILE *file;
   int n, result;

   if (argc != 2) {
      fprintf(stderr, "usage: %s FILE\n", argv[0]);
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

   file = fopen(argv[1], "rb");
   if (!file) {
      perror(argv[1]);
      return 1;
   }
   /* Leading ID3v2 tags (stacked, of any size) are passed over by their
      sizes, so that the first block starts at the audio. */
   for (;;) {
      unsigned char head[10];
      long at = ftell(file);
      int tag;
      if (fread(head, 1, sizeof head, file) != sizeof head ||
          (tag = almp3_get_id3v2_length(head, sizeof head)) <= 0 ||
          fseek(file, at + tag, SEEK_SET) != 0) {
         fseek(file, at, SEEK_SET);
         break;
      }
   }
   n = read_block(file, first);
   /* A short first block is the whole file. */
   stream = almp3_create_mp3stream(first, n, n < BLOCK_SIZE);
   if (!stream) {
      fprintf(stderr, "%s: no MPEG audio frame found\n", argv[1]);
      fclose(file);
      return 1;
   }
   printf("%d Hz, %s, layer %d, %d bit/s\n", almp3_get_wave_freq_mp3stream(stream),
          almp3_get_wave_is_stereo_mp3stream(stream) ? "stereo" : "mono",
          almp3_get_layer_mp3stream(stream), almp3_get_bitrate_mp3stream(stream));

   almp3_play_mp3stream(stream, STREAM_BUFFER_SIZE, 255, 128);
   do {
      void *buffer = almp3_get_mp3stream_buffer(stream);
      if (buffer) {
         /* -1: a whole block, more follow; 0..BLOCK_SIZE: the final block. */
         n = read_block(file, buffer);
         almp3_free_mp3stream_buffer(stream, n == BLOCK_SIZE ? -1 : n);
      }
      result = almp3_poll_mp3stream(stream);
      rest(1);
   } while (result == 0);

   almp3_destroy_mp3stream(stream);
   fclose(file);
   if (result != 1) {
      fprintf(stderr, "%s: playback failed (%d)\n", argv[1], result);
      return 1;
   }
   return 0;
}
END_OF_MAIN()
