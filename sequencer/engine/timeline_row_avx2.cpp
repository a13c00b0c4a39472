// Four motors side by side in one register of four doubles. Every lane runs
// exactly the scalar operations of the pulse generator (IEEE add, subtract,
// multiply, divide, compare and truncation are exactly rounded in vector form
// too, and no multiply-add is ever formed), so the words equal the portable
// kernel's bit for bit.
#include "sequencer/engine/timeline_row.h"

#include <array>
#include <bit>
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
    __m256d magnitude;    // n = |r|
    __m256d notNegative;  // all bits set where r >= 0
};

// The largest x (a speed times 0.01) whose pulse ratio is not negative: above
// one half the ratio is negative unless its truncation leaves 0, and the
// truncated magnitude grows with x, so a bisection over the doubles between
// 0.5 and 0.51 (ordered like their bit patterns) finds the last one.
double LargestFractionWithoutNegativeRatio() {
    const auto truncatesToZero = [](double x) {
        return std::trunc((1.0 / (1.0 - x) - 2.0) * 100000.0) == 0.0;
    };
    std::uint64_t low = std::bit_cast<std::uint64_t>(0.5);    // ratio 0
    std::uint64_t high = std::bit_cast<std::uint64_t>(0.51);  // ratio about -0.04
    while (high - low > 1) {
        const std::uint64_t middle = low + (high - low) / 2;
        (truncatesToZero(std::bit_cast<double>(middle)) ? low : high) = middle;
    }
    return std::bit_cast<double>(low);
}

double FractionLimitOfNonNegativeRatios() {
    static const double limit = LargestFractionWithoutNegativeRatio();
    return limit;
}

// ComputePulseRatio on four speeds already multiplied by 0.01, delivered as
// the magnitude and sign the pulse step needs. kClamp false skips the bounds
// where the caller knows x lies well inside them.
//
// The sign never enters the arithmetic. Above one half the ratio is
// 2 - 1 / (1 - x), where 1 - x is exact (x in [0.5, 1]) and below x, and
// rounding is symmetric, so it is exactly -(1 / (1 - x) - 2); below one half
// it is 1 / x - 2 with x <= 1 - x. Hence |r| = 1 / min(x, 1 - x) - 2 before
// the truncation, which is symmetric as well. r >= 0 below one half, and
// above it only where the truncation leaves 0; |r| grows with x there, so that
// is exactly x <= LargestFractionWithoutNegativeRatio().
template <bool kClamp>
KINEMO_AVX2 PulseLanes PulseLanesOfFractions(__m256d x, __m256d lastNotNegative) {
    const __m256d one = _mm256_set1_pd(1.0);
    if constexpr (kClamp) {
        // min/max equal the scalar clamps: speeds are never NaN, and where x
        // equals the bound both choices are the same value.
        x = _mm256_min_pd(x, _mm256_set1_pd(0.99999));
        x = _mm256_max_pd(x, _mm256_set1_pd(0.00001));
    }
    const __m256d complement = _mm256_sub_pd(one, x);
    const __m256d quotient = _mm256_div_pd(one, _mm256_min_pd(x, complement));
    // |r| * 100000 stays below 2^53, where truncation equals the 64-bit
    // integer round trip.
    const __m256d scaled = _mm256_round_pd(
        _mm256_mul_pd(_mm256_sub_pd(quotient, _mm256_set1_pd(2.0)), _mm256_set1_pd(100000.0)),
        _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    PulseLanes lanes;
    lanes.magnitude = _mm256_mul_pd(scaled, _mm256_set1_pd(0.00001));
    lanes.notNegative = _mm256_cmp_pd(x, lastNotNegative, _CMP_LE_OQ);
    return lanes;
}

// One PulseStep for four motors; returns the on-lanes as bits 0..3.
KINEMO_AVX2 unsigned PulseStepLanes(__m256d magnitude, __m256d notNegative, __m256d& accumulators) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d below = _mm256_cmp_pd(_mm256_sub_pd(magnitude, one), accumulators, _CMP_GE_OQ);
    const __m256d up = _mm256_add_pd(accumulators, one);
    const __m256d down = _mm256_sub_pd(_mm256_sub_pd(accumulators, magnitude), one);
    accumulators = _mm256_blendv_pd(down, up, below);
    // On where n - 1 >= a and r < 0, or where a > n - 1 and r >= 0.
    return static_cast<unsigned>(_mm256_movemask_pd(_mm256_xor_pd(below, notNegative)));
}

