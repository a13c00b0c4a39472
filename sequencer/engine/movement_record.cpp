#include "sequencer/engine/movement_record.h"

#include <algorithm>
#include <cstring>

namespace kinemo::engine {
namespace {

// Byte offsets of the on-disk record.
constexpr std::size_t kOffsetName = 0;
constexpr std::size_t kOffsetSpeed = 21;
constexpr std::size_t kOffsetTargetSpeed = 25;
constexpr std::size_t kOffsetFineSpeed = 29;
constexpr std::size_t kOffsetTargetFineSpeed = 33;
constexpr std::size_t kOffsetDirection = 37;
constexpr std::size_t kOffsetPadding = 41;
constexpr std::size_t kOffsetAccelOn = 44;
constexpr std::size_t kOffsetAccelDuration = 60;
constexpr std::size_t kOffsetEndSwitchOn = 76;
constexpr std::size_t kOffsetEndSwitchInput = 92;
constexpr std::size_t kOffsetMaxDurationOn = 108;
constexpr std::size_t kOffsetMaxDuration = 124;
constexpr std::size_t kOffsetMaxImpulsesOn = 140;
constexpr std::size_t kOffsetMaxImpulses = 156;
constexpr std::size_t kOffsetImpulseInput = 172;
static_assert(kOffsetImpulseInput + kMotorCount == kMovementRecordSize);

template <std::size_t N>
void PutBytes(std::uint8_t* out, std::size_t offset, const std::array<std::uint8_t, N>& values) {
    std::copy(values.begin(), values.end(), out + offset);
}

template <std::size_t N>
void GetBytes(const std::uint8_t* in, std::size_t offset, std::array<std::uint8_t, N>& values) {
    std::copy(in + offset, in + offset + N, values.begin());
}

void PutInt32s(std::uint8_t* out, std::size_t offset,
               const std::array<std::int32_t, kMotorCount>& values) {
    for (int m = 0; m < kMotorCount; ++m) {
        const auto v = static_cast<std::uint32_t>(values[m]);
        std::uint8_t* p = out + offset + 4 * static_cast<std::size_t>(m);
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }
}

void GetInt32s(const std::uint8_t* in, std::size_t offset,
               std::array<std::int32_t, kMotorCount>& values) {
    for (int m = 0; m < kMotorCount; ++m) {
        const std::uint8_t* p = in + offset + 4 * static_cast<std::size_t>(m);
        const std::uint32_t v = static_cast<std::uint32_t>(p[0]) |
                                (static_cast<std::uint32_t>(p[1]) << 8) |
                                (static_cast<std::uint32_t>(p[2]) << 16) |
                                (static_cast<std::uint32_t>(p[3]) << 24);
        values[m] = static_cast<std::int32_t>(v);
    }
}

}  // namespace

void EncodeMovementRecord(const MovementRecord& record,
                          std::span<std::uint8_t, kMovementRecordSize> out) {
    std::uint8_t* p = out.data();
    std::memcpy(p + kOffsetName, record.name.data(), kNameBytes);
    PutBytes(p, kOffsetSpeed, record.speed);
    PutBytes(p, kOffsetTargetSpeed, record.targetSpeed);
    PutBytes(p, kOffsetFineSpeed, record.fineSpeed);
    PutBytes(p, kOffsetTargetFineSpeed, record.targetFineSpeed);
    PutBytes(p, kOffsetDirection, record.direction);
    PutBytes(p, kOffsetPadding, record.padding);
    PutInt32s(p, kOffsetAccelOn, record.accelOn);
    PutInt32s(p, kOffsetAccelDuration, record.accelDuration);
    PutInt32s(p, kOffsetEndSwitchOn, record.endSwitchOn);
    PutInt32s(p, kOffsetEndSwitchInput, record.endSwitchInput);
    PutInt32s(p, kOffsetMaxDurationOn, record.maxDurationOn);
    PutInt32s(p, kOffsetMaxDuration, record.maxDuration);
    PutInt32s(p, kOffsetMaxImpulsesOn, record.maxImpulsesOn);
    PutInt32s(p, kOffsetMaxImpulses, record.maxImpulses);
    PutBytes(p, kOffsetImpulseInput, record.impulseInput);
}

MovementRecord DecodeMovementRecord(std::span<const std::uint8_t, kMovementRecordSize> in) {
    const std::uint8_t* p = in.data();
    MovementRecord record;
    std::memcpy(record.name.data(), p + kOffsetName, kNameBytes);
    record.name[kMaxNameLength] = '\0';
    GetBytes(p, kOffsetSpeed, record.speed);
    GetBytes(p, kOffsetTargetSpeed, record.targetSpeed);
    GetBytes(p, kOffsetFineSpeed, record.fineSpeed);
    GetBytes(p, kOffsetTargetFineSpeed, record.targetFineSpeed);
    GetBytes(p, kOffsetDirection, record.direction);
    GetBytes(p, kOffsetPadding, record.padding);
    GetInt32s(p, kOffsetAccelOn, record.accelOn);
    GetInt32s(p, kOffsetAccelDuration, record.accelDuration);
    GetInt32s(p, kOffsetEndSwitchOn, record.endSwitchOn);
    GetInt32s(p, kOffsetEndSwitchInput, record.endSwitchInput);
    GetInt32s(p, kOffsetMaxDurationOn, record.maxDurationOn);
    GetInt32s(p, kOffsetMaxDuration, record.maxDuration);
    GetInt32s(p, kOffsetMaxImpulsesOn, record.maxImpulsesOn);
    GetInt32s(p, kOffsetMaxImpulses, record.maxImpulses);
    GetBytes(p, kOffsetImpulseInput, record.impulseInput);
    return record;
}

std::string RecordName(const MovementRecord& record) {
    const auto end = std::find(record.name.begin(), record.name.end(), '\0');
    return std::string(record.name.begin(), end);
}

void SetRecordName(MovementRecord& record, std::string_view name) {
    record.name.fill('\0');
    const std::size_t length = std::min(name.size(), kMaxNameLength);
    std::copy_n(name.begin(), length, record.name.begin());
}

double StartSpeedPercent(const MovementRecord& record, int motor) {
    return static_cast<double>(record.speed[motor]) +
           static_cast<double>(record.fineSpeed[motor]) * 0.01;
}

double TargetSpeedPercent(const MovementRecord& record, int motor) {
    return static_cast<double>(record.targetSpeed[motor]) +
           static_cast<double>(record.targetFineSpeed[motor]) * 0.01;
}

}  // namespace kinemo::engine
