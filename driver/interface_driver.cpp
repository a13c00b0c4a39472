// The driver keeps its open ports in a fixed table. A record names its table
// slot and the generation of the open that filled it; a call trusts the record
// only when the slot still belongs to this record in that generation, so a
// zero, copied or garbage record is safely "not open".
//
// A slot is claimed by an open and released by a close. Its port guard keeps
// the exchanging thread and the opening or closing thread apart: an exchange
// never waits (a busy or closed slot is a tick without answer), a close waits,
// blocked, for a running exchange. Nothing is allocated after an open.
#include "driver/interface_driver.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "platform/port_guard.h"
#include "platform/port_map.h"
#include "platform/serial_port.h"
#include "protocol/box_protocol.h"

namespace {

using kinemo::platform::PortGuard;
using kinemo::platform::SerialPort;

constexpr std::size_t kSlotCount = 16;
// A Port name is at most 7 characters and the terminating NUL.
constexpr std::size_t kPortNameCapacity = 8;

// Record layout (little-endian): slot index + 1 at 0, generation at 4, kind at 8.
constexpr std::size_t kSlotOffset = 0;
constexpr std::size_t kGenerationOffset = 4;

struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<const InterfaceRecord*> owner{nullptr};
    std::atomic<std::uint32_t> generation{0};
    PortGuard guard;
    // Touched only by the thread that holds the guard.
    SerialPort port;
    bool extended = false;
    // Set by the exchanging thread once the port reported a hangup or an I/O
    // error; read by any thread through InterfaceLineLost.
    std::atomic<bool> lineLost{false};
};

// Never destroyed: a player thread may still exchange while the process ends.
Slot* Slots() {
    static Slot* const slots = new Slot[kSlotCount];
    return slots;
}

std::atomic<std::uint32_t> nextGeneration{1};

// The record may be read by a player thread while a connect thread opens it,
// so its handle bytes are accessed atomically, byte by byte; a torn value is
// caught by the owner and generation checks.
std::uint32_t LoadRecordWord(InterfaceRecord* record, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const unsigned char byte = std::atomic_ref<unsigned char>(record->bytes[offset + i])
                                       .load(std::memory_order_acquire);
        value |= static_cast<std::uint32_t>(byte) << (8 * i);
    }
    return value;
}

void StoreRecordWord(InterfaceRecord* record, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        std::atomic_ref<unsigned char>(record->bytes[offset + i])
            .store(static_cast<unsigned char>(value >> (8 * i)), std::memory_order_release);
    }
}

// The slot this record opened, or nothing.
struct Handle {
    Slot* slot = nullptr;
    std::uint32_t generation = 0;
};

bool Owns(const Slot& slot, const InterfaceRecord* record, std::uint32_t generation) {
    return slot.owner.load(std::memory_order_acquire) == record &&
           slot.generation.load(std::memory_order_acquire) == generation;
}

// No handle for a null record, nor for one that does not own its slot.
Handle FindHandle(InterfaceRecord* record) {
    if (record == nullptr) {
        return {};
    }
    const std::uint32_t slotNumber = LoadRecordWord(record, kSlotOffset);
    const std::uint32_t generation = LoadRecordWord(record, kGenerationOffset);
    if (slotNumber == 0 || slotNumber > kSlotCount || generation == 0) {
        return {};
    }
    Slot& slot = Slots()[slotNumber - 1];
    if (!Owns(slot, record, generation)) {
        return {};
    }
    return {&slot, generation};
}

// One request/answer on a slot whose guard this thread holds; false when the
// answer was incomplete.
bool ExchangeOnSlot(Slot& slot, std::uint32_t output, std::uint32_t& inputs) {
    namespace protocol = kinemo::protocol;
    const protocol::Request request = protocol::EncodeRequest(output, slot.extended);
    const std::uint8_t command = request.bytes[0];
    const auto answerSize = static_cast<std::size_t>(protocol::AnswerBytes(command));
    std::uint8_t answer[protocol::kMaxAnswerBytes] = {};
    if (slot.port.Exchange(request.data(), request.length(), answer, answerSize) != answerSize) {
        return false;
    }
    inputs = protocol::DecodeAnswer(command, answer);
    return true;
}

Slot* ClaimFreeSlot(std::size_t& index) {
    for (index = 0; index < kSlotCount; ++index) {
        bool expected = false;
        if (Slots()[index].claimed.compare_exchange_strong(expected, true,
                                                           std::memory_order_acquire)) {
            return &Slots()[index];
        }
    }
    return nullptr;
}

