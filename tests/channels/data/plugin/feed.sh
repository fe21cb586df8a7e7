#!/bin/sh
# Test plug-in: writes a feed chosen by its channel parameters.
# Usage: feed.sh <request file>
REQ="$1"

# value SECTION KEY: the raw value of KEY in [SECTION] of the request file.
value() {
    sed -n "/^\[$1\]/,/^\[/ s/^$2=//p" "$REQ" | head -n 1
}

MODE=$(value ChannelParameters Mode)
TITLE=$(value ChannelParameters Title)
GREETING=$(value PluginParameters Greeting)

feed() {
    printf '<?xml version="1.0"?>\n<rss version="2.0"><channel><title>%s</title>' "$GREETING"
    printf '<link>http://127.0.0.1/</link><description>shell</description>'
    printf '<item><guid>%s</guid><title>%s</title><link>http://127.0.0.1/1</link></item>' "$TITLE" "$TITLE"
    printf '</channel></rss>\n'
}

case "$MODE" in
    ok) feed ;;
    error) feed; echo "went <wrong> & stopped" >&2 ;;
    fail) feed; exit 255 ;;
    silent) exit 0 ;;
    hang) echo started; sleep 60 ;;
    flood) yes '<item>flood</item>' ;;
    download) cat "$(value System DownloadUrlFile)" ;;
    *) echo "unknown mode: $MODE" >&2; exit 1 ;;
esac
