// Four motors side by side in one register of four doubles. Every lane runs
// exactly the scalar operations of the pulse generator (IEEE add, subtract,
// multiply, divide, compare and truncation are exactly rounded in vector form
// too, and no multiply-add is ever formed), so the words equal the portable
// kernel's bit for bit.
#include "sequencer/engine/timeline_row.h"

#include <array>
#include <cmath>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KINEMO_HAS_AVX2_KERNEL 1
#endif

namespace kinemo::engine {

#if KINEMO_HAS_AVX2_KERNEL

namespace {

#define KINEMO_AVX2 [[gnu::target("avx2"), gnu::always_inline]] inline

// Output word for each combination of on-lanes (bit m = motor m on).
using WordTable = std::array<std::uint8_t, 16>;

WordTable WordTableOf(const MovementPlan& plan) {
    WordTable table{};
    for (unsigned lanes = 0; lanes < table.size(); ++lanes) {
        std::uint32_t word = 0;
        for (int m = 0; m < kMotorCount; ++m) {
            if ((lanes >> m) & 1u) {
                word |= pulse::MotorPattern(plan.states[m], m);
            }
        }
        table[lanes] = static_cast<std::uint8_t>(word);
    }
    return table;
}

// What the pulse step needs of four ratios r.
struct PulseLanes {
    __m256d magnitude;         // n = |r|
    __m256d magnitudeLessOne;  // n - 1
    int notNegative;           // bit m set where r >= 0 (-0 included)
};

// ComputePulseRatio on four speeds already multiplied by 0.01. kClamp false
// skips the bounds where the caller knows x lies well inside them.
template <bool kClamp>
KINEMO_AVX2 PulseLanes PulseLanesOfFractions(__m256d x) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d signBit = _mm256_set1_pd(-0.0);
    if constexpr (kClamp) {
        // min/max equal the scalar clamps: speeds are never NaN, and where x
        // equals the bound both choices are the same value.
        x = _mm256_min_pd(x, _mm256_set1_pd(0.99999));
        x = _mm256_max_pd(x, _mm256_set1_pd(0.00001));
    }
    const __m256d above = _mm256_cmp_pd(x, _mm256_set1_pd(0.5), _CMP_GT_OQ);
    // One division serves both branches: 1 / (1 - x) above one half, 1 / x
    // below. Rounding is symmetric, so 2 - q is exactly -(q - 2).
    const __m256d quotient = _mm256_div_pd(one, _mm256_blendv_pd(x, _mm256_sub_pd(one, x), above));
    const __m256d r =
        _mm256_xor_pd(_mm256_sub_pd(quotient, _mm256_set1_pd(2.0)), _mm256_and_pd(above, signBit));
    // |r| * 100000 stays below 2^53, where truncation equals the 64-bit
    // integer round trip. A ratio truncated to -0 instead of +0 is harmless:
    // only its magnitude and comparisons are used.
    const __m256d scaled = _mm256_round_pd(_mm256_mul_pd(r, _mm256_set1_pd(100000.0)),
                                           _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d ratio = _mm256_mul_pd(scaled, _mm256_set1_pd(0.00001));
    PulseLanes lanes;
    lanes.magnitude = _mm256_andnot_pd(signBit, ratio);
    lanes.magnitudeLessOne = _mm256_sub_pd(lanes.magnitude, one);
    lanes.notNegative = _mm256_movemask_pd(_mm256_cmp_pd(ratio, _mm256_setzero_pd(), _CMP_GE_OQ));
    return lanes;
}

// One PulseStep for four motors; returns the on-lanes as bits 0..3.
KINEMO_AVX2 unsigned PulseStepLanes(__m256d magnitude, __m256d magnitudeLessOne, int notNegative,
                                    __m256d& accumulators) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d below = _mm256_cmp_pd(magnitudeLessOne, accumulators, _CMP_GE_OQ);
    const __m256d up = _mm256_add_pd(accumulators, one);
    const __m256d down = _mm256_sub_pd(_mm256_sub_pd(accumulators, magnitude), one);
    accumulators = _mm256_blendv_pd(down, up, below);
    // On where n - 1 >= a and r < 0, or where a > n - 1 and r >= 0.
    return static_cast<unsigned>(_mm256_movemask_pd(below) ^ notNegative);
}

[[gnu::target("avx2")]] void SteadyTicks(std::uint8_t* out, std::uint32_t count,
                                         const PulseLanes& lanes, __m256d& accumulators,
                                         const WordTable& table) {
    __m256d a = accumulators;
    for (std::uint32_t i = 0; i < count; ++i) {
        out[i] =
            table[PulseStepLanes(lanes.magnitude, lanes.magnitudeLessOne, lanes.notNegative, a)];
    }
    accumulators = a;
}

// The ramp with each lane's direction folded into its sign: a falling speed is
// kept negated, so both directions climb by adding the step and test against
// one bound (-(target + step) for a falling one). Negation is exact, so
// -c + s equals -(c - s) and (-c) * -0.01 equals c * 0.01.
struct RampLanes {
    __m256d signedSpeed;
    __m256d step;
    __m256d bound;     // -infinity for a lane that never moves
    __m256d fraction;  // 0.01 or -0.01, turning the signed speed into x
    bool needsClamp;   // some speed of the ramp may reach a clamp bound
};

[[gnu::target("avx2")]] RampLanes RampLanesOf(const MovementPlan& plan) {
    alignas(32) std::array<double, kMotorCount> signedSpeed{};
    alignas(32) std::array<double, kMotorCount> step{};
    alignas(32) std::array<double, kMotorCount> bound{};
    alignas(32) std::array<double, kMotorCount> fraction{};
    bool needsClamp = false;
    for (int m = 0; m < kMotorCount; ++m) {
        double start = plan.startSpeed[m];
        double target = plan.targetSpeed[m];
        const bool on = plan.states[m] != pulse::kMotorOff;
        if (!on) {
            // Contributes nothing: a harmless constant mid-range lane.
            start = 50.0;
            target = 50.0;
        }
        const bool rising = start < target;
        if (on && plan.accelDuration[m] != 0) {
            step[m] =
                (std::fabs(target - start) + 1.0) / static_cast<double>(plan.accelDuration[m]);
            bound[m] = rising ? target - step[m] : -(target + step[m]);
        } else {
            bound[m] = -std::numeric_limits<double>::infinity();
        }
        signedSpeed[m] = rising ? start : -start;
        fraction[m] = rising ? 0.01 : -0.01;
        // A ramp stays between its start and target (within one rounding); a
        // margin far above that keeps x clear of 0.00001 and 0.99999.
        const double low = std::fmin(start, target);
        const double high = std::fmax(start, target);
        needsClamp = needsClamp || !(low >= 0.002 && high <= 99.998);
    }
    RampLanes lanes;
    lanes.signedSpeed = _mm256_load_pd(signedSpeed.data());
    lanes.step = _mm256_load_pd(step.data());
    lanes.bound = _mm256_load_pd(bound.data());
    lanes.fraction = _mm256_load_pd(fraction.data());
    lanes.needsClamp = needsClamp;
    return lanes;
}

// Ratios are computed one block of ticks ahead of the pulse steps that use
// them: the long chain from a speed through its division to the accumulator
// then overlaps with the steps of the previous block instead of stalling them.
inline constexpr std::uint32_t kRampBlock = 32;

struct RampBlock {
    __m256d magnitude[kRampBlock];
    __m256d magnitudeLessOne[kRampBlock];
    int notNegative[kRampBlock];
};

// Computes the ratios of one tick into slot k and advances the speeds.
// Returns the lanes that moved.
template <bool kClamp>
KINEMO_AVX2 __m256d RampRatios(const RampLanes& ramp, __m256d& speed, RampBlock& block,
                               std::uint32_t k) {
    const PulseLanes lanes = PulseLanesOfFractions<kClamp>(_mm256_mul_pd(speed, ramp.fraction));
    block.magnitude[k] = lanes.magnitude;
    block.magnitudeLessOne[k] = lanes.magnitudeLessOne;
    block.notNegative[k] = lanes.notNegative;
    const __m256d moves = _mm256_cmp_pd(speed, ramp.bound, _CMP_LT_OQ);
    speed = _mm256_blendv_pd(speed, _mm256_add_pd(speed, ramp.step), moves);
    return moves;
}

KINEMO_AVX2 unsigned RampStep(const RampBlock& block, std::uint32_t k, __m256d& accumulators) {
    return PulseStepLanes(block.magnitude[k], block.magnitudeLessOne[k], block.notNegative[k],
                          accumulators);
}

// Writes up to `count` ramp ticks and returns how many it wrote. It stops
// early at the end of a block after which no speed moves any more, leaving in
// `steady` the ratios that hold from then on.
template <bool kClamp>
[[gnu::target("avx2")]] std::uint32_t RampTicks(std::uint8_t* out, std::uint32_t count,
                                                const RampLanes& ramp, __m256d& accumulators,
                                                PulseLanes& steady, const WordTable& table) {
    RampBlock blocks[2];
    __m256d speed = ramp.signedSpeed;
    __m256d a = accumulators;
    __m256d moves = _mm256_setzero_pd();
    for (std::uint32_t k = 0; k < kRampBlock; ++k) {
        moves = RampRatios<kClamp>(ramp, speed, blocks[0], k);
    }
    std::uint32_t i = 0;
    int current = 0;
    while (_mm256_movemask_pd(moves) != 0 && count - i > kRampBlock) {
        const RampBlock& ready = blocks[current];
        RampBlock& next = blocks[current ^ 1];
        for (std::uint32_t k = 0; k < kRampBlock; ++k) {
            moves = RampRatios<kClamp>(ramp, speed, next, k);
            out[i + k] = table[RampStep(ready, k, a)];
        }
        i += kRampBlock;
        current ^= 1;
    }
    // The last computed block: the end of the ramp, or the ramp stands still
    // from its last tick on.
    const RampBlock& last = blocks[current];
    const std::uint32_t tail = count - i < kRampBlock ? count - i : kRampBlock;
    for (std::uint32_t k = 0; k < tail; ++k) {
        out[i + k] = table[RampStep(last, k, a)];
    }
    accumulators = a;
    steady.magnitude = last.magnitude[kRampBlock - 1];
    steady.magnitudeLessOne = last.magnitudeLessOne[kRampBlock - 1];
    steady.notNegative = last.notNegative[kRampBlock - 1];
    return i + tail;
}

[[gnu::target("avx2")]] PulseLanes PulseLanesOfSpeeds(
    const std::array<double, kMotorCount>& speeds) {
    return PulseLanesOfFractions<true>(
        _mm256_mul_pd(_mm256_loadu_pd(speeds.data()), _mm256_set1_pd(0.01)));
}

}  // namespace

