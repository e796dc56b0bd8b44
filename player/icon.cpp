// The application icon on X11: the library reads the picture from its
// allegro_icon pointer (an XPM image) when it creates the window. The XPM is
// made from resources/mp3player.png by resources/make_icon_files.sh; on
// Windows the resource script carries the same picture.
#include "player.h"

#ifdef ALLEGRO_WITH_XWINDOWS
#include "mp3player_icon.xpm"

extern "C" void *allegro_icon;
#endif

void set_app_icon() {
#ifdef ALLEGRO_WITH_XWINDOWS
    allegro_icon = mp3player_icon;
#endif
}
