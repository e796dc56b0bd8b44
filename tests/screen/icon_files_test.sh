#!/usr/bin/env bash
# The committed icon files (the window icon's XPM and the theme's PNGs) are
# what resources/make_icon_files.sh makes from the picture today: pixel for
# pixel the same, so a changed picture cannot ship with stale icons.
set -uo pipefail
resources=$(cd "$(dirname "$0")/../../resources" && pwd)
work=$(mktemp -d /tmp/icon_files_test.XXXXXX)
trap 'rm -rf "$work"' EXIT
bash "$resources/make_icon_files.sh" "$work" || exit 1
status=0
for file in mp3player_icon.xpm icons/48x48/mp3player.png icons/128x128/mp3player.png icons/256x256/mp3player.png; do
    # compare prints the number of differing pixels on stderr.
    differing=$(compare -metric AE "$resources/$file" "$work/$file" null: 2>&1)
    echo "$file: $differing pixels differ from what the picture makes"
    [ "$differing" = 0 ] || status=1
done
exit "$status"