bool Avx2Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

[[gnu::target("avx2")]] void ComputeRowAvx2(const MovementPlan& plan, std::uint8_t* row) {
    const RowLayout layout = LayoutOfRow(plan);
    const WordTable table = WordTableOf(plan);
    __m256d accumulators = _mm256_setzero_pd();
    std::uint32_t position = 0;

    if (layout.rampTicks != 0) {
        const RampLanes ramp = RampLanesOf(plan);
        PulseLanes settled{};
        position =
            ramp.needsClamp
                ? RampTicks<true>(row, layout.rampTicks, ramp, accumulators, settled, table)
                : RampTicks<false>(row, layout.rampTicks, ramp, accumulators, settled, table);
        SteadyTicks(row + position, layout.rampTicks - position, settled, accumulators, table);
        position = layout.rampTicks;
    }
    const PulseLanes steady =
        PulseLanesOfSpeeds(layout.steadyAtTarget ? plan.targetSpeed : plan.startSpeed);
    SteadyTicks(row + position, layout.steadyTicks, steady, accumulators, table);
}

#else

bool Avx2Available() {
    return false;
}

void ComputeRowAvx2(const MovementPlan& plan, std::uint8_t* row) {
    ComputeRowPortable(plan, row);
}

#endif

}  // namespace kinemo::engine
