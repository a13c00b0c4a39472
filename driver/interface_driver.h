/* Interface driver library: the three calls through which the sequencer and
 * the joystick controller reach the interface box, plus the accessors for the
 * one field of the record the caller sets.
 *
 * The caller reserves one InterfaceRecord (zero at start), sets its kind just
 * before opening and passes it to every call. The library keeps its connection
 * state in the record; a record that was never opened (or holds garbage) is
 * simply "not open". Kinds 40, 1 and 10 speak the one-byte frame (request 0xC1
 * and the Motor output word, answer the Input word); kind 2 adds the extension
 * module (request 0xC2, output words M1-M4 and M5-M8, answer inputs E1-E8 and
 * E9-E16). */
#ifndef KINEMO_DRIVER_INTERFACE_DRIVER_H
#define KINEMO_DRIVER_INTERFACE_DRIVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct InterfaceRecord {
    unsigned char bytes[24];
} InterfaceRecord;

/* interfaceKind: int32 little-endian at byte offset 8. */
#define INTERFACE_KIND_OFFSET 8
#define INTERFACE_KIND_SEQUENCER 40
#define INTERFACE_KIND_SERIAL 1
#define INTERFACE_KIND_SERIAL_EXTENDED 2
#define INTERFACE_KIND_PARALLEL 10

void SetInterfaceKind(InterfaceRecord* record, int32_t kind);
int32_t GetInterfaceKind(const InterfaceRecord* record);

/* Result of OpenInterface when no connection could be made. */
#define INTERFACE_OPEN_FAILED 0x1FFFFu

/* Opens the port named portName ("COM1".."COM4", "LPT1".."LPT3", "LPT"),
 * sets the line and switches all motors off in one test exchange. Returns
 * INTERFACE_OPEN_FAILED when the port cannot be opened or nothing answers,
 * 0 on success. An already open record is closed first. */
uint32_t OpenInterface(InterfaceRecord* record, const char* portName);

/* Sends the Motor output word (bits 0-7; the extension module's in bits 8-15)
 * and returns the Input word (bits 0-7; the extension module's in 8-15).
 * Returns 0 without sending anything when the record is not open or the line
 * has died, and 0 for a tick whose answer did not arrive in time. */
uint32_t ExchangeWithInterface(InterfaceRecord* record, uint32_t output);

/* 1 once an exchange on this open record found the line gone (hangup or I/O
 * error: the adapter unplugged, the other end closed); from then on every
 * exchange returns 0 at once without sending. 0 while the line is fine, for a
 * tick that only went unanswered, and for a record that is not open. Stays 1
 * until the record is closed or opened again. Callable from any thread. */
int32_t InterfaceLineLost(InterfaceRecord* record);

/* Switches all motors off with one exchange and closes the port. Returns 0;
 * closing a record that is not open does nothing. */
uint32_t CloseInterface(InterfaceRecord* record);

#ifdef __cplusplus
}
#endif

#endif /* KINEMO_DRIVER_INTERFACE_DRIVER_H */