// The ramp with each lane's direction folded into its sign: a falling speed is
// kept negated, so both directions climb by adding the step and test against
// one bound (-(target + step) for a falling one). Negation is exact, so
// -c + s equals -(c - s) and (-c) * -0.01 equals c * 0.01.
struct RampLanes {
    __m256d signedSpeed;
    __m256d step;
    __m256d bound;            // -infinity for a lane that never moves
    __m256d fraction;         // 0.01 or -0.01, turning the signed speed into x
    __m256d lastNotNegative;  // FractionLimitOfNonNegativeRatios() in every lane
    bool needsClamp;          // some speed of the ramp may reach a clamp bound
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
    lanes.lastNotNegative = _mm256_set1_pd(FractionLimitOfNonNegativeRatios());
    lanes.needsClamp = needsClamp;
    return lanes;
}

// Ratios are computed one block of ticks ahead of the pulse steps that use
// them: the long chain from a speed through its division to the accumulator
// then overlaps with the steps of the previous block instead of stalling them.
inline constexpr std::uint32_t kRampBlock = 32;

struct RampBlock {
    __m256d magnitude[kRampBlock];
    __m256d notNegative[kRampBlock];
};

// Computes the ratios of one tick into slot k and advances the speeds.
// Returns the lanes that moved.
template <bool kClamp>
KINEMO_AVX2 __m256d RampRatios(const RampLanes& ramp, __m256d& speed, RampBlock& block,
                               std::uint32_t k) {
    const PulseLanes lanes =
        PulseLanesOfFractions<kClamp>(_mm256_mul_pd(speed, ramp.fraction), ramp.lastNotNegative);
    block.magnitude[k] = lanes.magnitude;
    block.notNegative[k] = lanes.notNegative;
    const __m256d moves = _mm256_cmp_pd(speed, ramp.bound, _CMP_LT_OQ);
    speed = _mm256_blendv_pd(speed, _mm256_add_pd(speed, ramp.step), moves);
    return moves;
}

KINEMO_AVX2 unsigned RampStep(const RampBlock& block, std::uint32_t k, __m256d& accumulators) {
    return PulseStepLanes(block.magnitude[k], block.notNegative[k], accumulators);
}

[[gnu::target("avx2")]] PulseLanes PulseLanesOfSpeeds(
    const std::array<double, kMotorCount>& speeds) {
    return PulseLanesOfFractions<true>(
        _mm256_mul_pd(_mm256_loadu_pd(speeds.data()), _mm256_set1_pd(0.01)),
        _mm256_set1_pd(FractionLimitOfNonNegativeRatios()));
}

// One row being written, a block of kRampBlock ticks at a time: the block
// `ready` holds the lanes of the ticks written next, the other block is filled
// meanwhile with the lanes of the block after.
struct RowCursor {
    std::uint8_t* out = nullptr;
    std::uint32_t total = 0;      // ticks the row receives
    std::uint32_t rampTicks = 0;  // the first of them follow the ramp
    std::uint32_t emitted = 0;    // ticks written
    RampLanes ramp{};
    __m256d speed{};
    bool moving = false;  // some speed of the ramp still moves
    PulseLanes frozen{};  // ramp ticks once no speed moves any more
    PulseLanes steady{};  // ticks after the ramp
    __m256d accumulators{};
    WordTable table{};
    RampBlock blocks[2];
    bool steadyFilled[2] = {false, false};  // block holds nothing but `steady`
    int ready = 0;
};

enum class Fill {
    kDone,         // the next block is filled already
    kRamp,         // the next block lies inside a moving ramp: compute while writing
    kRampClamped,  // the same, for a ramp whose speeds may reach a clamp bound
};

KINEMO_AVX2 void StoreLanes(RampBlock& block, std::uint32_t k, const PulseLanes& lanes) {
    block.magnitude[k] = lanes.magnitude;
    block.notNegative[k] = lanes.notNegative;
}

KINEMO_AVX2 PulseLanes LoadLanes(const RampBlock& block, std::uint32_t k) {
    return PulseLanes{block.magnitude[k], block.notNegative[k]};
}

// Fills block `index` with the lanes of ticks start..start+kRampBlock-1 one by
// one, for blocks where the ramp ends, stops moving or is over.
[[gnu::target("avx2")]] void FillBlock(RowCursor& row, int index, std::uint32_t start) {
    RampBlock& block = row.blocks[index];
    if (start >= row.rampTicks) {
        if (!row.steadyFilled[index]) {
            for (std::uint32_t k = 0; k < kRampBlock; ++k) {
                StoreLanes(block, k, row.steady);
            }
            row.steadyFilled[index] = true;
        }
        return;
    }
    row.steadyFilled[index] = false;
    for (std::uint32_t k = 0; k < kRampBlock; ++k) {
        if (start + k >= row.rampTicks) {
            StoreLanes(block, k, row.steady);
        } else if (row.moving) {
            const __m256d moves = RampRatios<true>(row.ramp, row.speed, block, k);
            if (_mm256_movemask_pd(moves) == 0) {
                // From here on every speed stands still.
                row.moving = false;
                row.frozen = LoadLanes(block, k);
            }
        } else {
            StoreLanes(block, k, row.frozen);
        }
    }
}

