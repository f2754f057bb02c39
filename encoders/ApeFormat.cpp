#include "encoders/ApeFormat.h"

extern "C" {
#include <libavutil/crc.h>
}

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/Bytes.h"

namespace sv::ape {

bool IsValidLevel(int level) {
    return level == kLevelFast || level == kLevelNormal || level == kLevelHigh || level == kLevelExtraHigh ||
           level == kLevelInsane;
}

std::uint32_t BlocksPerFrame(int level) {
    if (level == kLevelExtraHigh) return 73728u * 4;
    if (level == kLevelInsane) return 73728u * 16;
    return 73728u;
}

int LevelFromSettingIndex(std::int32_t index) { return (std::clamp<std::int32_t>(index, 0, 4) + 1) * 1000; }

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count, std::uint32_t previous) {
    static const AVCRC* table = av_crc_get_table(AV_CRC_32_IEEE_LE);
    return av_crc(table, previous ^ 0xFFFFFFFFu, bytes, count) ^ 0xFFFFFFFFu;
}

namespace {

// ---------------------------------------------------------------- range coder

class RangeCoder {
public:
    explicit RangeCoder(std::vector<std::uint8_t>& out) : out_(out) {}

    void Freq(std::uint32_t width, std::uint32_t start) {
        Normalize();
        const std::uint32_t q = range_ >> 16;
        range_ = q * width;
        low_ += q * start;
    }
    void Bits(std::uint32_t value, int n) {
        Normalize();
        range_ >>= n;
        low_ += range_ * value;
    }
    void Uniform(std::uint32_t value, std::uint32_t total) {
        Normalize();
        const std::uint32_t q = range_ / total;
        range_ = q;
        low_ += q * value;
    }
    void Finish() {
        Normalize();
        const std::uint32_t t = (low_ >> 23) + 1;
        if (t > 0xFF) {
            Emit(pending_ + 1, 0x00);
        } else {
            Emit(pending_, 0xFF);
        }
        out_.push_back(std::uint8_t(t & 0xFF));
        out_.insert(out_.end(), 3, 0);
    }

private:
    static constexpr std::uint32_t kTop = 1u << 31;
    static constexpr std::uint32_t kBottom = 1u << 23;

    // The pending byte (its low 8 bits), then the deferred bytes as `fill`.
    void Emit(std::uint32_t pending, std::uint8_t fill) {
        out_.push_back(std::uint8_t(pending & 0xFF));
        out_.insert(out_.end(), deferred_, fill);
        deferred_ = 0;
    }
    void Normalize() {
        while (range_ <= kBottom) {
            if (low_ < 0x7F800000u) {
                Emit(pending_, 0xFF);
                pending_ = low_ >> 23;
            } else if (low_ >= kTop) {
                Emit(pending_ + 1, 0x00);
                pending_ = (low_ >> 23) & 0xFF;
            } else {
                ++deferred_;
            }
            low_ = (low_ << 8) & (kTop - 1);
            range_ <<= 8;
        }
    }

    std::vector<std::uint8_t>& out_;
    std::uint32_t low_ = 0;
    std::uint32_t range_ = kTop;
    std::uint32_t pending_ = 0;
    std::size_t deferred_ = 0;
};

// The overflow-symbol model: cumulative starts and widths out of 65536.
constexpr std::uint32_t kSymbolStart[21] = {0,     19578, 36160, 48417, 56323, 60899, 63265,
                                            64435, 64971, 65232, 65351, 65416, 65447, 65466,
                                            65476, 65482, 65485, 65488, 65490, 65491, 65492};
constexpr std::uint32_t kSymbolWidth[21] = {19578, 16582, 12257, 7906, 4576, 2366, 1170, 536, 261, 119, 65,
                                            31,    19,    10,    6,    3,    3,    2,    1,   1,   1};

// One channel's residual coder: its running sum K and the shared coder.
struct ResidualCoder {
    std::uint32_t k = 16384;

