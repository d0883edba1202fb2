// The program's title, shared by every window and text that names it.
#pragma once
#define APP_TITLE "Tavlin Media Player 1.1"
// The length the title clock is given for a live stream, which has none: it
// shows "live" in the length's place.
#define APP_LIVE_LENGTH (-1)