// Readies the block after `ready` (ticks emitted + kRampBlock onwards), or
// leaves it to the writing loop when it lies wholly inside a moving ramp.
[[gnu::target("avx2")]] Fill PrepareNextBlock(RowCursor& row) {
    const std::uint32_t start = row.emitted + kRampBlock;
    const int next = row.ready ^ 1;
    if (row.moving && start + kRampBlock <= row.rampTicks) {
        row.steadyFilled[next] = false;
        return row.ramp.needsClamp ? Fill::kRampClamped : Fill::kRamp;
    }
    FillBlock(row, next, start);
    return Fill::kDone;
}

template <Fill kFill>
KINEMO_AVX2 __m256d FillSlot(const RampLanes& ramp, __m256d& speed, RampBlock& next,
                             std::uint32_t k) {
    if constexpr (kFill == Fill::kDone) {
        return _mm256_setzero_pd();
    } else {
        return RampRatios<kFill == Fill::kRampClamped>(ramp, speed, next, k);
    }
}

template <Fill kFill>
KINEMO_AVX2 void FinishBlock(RowCursor& row, __m256d speed, __m256d lastMoves) {
    if constexpr (kFill != Fill::kDone) {
        row.speed = speed;
        if (_mm256_movemask_pd(lastMoves) == 0) {
            row.moving = false;
            row.frozen = LoadLanes(row.blocks[row.ready ^ 1], kRampBlock - 1);
        }
    }
    row.emitted += kRampBlock;
    row.ready ^= 1;
}

// Writes the ready block of one row while filling its next one.
template <Fill kFill>
[[gnu::target("avx2")]] void WriteBlock(RowCursor& row) {
    // Locals the byte stores cannot alias, so they stay in registers.
    const RampLanes ramp = row.ramp;
    const WordTable table = row.table;
    const RampBlock& ready = row.blocks[row.ready];
    RampBlock& next = row.blocks[row.ready ^ 1];
    std::uint8_t* out = row.out + row.emitted;
    __m256d speed = row.speed;
    __m256d a = row.accumulators;
    __m256d moves = _mm256_setzero_pd();
    for (std::uint32_t k = 0; k < kRampBlock; ++k) {
        moves = FillSlot<kFill>(ramp, speed, next, k);
        out[k] = table[RampStep(ready, k, a)];
    }
    row.accumulators = a;
    FinishBlock<kFill>(row, speed, moves);
}

// The same for two rows in lockstep: their accumulator chains are independent,
// so each hides the other's latency.
template <Fill kFill0, Fill kFill1>
[[gnu::target("avx2")]] void WriteBlockPair(RowCursor& row0, RowCursor& row1) {
    // Locals the byte stores cannot alias, so they stay in registers.
    const RampLanes ramp0 = row0.ramp;
    const RampLanes ramp1 = row1.ramp;
    const WordTable table0 = row0.table;
    const WordTable table1 = row1.table;
    const RampBlock& ready0 = row0.blocks[row0.ready];
    const RampBlock& ready1 = row1.blocks[row1.ready];
    RampBlock& next0 = row0.blocks[row0.ready ^ 1];
    RampBlock& next1 = row1.blocks[row1.ready ^ 1];
    std::uint8_t* out0 = row0.out + row0.emitted;
    std::uint8_t* out1 = row1.out + row1.emitted;
    __m256d speed0 = row0.speed;
    __m256d speed1 = row1.speed;
    __m256d a0 = row0.accumulators;
    __m256d a1 = row1.accumulators;
    __m256d moves0 = _mm256_setzero_pd();
    __m256d moves1 = _mm256_setzero_pd();
    for (std::uint32_t k = 0; k < kRampBlock; ++k) {
        moves0 = FillSlot<kFill0>(ramp0, speed0, next0, k);
        moves1 = FillSlot<kFill1>(ramp1, speed1, next1, k);
        out0[k] = table0[RampStep(ready0, k, a0)];
        out1[k] = table1[RampStep(ready1, k, a1)];
    }
    row0.accumulators = a0;
    row1.accumulators = a1;
    FinishBlock<kFill0>(row0, speed0, moves0);
    FinishBlock<kFill1>(row1, speed1, moves1);
}