    void Code(RangeCoder& rc, std::int32_t r) {
        const std::uint32_t u =
            r > 0 ? std::uint32_t(r) * 2u - 1u : std::uint32_t(0) - std::uint32_t(r) * 2u;
        const std::uint32_t pivot = std::max<std::uint32_t>(1, k >> 5);
        const std::uint32_t q = u / pivot;
        const std::uint32_t m = u - q * pivot;
        k = k + (u + 1) / 2 - ((k + 16) >> 5);
        if (q < 21) {
            rc.Freq(kSymbolWidth[q], kSymbolStart[q]);
        } else if (q < 63) {
            rc.Freq(1, 65472 + q);
        } else {
            rc.Freq(1, 65535);
            rc.Bits(q >> 16, 16);
            rc.Bits(q & 0xFFFF, 16);
        }
        if (pivot < 65536) {
            rc.Uniform(m, pivot);
        } else {
            int bits = 0;
            for (std::uint32_t p = pivot; p; p >>= 1) ++bits;
            const int s = bits - 16;
            rc.Uniform(m >> s, (pivot >> s) + 1);
            rc.Uniform(m & ((1u << s) - 1), 1u << s);
        }
    }
};

inline std::int32_t Sign(std::int32_t v) { return (v > 0) - (v < 0); }
inline std::int32_t Wrap32(std::int64_t v) { return std::int32_t(std::uint32_t(std::uint64_t(v))); }

// Dot product of int16 vectors, wrapping at 32 bits.
inline std::int32_t Dot16(const std::int16_t* w, const std::int16_t* h, std::size_t n) {
#if defined(__SSE2__)
    __m128i acc0 = _mm_setzero_si128();
    __m128i acc1 = _mm_setzero_si128();
    std::size_t j = 0;
    for (; j + 16 <= n; j += 16) {
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + j));
        const __m128i h0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + j));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + j + 8));
        const __m128i h1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + j + 8));
        acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(w0, h0));
        acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(w1, h1));
    }
    acc0 = _mm_add_epi32(acc0, acc1);
    acc0 = _mm_add_epi32(acc0, _mm_shuffle_epi32(acc0, _MM_SHUFFLE(1, 0, 3, 2)));
    acc0 = _mm_add_epi32(acc0, _mm_shuffle_epi32(acc0, _MM_SHUFFLE(2, 3, 0, 1)));
    std::uint32_t sum = std::uint32_t(_mm_cvtsi128_si32(acc0));
    for (; j < n; ++j) sum += std::uint32_t(std::int32_t(w[j]) * std::int32_t(h[j]));
    return std::int32_t(sum);
#else
    std::uint32_t sum = 0;
    for (std::size_t j = 0; j < n; ++j) sum += std::uint32_t(std::int32_t(w[j]) * std::int32_t(h[j]));
    return std::int32_t(sum);
#endif
}

// w[j] += d[j] (kAdd) or w[j] -= d[j], wrapping at 16 bits.
template <bool kAdd>
inline void Adapt16(std::int16_t* w, const std::int16_t* d, std::size_t n) {
    std::size_t j = 0;
#if defined(__SSE2__)
    for (; j + 8 <= n; j += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + j));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + j));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(w + j), kAdd ? _mm_add_epi16(a, b) : _mm_sub_epi16(a, b));
    }
#endif
    for (; j < n; ++j) w[j] = std::int16_t(kAdd ? w[j] + d[j] : w[j] - d[j]);
}

// The NN chains, first applied first: (order, shift).
struct FilterSpec {
    int order;
    int shift;
};
std::vector<FilterSpec> FiltersOf(int level) {
    switch (level) {
        case kLevelNormal: return {{16, 11}};
        case kLevelHigh: return {{64, 11}};
        case kLevelExtraHigh: return {{256, 13}, {32, 10}};
        case kLevelInsane: return {{1280, 15}, {256, 13}, {16, 11}};
        default: return {};
    }
}

}  // namespace

// ------------------------------------------------------------------ NN filter

ApeNNFilter::ApeNNFilter(int order, int shift)
    : order_(order),
      shift_(shift),
      weights_(std::size_t(order)),
      input_(std::size_t(order) + kWindow),
      delta_(std::size_t(order) + kWindow) {
    Reset();
}

void ApeNNFilter::Reset() {
    std::fill(weights_.begin(), weights_.end(), 0);
    std::fill(input_.begin(), input_.end(), 0);
    std::fill(delta_.begin(), delta_.end(), 0);
    pos_ = std::size_t(order_);
    avg_ = 0;
}

