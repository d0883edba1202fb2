// The program's title, shared by every window and text that names it.
#pragma once
#define APP_TITLE "Tavlin Media Player 1.1"
