// The row routines four pixels at a time in SSE2, which every processor the
// player runs on has; and the choice of table for this processor.
#include <emmintrin.h>

#include "spans.h"

#define GFX_SPANS_NAMESPACE spans_sse2
namespace spans_sse2 {

struct V {
    typedef __m128i T;
    enum { N = 4 };
    static T load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void store(uint32_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static T set1(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static T zero() { return _mm_setzero_si128(); }
    static T and_(T a, T b) { return _mm_and_si128(a, b); }
    static T or_(T a, T b) { return _mm_or_si128(a, b); }
    static T add32(T a, T b) { return _mm_add_epi32(a, b); }
    static T srli32(T a, int k) { return _mm_srli_epi32(a, k); }
    static T slli32(T a, int k) { return _mm_slli_epi32(a, k); }
    static T add16(T a, T b) { return _mm_add_epi16(a, b); }
    static T sub16(T a, T b) { return _mm_sub_epi16(a, b); }
    static T slli16(T a, int k) { return _mm_slli_epi16(a, k); }
    static T srli16(T a, int k) { return _mm_srli_epi16(a, k); }
    static T mulhi16(T a, T b) { return _mm_mulhi_epi16(a, b); }
    static T mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
    static T min16(T a, T b) { return _mm_min_epi16(a, b); }
    static T adds_u8(T a, T b) { return _mm_adds_epu8(a, b); }
    static T cmpeq32(T a, T b) { return _mm_cmpeq_epi32(a, b); }
    static bool all(T m) { return _mm_movemask_epi8(m) == 0xFFFF; }
    static T unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
    static T unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
    static T unpacklo32(T a, T b) { return _mm_unpacklo_epi32(a, b); }
    static T unpackhi32(T a, T b) { return _mm_unpackhi_epi32(a, b); }
    static T packus16(T a, T b) { return _mm_packus_epi16(a, b); }
    static T unpacklo64(T a, T b) { return _mm_unpacklo_epi64(a, b); }
    static T unpackhi64(T a, T b) { return _mm_unpackhi_epi64(a, b); }
    // Words 0 and 2 of a, then of b.
    static T even32(T a, T b) {
        return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), 0x88));
    }
    // Two groups of 16-bit channels (half a group each) back to pixels in order.
    static T pack16(T a, T b) { return _mm_packus_epi16(a, b); }
    static T gather(const uint32_t* base, const int32_t* index) {
        return _mm_setr_epi32(static_cast<int>(base[index[0]]), static_cast<int>(base[index[1]]),
                              static_cast<int>(base[index[2]]), static_cast<int>(base[index[3]]));
    }
    // For the two columns at index[0..1]: top = (p00, p00', p01, p01'),
    // bottom = (p10, p10', p11, p11') from their quads of pairs.
    static void load_quads(const uint32_t* pairs, const int32_t* index, T* top, T* bottom) {
        T a = load(pairs + 2 * index[0]), b = load(pairs + 2 * index[1]);
        *top = _mm_unpacklo_epi32(a, b);
        *bottom = _mm_unpackhi_epi32(a, b);
    }
};

}  // namespace spans_sse2

#define GFX_SPANS_OWN_OVER
#include "spans_impl.h"

namespace spans_sse2 {

// The over blend, the commonest, has a routine of its own here: the shared
// one spends most of its SSE2 instructions unpacking and packing bytes.

// Four pixels, each channel s' + floor((d - s') w / 256), worked in 16-bit
// lanes as they lie: blue and red in the low bytes, green and T in the high
// ones. The low 16 bits of (d - s') w hold that floor modulo 256 in their
// high byte, and a result that fits in a byte needs nothing more.
inline T over4(T d, T s) {
    const T low = V::set1(0x00FF00FFu), high = V::set1(0xFF00FF00u), green = V::set1(0x0000FF00u);
    // T << 8 in both lanes of each pixel: the high half of its product with
    // 0x0102 is T + (T >> 7), the weight.
    T t = V::and_(_mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xF5), 0xF5), high);
    T w = _mm_mulhi_epu16(t, _mm_set1_epi16(0x0102));
    T s_low = V::and_(s, low);
    T p = V::mullo16(V::sub16(V::and_(d, low), s_low), w);
    T lows = V::and_(V::add16(V::srli16(p, 8), s_low), low);
    // s' has no T, so only its green counts: moved down for the difference
    // (the high half of a product with 256 in its lane and 0 in T's) and in
    // place for the sum.
    T s_green = V::and_(s, green);
    T q = V::mullo16(V::sub16(V::srli16(d, 8), _mm_mulhi_epu16(s, V::set1(0x100))), w);
    return V::or_(lows, V::and_(V::add16(q, s_green), high));
}

template <bool Keep>
void over_row(uint32_t* d, const uint32_t* s, int n, uint32_t keep) {
    const T zero = V::zero(), alpha = V::set1(ALPHA), keepv = V::set1(keep);
    int i = 0;
    for (; i + V::N <= n; i += V::N) {
        T sv = load(s + i);
        // Fully opaque and fully transparent groups skip the arithmetic; only
        // a group whose first T is 0 or 255 (T + 1 then wraps to 1 or 0) is
        // looked at whole.
        if (s[i] + 0x01000000u < 0x02000000u) {
            T t = V::and_(sv, alpha);
            if (V::all(V::cmpeq32(t, zero))) {
                store(d + i, sv);
                continue;
            }
            if (V::all(V::cmpeq32(t, alpha))) {
                if constexpr (Keep) store(d + i, V::and_(load(d + i), keepv));
                continue;
            }
        }
        T r = over4(load(d + i), sv);
        if constexpr (Keep) r = V::and_(r, keepv);
        store(d + i, r);
    }
    for (; i < n; i++) {
        uint32_t t = s[i] >> 24;
        d[i] = t == 0 ? s[i] : t == 255 ? d[i] & keep : px_over(d[i], s[i]) & keep;
    }
}

void span_over(uint32_t* d, const uint32_t* s, int n, int, int, uint32_t keep) {
    if (keep == 0xFFFFFFFFu) over_row<false>(d, s, n, keep);
    else over_row<true>(d, s, n, keep);
}

}  // namespace spans_sse2

const GfxSpans gfx_spans_sse2 = GFX_SPANS_TABLE("sse2");
const GfxSpans* gfx_active_spans = &gfx_spans_sse2;
static const bool g_widest_chosen = gfx_use_spans(gfx_spans_best());

int gfx_spans_best() {
#if defined(__i386__) || defined(__x86_64__)
    if (gfx_spans_avx2.name) {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2")) return GFX_SPANS_AVX2;
    }
#endif
    return GFX_SPANS_SSE2;
}

bool gfx_use_spans(int level) {
    if (level == GFX_SPANS_SSE2) gfx_active_spans = &gfx_spans_sse2;
    else if (level == GFX_SPANS_AVX2 && gfx_spans_best() == GFX_SPANS_AVX2) gfx_active_spans = &gfx_spans_avx2;
    else return false;
    return true;
}