void ApeNNFilter::Apply(std::int32_t* data, std::size_t count, bool& roundingDiffers) {
    const std::size_t n = std::size_t(order_);
    const std::int64_t round = std::int64_t(1) << (shift_ - 1);
    constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
    bool differs = false;
    std::int16_t* const w = weights_.data();
    for (std::size_t i = 0; i < count; ++i) {
        if (pos_ == n + kWindow) {
            std::memmove(input_.data(), input_.data() + kWindow, n * sizeof(std::int16_t));
            std::memmove(delta_.data(), delta_.data() + kWindow, n * sizeof(std::int16_t));
            pos_ = n;
        }
        std::int16_t* const h = input_.data() + pos_;
        std::int16_t* const d = delta_.data() + pos_;
        const std::int32_t x = data[i];
        const std::int64_t rounded = std::int64_t(Dot16(w, h - n, n)) + round;
        differs = differs || rounded > kMax32;
        const std::int32_t y = Wrap32(std::int64_t(x) - (rounded >> shift_));
        if (y > 0)
            Adapt16<false>(w, d - n, n);
        else if (y < 0)
            Adapt16<true>(w, d - n, n);
        h[0] = std::int16_t(std::clamp<std::int32_t>(x, -32768, 32767));
        const std::int64_t ax = x < 0 ? -std::int64_t(x) : std::int64_t(x);
        if (x == 0) {
            d[0] = 0;
        } else {
            const std::int64_t avg = avg_;
            const int step = ax > 3 * avg ? 32 : ax > (4 * avg) / 3 ? 16 : 8;
            d[0] = std::int16_t(x > 0 ? -step : step);
        }
        avg_ = std::int32_t(avg_ + (ax - avg_) / 16);
        d[-1] = std::int16_t(d[-1] >> 1);
        d[-2] = std::int16_t(d[-2] >> 1);
        d[-8] = std::int16_t(d[-8] >> 1);
        ++pos_;
        data[i] = y;
    }
    roundingDiffers = roundingDiffers || differs;
}

// -------------------------------------------------------------- frame encoder

ApeFrameEncoder::ApeFrameEncoder(int level) : level_(IsValidLevel(level) ? level : kLevelNormal) {
    for (const FilterSpec& f : FiltersOf(level_)) {
        filtersX_.emplace_back(f.order, f.shift);
        filtersY_.emplace_back(f.order, f.shift);
    }
}

void ApeFrameEncoder::Predict(const std::int32_t* a, const std::int32_t* b, std::size_t count, std::int32_t* e,
                              bool checkWide, bool& wideDiffers) {
    // History: sA(t-1..t-4), sB(t-1..t-4), the previous raw a and b.
    std::int32_t ha[4] = {0, 0, 0, 0};
    std::int32_t hb[4] = {0, 0, 0, 0};
    auto push = [](std::int32_t(&h)[4], std::int32_t v) {
        h[3] = h[2];
        h[2] = h[1];
        h[1] = h[0];
        h[0] = v;
    };
    std::int32_t aPrev = 0, bPrev = 0;
    std::int32_t A[4] = {360, 317, -109, 98};
    std::int32_t B[5] = {0, 0, 0, 0, 0};
    bool differs = false;
    for (std::size_t t = 0; t < count; ++t) {
        const std::int32_t sa = Wrap32(std::int64_t(a[t]) - ((31 * std::int64_t(aPrev)) >> 5));
        aPrev = a[t];
        const std::int32_t ai[4] = {ha[0], Wrap32(std::int64_t(ha[0]) - ha[1]), Wrap32(std::int64_t(ha[1]) - ha[2]),
                                    Wrap32(std::int64_t(ha[2]) - ha[3])};
        std::int64_t pa = 0;
        for (int i = 0; i < 4; ++i) pa += std::int64_t(A[i]) * ai[i];
        std::int32_t e32;
        if (b) {
            const std::int32_t sb = Wrap32(std::int64_t(b[t]) - ((31 * std::int64_t(bPrev)) >> 5));
            bPrev = b[t];
            const std::int32_t bj[5] = {sb, Wrap32(std::int64_t(sb) - hb[0]), Wrap32(std::int64_t(hb[0]) - hb[1]),
                                        Wrap32(std::int64_t(hb[1]) - hb[2]), Wrap32(std::int64_t(hb[2]) - hb[3])};
            std::int64_t pb = 0;
            for (int j = 0; j < 5; ++j) pb += std::int64_t(B[j]) * bj[j];
            const std::int32_t sum32 = Wrap32(std::int64_t(Wrap32(pa)) + (Wrap32(pb) >> 1));
            if (checkWide && std::int64_t(sum32) != pa + (pb >> 1)) differs = true;
            e32 = Wrap32(std::int64_t(sa) - (sum32 >> 10));
            const std::int32_t se = Sign(e32);
            for (int j = 0; j < 5; ++j) B[j] += se * Sign(bj[j]);
            push(hb, sb);
        } else {
            e32 = Wrap32(std::int64_t(sa) - (Wrap32(pa) >> 10));
        }
        const std::int32_t se = Sign(e32);
        for (int i = 0; i < 4; ++i) A[i] += se * Sign(ai[i]);
        push(ha, sa);
        e[t] = e32;
    }
    wideDiffers = wideDiffers || differs;
}

