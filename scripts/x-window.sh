# Sourced by the scripts that run vadrel's window under a virtual X server.

# The id of the top-level window with exactly this caption, or nothing.
window_with_caption() {
    xwininfo -root -tree 2>/dev/null | awk -v c="\"$1\":" 'index($0, c) { print $1; exit }'
}
