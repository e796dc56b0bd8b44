#!/bin/bash
# Usage: comment_gutter.sh HEADER
# Fails when a line inside a block comment that opens on a line of its own
# ("/*" or "/**" alone) does not start with " *", as happens when an editor
# or a script breaks a line in the middle of the text. Short comments that
# begin with their text on the opening line may wrap without the gutter.
set -euo pipefail

header=$1
awk '
    inside && $0 !~ /^ \*/ { printf "%s:%d: outside the comment gutter: %s\n", FILENAME, NR, $0; bad = 1 }
    inside && /\*\// { inside = 0; next }
    /^[ \t]*\/\*\*?[ \t]*$/ { inside = 1 }
    END { exit bad }
' "$header"