void ApeFrameEncoder::Filter(std::vector<ApeNNFilter>& chain, std::int32_t* e, std::size_t count,
                             bool& roundingDiffers) {
    for (ApeNNFilter& f : chain) {
        f.Reset();
        f.Apply(e, count, roundingDiffers);
    }
}

ApeVariantChecks ApeFrameEncoder::Encode(const std::uint8_t* pcm, std::uint32_t blocks, int channels,
                                         std::vector<std::uint8_t>& out) {
    ApeVariantChecks checks;
    const std::size_t n = blocks;
    const std::size_t bytes = n * std::size_t(channels) * 2;
    const std::uint32_t crc = Crc32(pcm, bytes);

    // Flags, and the channels as the predictor takes them.
    std::uint32_t flags = 0;
    x_.resize(n);
    bool stereoCoding = false;
    if (channels == 2) {
        y_.resize(n);
        bool lZero = true, rZero = true, same = true;
        for (std::size_t t = 0; t < n; ++t) {
            const std::int32_t l = LoadLE<std::int16_t>(pcm + 4 * t);
            const std::int32_t r = LoadLE<std::int16_t>(pcm + 4 * t + 2);
            lZero = lZero && l == 0;
            rZero = rZero && r == 0;
            same = same && l == r;
            const std::int32_t y = r - l;
            y_[t] = y;
            x_[t] = l + y / 2;
        }
        flags = (rZero ? 1u : 0u) | (lZero ? 2u : 0u) | (same ? 4u : 0u);
        stereoCoding = (flags & 4) == 0;
    } else {
        bool zero = true;
        for (std::size_t t = 0; t < n; ++t) {
            const std::int32_t s = LoadLE<std::int16_t>(pcm + 2 * t);
            zero = zero && s == 0;
            x_[t] = s;
        }
        flags = zero ? 1u : 0u;
    }
    const bool silent = channels == 2 ? (flags & 3) == 3 : flags == 1;

    std::uint8_t word[4];
    StoreBE<std::uint32_t>(word, (crc >> 1) | (flags ? 0x80000000u : 0u));
    out.insert(out.end(), word, word + 4);
    if (flags) {
        StoreBE<std::uint32_t>(word, flags);
        out.insert(out.end(), word, word + 4);
    }

    RangeCoder rc(out);
    if (!silent) {
        ex_.resize(n);
        if (stereoCoding) {
            // Y's b is the previous block's X; X's b is the current Y.
            xPrev_.resize(n);
            xPrev_[0] = 0;
            std::copy(x_.begin(), x_.begin() + std::ptrdiff_t(n - 1), xPrev_.begin() + 1);
            ey_.resize(n);
            const bool wide = level_ == kLevelInsane;
            Predict(y_.data(), xPrev_.data(), n, ey_.data(), wide, checks.stage2);
            Predict(x_.data(), y_.data(), n, ex_.data(), wide, checks.stage2);
            Filter(filtersY_, ey_.data(), n, checks.nnRounding);
            Filter(filtersX_, ex_.data(), n, checks.nnRounding);
            ResidualCoder cy, cx;
            for (std::size_t t = 0; t < n; ++t) {
                cy.Code(rc, ey_[t]);
                cx.Code(rc, ex_[t]);
            }
        } else {
            Predict(x_.data(), nullptr, n, ex_.data(), false, checks.stage2);
            Filter(filtersX_, ex_.data(), n, checks.nnRounding);
            ResidualCoder cx;
            for (std::size_t t = 0; t < n; ++t) cx.Code(rc, ex_[t]);
        }
    }
    rc.Finish();
    return checks;
}

// --------------------------------------------------------------- file pieces