// Closes the port of a slot whose guard this thread holds and gives the slot
// back; the guard is released on the way.
void ReleaseSlot(Slot& slot, PortGuard::Hold& hold) {
    slot.port.Close();
    slot.lineLost.store(false, std::memory_order_relaxed);
    slot.owner.store(nullptr, std::memory_order_relaxed);
    slot.generation.store(0, std::memory_order_relaxed);
    slot.guard.SetOpen(false);
    hold.unlock();
    slot.claimed.store(false, std::memory_order_release);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void SetInterfaceKind(InterfaceRecord* record,
                                                             int32_t kind) {
    if (record == nullptr) {
        return;
    }
    const auto value = static_cast<std::uint32_t>(kind);
    for (std::size_t i = 0; i < 4; ++i) {
        record->bytes[INTERFACE_KIND_OFFSET + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

__attribute__((visibility("default"))) int32_t GetInterfaceKind(const InterfaceRecord* record) {
    if (record == nullptr) {
        return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(record->bytes[INTERFACE_KIND_OFFSET + i]) << (8 * i);
    }
    return static_cast<int32_t>(value);
}

__attribute__((visibility("default"))) uint32_t OpenInterface(InterfaceRecord* record,
                                                              const char* portName) {
    if (record == nullptr || portName == nullptr) {
        return INTERFACE_OPEN_FAILED;
    }
    // Read the name only within its buffer; an unterminated name is refused.
    const void* end = std::memchr(portName, '\0', kPortNameCapacity);
    if (end == nullptr) {
        return INTERFACE_OPEN_FAILED;
    }
    const std::string name(portName, static_cast<const char*>(end));

    CloseInterface(record);

    std::size_t index = 0;
    Slot* slot = ClaimFreeSlot(index);
    if (slot == nullptr) {
        return INTERFACE_OPEN_FAILED;
    }
    PortGuard::Hold hold = slot->guard.Exclusive();
    const std::optional<std::string> device = kinemo::platform::PortDevicePath(name);
    slot->extended = GetInterfaceKind(record) == INTERFACE_KIND_SERIAL_EXTENDED;
    std::uint32_t inputs = 0;
    if (!device || !slot->port.Open(device->c_str()) || !slot->port.ApplyLineSettings().Ok() ||
        !slot->port.SetTimeouts({}) || !ExchangeOnSlot(*slot, 0, inputs)) {
        ReleaseSlot(*slot, hold);
        return INTERFACE_OPEN_FAILED;
    }

    std::uint32_t generation = nextGeneration.fetch_add(1, std::memory_order_relaxed);
    if (generation == 0) {
        generation = nextGeneration.fetch_add(1, std::memory_order_relaxed);
    }
    slot->generation.store(generation, std::memory_order_relaxed);
    slot->owner.store(record, std::memory_order_relaxed);
    slot->guard.SetOpen(true);
    hold.unlock();
    StoreRecordWord(record, kGenerationOffset, generation);
    StoreRecordWord(record, kSlotOffset, static_cast<std::uint32_t>(index + 1));
    return 0;
}

__attribute__((visibility("default"))) uint32_t ExchangeWithInterface(InterfaceRecord* record,
                                                                      uint32_t output) {
    const Handle handle = FindHandle(record);
    if (handle.slot == nullptr) {
        return 0;
    }
    Slot& slot = *handle.slot;
    const PortGuard::Hold hold = slot.guard.TryExchange();
    // Closed and opened again (by another record) between the look and the hold?
    if (!hold.owns_lock() || !Owns(slot, record, handle.generation)) {
        return 0;
    }
    std::uint32_t inputs = 0;
    if (!slot.port.LineDead() && !ExchangeOnSlot(slot, output, inputs)) {
        inputs = 0;
    }
    if (slot.port.LineDead()) {
        slot.lineLost.store(true, std::memory_order_release);
    }
    return inputs;
}

__attribute__((visibility("default"))) int32_t InterfaceLineLost(InterfaceRecord* record) {
    const Handle handle = FindHandle(record);
    if (handle.slot == nullptr) {
        return 0;
    }
    return handle.slot->lineLost.load(std::memory_order_acquire) ? 1 : 0;
}

__attribute__((visibility("default"))) uint32_t CloseInterface(InterfaceRecord* record) {
    const Handle handle = FindHandle(record);
    if (handle.slot == nullptr) {
        return 0;
    }
    Slot& slot = *handle.slot;
    PortGuard::Hold hold = slot.guard.Exclusive();  // waits for a running exchange
    if (!slot.guard.IsOpen() || !Owns(slot, record, handle.generation)) {
        return 0;  // closed meanwhile by another thread
    }
    StoreRecordWord(record, kSlotOffset, 0);
    StoreRecordWord(record, kGenerationOffset, 0);
    std::uint32_t inputs = 0;
    if (!slot.port.LineDead()) {
        ExchangeOnSlot(slot, 0, inputs);  // all motors off before letting go
    }
    ReleaseSlot(slot, hold);
    return 0;
}

}  // extern "C"