[[gnu::target("avx2")]] void WriteBlockOf(RowCursor& row, Fill fill) {
    switch (fill) {
        case Fill::kDone:
            return WriteBlock<Fill::kDone>(row);
        case Fill::kRamp:
            return WriteBlock<Fill::kRamp>(row);
        case Fill::kRampClamped:
            return WriteBlock<Fill::kRampClamped>(row);
    }
}

template <Fill kFill0>
[[gnu::target("avx2")]] void WriteBlockPairOf(RowCursor& row0, RowCursor& row1, Fill fill1) {
    switch (fill1) {
        case Fill::kDone:
            return WriteBlockPair<kFill0, Fill::kDone>(row0, row1);
        case Fill::kRamp:
            return WriteBlockPair<kFill0, Fill::kRamp>(row0, row1);
        case Fill::kRampClamped:
            return WriteBlockPair<kFill0, Fill::kRampClamped>(row0, row1);
    }
}

[[gnu::target("avx2")]] void WriteBlockPairOf(RowCursor& row0, Fill fill0, RowCursor& row1,
                                              Fill fill1) {
    switch (fill0) {
        case Fill::kDone:
            return WriteBlockPairOf<Fill::kDone>(row0, row1, fill1);
        case Fill::kRamp:
            return WriteBlockPairOf<Fill::kRamp>(row0, row1, fill1);
        case Fill::kRampClamped:
            return WriteBlockPairOf<Fill::kRampClamped>(row0, row1, fill1);
    }
}

[[gnu::target("avx2")]] void StartRow(RowCursor& row, const MovementPlan& plan, std::uint8_t* out) {
    const RowLayout layout = LayoutOfRow(plan);
    row.out = out;
    row.total = layout.rampTicks + layout.steadyTicks;
    row.rampTicks = layout.rampTicks;
    row.table = WordTableOf(plan);
    row.accumulators = _mm256_setzero_pd();
    row.steady = PulseLanesOfSpeeds(layout.steadyAtTarget ? plan.targetSpeed : plan.startSpeed);
    if (layout.rampTicks != 0) {
        row.ramp = RampLanesOf(plan);
        row.speed = row.ramp.signedSpeed;
        row.moving = true;
    }
    FillBlock(row, 0, 0);
}

bool HasFullBlock(const RowCursor& row) {
    return row.total - row.emitted >= kRampBlock;
}

// Writes the rest of a row on its own, the last partial block included.
[[gnu::target("avx2")]] void FinishRow(RowCursor& row) {
    while (HasFullBlock(row)) {
        WriteBlockOf(row, PrepareNextBlock(row));
    }
    const RampBlock& ready = row.blocks[row.ready];
    __m256d a = row.accumulators;
    const std::uint32_t left = row.total - row.emitted;
    for (std::uint32_t k = 0; k < left; ++k) {
        row.out[row.emitted + k] = row.table[RampStep(ready, k, a)];
    }
    row.emitted = row.total;
}

}  // namespace

bool Avx2Available() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

[[gnu::target("avx2")]] void ComputeRowAvx2(const MovementPlan& plan, std::uint8_t* row) {
    RowCursor cursor;
    StartRow(cursor, plan, row);
    FinishRow(cursor);
}

[[gnu::target("avx2")]] void ComputeRowPairAvx2(const MovementPlan& firstPlan,
                                                std::uint8_t* firstRow,
                                                const MovementPlan& secondPlan,
                                                std::uint8_t* secondRow) {
    RowCursor first;
    RowCursor second;
    StartRow(first, firstPlan, firstRow);
    StartRow(second, secondPlan, secondRow);
    while (HasFullBlock(first) && HasFullBlock(second)) {
        const Fill firstFill = PrepareNextBlock(first);
        const Fill secondFill = PrepareNextBlock(second);
        WriteBlockPairOf(first, firstFill, second, secondFill);
    }
    FinishRow(first);
    FinishRow(second);
}

#else

bool Avx2Available() {
    return false;
}

void ComputeRowAvx2(const MovementPlan& plan, std::uint8_t* row) {
    ComputeRowPortable(plan, row);
}

void ComputeRowPairAvx2(const MovementPlan& firstPlan, std::uint8_t* firstRow,
                        const MovementPlan& secondPlan, std::uint8_t* secondRow) {
    ComputeRowPortable(firstPlan, firstRow);
    ComputeRowPortable(secondPlan, secondRow);
}

#endif

}  // namespace kinemo::engine
