// Rectangle fills in the library's current drawing mode, with a fast path
// for the panels' case: translucent fills on 32-bit memory bitmaps.
#ifndef TRANSLUCENT_FILL_H
#define TRANSLUCENT_FILL_H

#include <allegro.h>

// Draws exactly what rectfill(bmp, x1, y1, x2, y2, color) draws. When the
// library is in translucent mode with its translucency blender, on a 32-bit
// memory bitmap, the blend is done here in a tight loop instead of through
// the library's per-pixel blender call; anything else goes to rectfill.
void translucent_rectfill(BITMAP *bmp, int x1, int y1, int x2, int y2, int color);

#endif
