// The names bench_playlist and ui_ping meet by.
#pragma once
#define UI_PING_MEASURE "TavlinBenchPingMeasure"
#define UI_PING_QUIT "TavlinBenchPingQuit"
#define UI_PING_LONGEST "TavlinBenchPingLongest"
