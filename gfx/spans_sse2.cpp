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

#include "spans_impl.h"

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