void ApeWordSwapper::Add(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& out) {
    streamBytes_ += count;
    std::size_t i = 0;
    while (pendingCount_ != 0 && i < count) {
        pending_[pendingCount_++] = bytes[i++];
        if (pendingCount_ == 4) {
            out.insert(out.end(), {pending_[3], pending_[2], pending_[1], pending_[0]});
            pendingCount_ = 0;
        }
    }
    const std::size_t words = (count - i) / 4;
    const std::size_t at = out.size();
    out.resize(at + words * 4);
    std::uint8_t* dst = out.data() + at;
    for (std::size_t g = 0; g < words; ++g, i += 4, dst += 4) {
        dst[0] = bytes[i + 3];
        dst[1] = bytes[i + 2];
        dst[2] = bytes[i + 1];
        dst[3] = bytes[i];
    }
    while (i < count) pending_[pendingCount_++] = bytes[i++];
}

void ApeWordSwapper::Finish(std::vector<std::uint8_t>& out) {
    for (std::size_t j = pendingCount_; j < 4; ++j) pending_[j] = 0;
    out.insert(out.end(), {pending_[3], pending_[2], pending_[1], pending_[0]});
    pendingCount_ = 0;
}

std::array<std::uint8_t, kFixedBytes> BuildApeHeader(const ApeHeaderFields& f) {
    std::array<std::uint8_t, kFixedBytes> h{};
    std::uint8_t* p = h.data();
    std::memcpy(p, "MAC ", 4);
    StoreLE<std::uint16_t>(p + 4, kFileVersion);
    StoreLE<std::uint32_t>(p + 8, kDescriptorBytes);
    StoreLE<std::uint32_t>(p + 12, kHeaderBytes);
    StoreLE<std::uint32_t>(p + 16, f.seekTableBytes);
    StoreLE<std::uint32_t>(p + 20, 0);  // no WAV header stored
    StoreLE<std::uint32_t>(p + 24, std::uint32_t(f.frameDataBytes & 0xFFFFFFFFu));
    StoreLE<std::uint32_t>(p + 28, std::uint32_t(f.frameDataBytes >> 32));
    StoreLE<std::uint32_t>(p + 32, 0);  // no terminating data
    std::memcpy(p + 36, f.md5.data(), 16);
    StoreLE<std::uint16_t>(p + 52, std::uint16_t(f.level));
    StoreLE<std::uint16_t>(p + 54, kFlagCreateWavHeader);
    StoreLE<std::uint32_t>(p + 56, f.blocksPerFrame);
    StoreLE<std::uint32_t>(p + 60, f.finalFrameBlocks);
    StoreLE<std::uint32_t>(p + 64, f.totalFrames);
    StoreLE<std::uint16_t>(p + 68, 16);
    StoreLE<std::uint16_t>(p + 70, std::uint16_t(f.channels));
    StoreLE<std::uint32_t>(p + 72, f.sampleRate);
    return h;
}

std::vector<std::uint8_t> BuildApeTag(const std::vector<std::pair<std::string, std::string>>& items) {
    std::vector<std::uint8_t> body;
    std::uint32_t count = 0;
    for (const auto& [key, value] : items) {
        if (value.empty() || key.empty()) continue;
        std::uint8_t head[8];
        StoreLE<std::uint32_t>(head, std::uint32_t(value.size()));
        StoreLE<std::uint32_t>(head + 4, 0);  // UTF-8 text
        body.insert(body.end(), head, head + 8);
        body.insert(body.end(), key.begin(), key.end());
        body.push_back(0);
        body.insert(body.end(), value.begin(), value.end());
        ++count;
    }
    if (count == 0) return {};
    auto block = [&](std::uint32_t flags) {
        std::vector<std::uint8_t> b(32, 0);
        std::memcpy(b.data(), "APETAGEX", 8);
        StoreLE<std::uint32_t>(b.data() + 8, 2000);
        StoreLE<std::uint32_t>(b.data() + 12, std::uint32_t(body.size() + 32));
        StoreLE<std::uint32_t>(b.data() + 16, count);
        StoreLE<std::uint32_t>(b.data() + 20, flags);
        return b;
    };
    std::vector<std::uint8_t> tag = block(0xA0000000u);
    tag.insert(tag.end(), body.begin(), body.end());
    const auto footer = block(0x80000000u);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

}  // namespace sv::ape
