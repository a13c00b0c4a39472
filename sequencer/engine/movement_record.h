// One movement of the sequencer: a complete setting of motors M1-M4.
//
// The record is also the on-disk layout of program files, so its byte form is
// fixed at exactly 176 bytes (offsets in EncodeMovementRecord). Per-motor
// fields are arrays in motor order M1..M4.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kinemo::engine {

inline constexpr int kMotorCount = 4;
inline constexpr std::size_t kMovementRecordSize = 176;
inline constexpr std::size_t kNameBytes = 21;  // 20 characters and a NUL
inline constexpr std::size_t kMaxNameLength = kNameBytes - 1;

// Values of `direction`: the index of the radio button in the motor panel.
enum Direction : std::uint8_t {
    kDirectionLeft = 0,
    kDirectionOff = 1,
    kDirectionRight = 2,
};

struct MovementRecord {
    // Bytes after the terminating NUL carry no meaning but are kept, so a
    // loaded record is written back unchanged.
    std::array<char, kNameBytes> name{};
    std::array<std::uint8_t, kMotorCount> speed{};            // whole percent, 0..99
    std::array<std::uint8_t, kMotorCount> targetSpeed{};      // whole percent, 0..99
    std::array<std::uint8_t, kMotorCount> fineSpeed{};        // hundredths of a percent, 0..100
    std::array<std::uint8_t, kMotorCount> targetFineSpeed{};  // hundredths of a percent, 0..100
    std::array<std::uint8_t, kMotorCount> direction{};        // Direction
    std::array<std::uint8_t, 3> padding{};                    // never written by the program
    std::array<std::int32_t, kMotorCount> accelOn{};
    std::array<std::int32_t, kMotorCount> accelDuration{};  // ticks
    std::array<std::int32_t, kMotorCount> endSwitchOn{};
    std::array<std::int32_t, kMotorCount> endSwitchInput{};  // 1..8 = E1..E8, 0 = none
    std::array<std::int32_t, kMotorCount> maxDurationOn{};
    std::array<std::int32_t, kMotorCount> maxDuration{};  // ticks
    std::array<std::int32_t, kMotorCount> maxImpulsesOn{};
    std::array<std::int32_t, kMotorCount> maxImpulses{};  // compared as uint32
    std::array<std::uint8_t, kMotorCount> impulseInput{};  // 1..8 = E1..E8, 0 = none

    bool operator==(const MovementRecord&) const = default;
};

// Writes the record's 176-byte little-endian form.
void EncodeMovementRecord(const MovementRecord& record,
                          std::span<std::uint8_t, kMovementRecordSize> out);

// Reads a record from its 176-byte form. A name without a NUL in its 21 bytes
// is cut to 20 characters so that it is always terminated.
MovementRecord DecodeMovementRecord(std::span<const std::uint8_t, kMovementRecordSize> in);

// The name up to its NUL.
std::string RecordName(const MovementRecord& record);

// Sets the name, cut to 20 characters; the bytes after the NUL are zeroed.
void SetRecordName(MovementRecord& record, std::string_view name);

// Effective speeds of motor m in percent: speed + fine * 0.01.
double StartSpeedPercent(const MovementRecord& record, int motor);
double TargetSpeedPercent(const MovementRecord& record, int motor);

}  // namespace kinemo::engine
