// Timing shared by the benchmark programs: a high-resolution clock and the
// best time of an operation over several batches of at least 50 ms.
#pragma once
#include <windows.h>

inline double now_seconds() {
    static LARGE_INTEGER freq;
    if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / freq.QuadPart;
}

template <class F>
double best_seconds(F op) {
    double best = 1e30;
    for (int batch = 0; batch < 7; batch++) {
        int n = 0;
        double start = now_seconds(), t;
        do {
            op();
            n++;
            t = now_seconds() - start;
        } while (t < 0.05);
        if (t / n < best) best = t / n;
    }
    return best;
}
