/* Link library to the MARLO-3 board: finds the board among the USB HID
 * devices (or a running virtual board), keeps the one open device and moves
 * lists of (address, length) blocks between the byte image tavMemory and the
 * board, packed into 65-byte reports.
 *
 * Results are 1 for success and 0 for failure unless stated otherwise. Only
 * one thread may use the library at a time; a read request must be executed
 * before the next one is started.
 *
 * Write:  tavWriteInit, tavWritePush per block, tavWriteEnd, tavWriteExec.
 * Read:   tavReadInit, tavReadPush per block, n = tavReadEnd; send the n
 *         request bytes (they lie in tavMemory at the offset given to
 *         tavReadInit) with a write request; tavReadExec with the same tag.
 *
 * Reads never wait for ever: a report read waits a bounded time, and a
 * silent board makes tavReadExec give up (0) while the link stays open. Only
 * a failing or vanished device loses the link (tavCheckAlive then gives 0).
 *
 * Virtual boards are found in $TAVLINK_VIRTUAL_DIR, else in "tavlink" under
 * $XDG_RUNTIME_DIR, else in /tmp/tavlink; real boards are searched first,
 * and a real board that is listed but cannot be opened ends the search. */
#ifndef TAVLINK_H
#define TAVLINK_H

#define TAVLINK_API __attribute__((visibility("default")))

/* Size of tavMemory: block addresses reach 0x3FFFFF and a block may run up to
 * 512 bytes past that. */
#define TAV_MEMORY_SIZE 0x4CCE68

#ifdef __cplusplus
extern "C" {
#endif

/* The board's address space, byte for byte, indexed by board address. */
TAVLINK_API extern unsigned char tavMemory[TAV_MEMORY_SIZE];

/* Opens the first device with this vendor and product id whose version lies
 * in lowestVersion..highestVersion (unsigned 16-bit compares). A device that
 * is still open is closed first. The editor uses 0x1962, 0x1000, 0x0100,
 * 0x01FF. 1 when a device was opened, else 0 (never any other value).
 * When the system lists a matching USB board that cannot be opened (most
 * often: no udev rule gives the user access to its hidraw node), no virtual
 * board is tried: the result is 0 and tavOpenError tells why. */
TAVLINK_API int tavOpen(int vendorId, int productId, int lowestVersion, int highestVersion);

/* Why the last tavOpen gave 0 (TAV_OPEN_NOT_FOUND after a successful one).
 * May be called from any thread. An addition to the original exports: a
 * caller that does not know it loses nothing, tavOpen keeps its results. */
#define TAV_OPEN_NOT_FOUND 0 /* no matching board, real or virtual */
#define TAV_OPEN_DENIED 1    /* a matching USB board is there but could not be opened */
TAVLINK_API int tavOpenError(void);
TAVLINK_API void tavClose(void);
/* 1 while a device is open; does not talk to it. */
TAVLINK_API int tavCheckAlive(void);
/* Stores the first `length` (at most 128) UTF-16 units of the product string,
 * each narrowed to its low byte, zero padded past the string's end; no
 * terminator is added. */
TAVLINK_API int tavGetName(char* buffer, int length);

/* One report read (65-byte layout, report id byte first; at most `count`
 * bytes are stored). Gives up after a second: 0 with the link still open.
 * A device error loses the link. */
TAVLINK_API int tavRawRead(unsigned char* buffer, int count, int* bytesRead);
/* One write of `count` bytes, report id byte first. A failed write leaves the
 * link open. */
TAVLINK_API int tavRawWrite(const unsigned char* buffer, int count, int* bytesWritten);

/* Starts a read request at tavMemory[offset] with its tag byte. 0 when the
 * request (up to 992 bytes) would not lie inside tavMemory. */
TAVLINK_API int tavReadInit(int offset, int tag);
/* Appends one block header. 0, with nothing changed, when the header cannot
 * be encoded or the reply would exceed 992 bytes. */
TAVLINK_API int tavReadPush(int address, int length);
/* Appends the terminator; returns the request's length in bytes. */
TAVLINK_API int tavReadEnd(void);
/* Collects the reply reports with this tag and copies the returned blocks
 * into tavMemory. 0 after the 65th bad report or when the board stays
 * silent. */
TAVLINK_API int tavReadExec(int tag);

TAVLINK_API int tavWriteInit(void);
/* Appends one block of tavMemory: address 0..0x3FFFFF, length 0..250, 256 or
 * 512. 0, with nothing appended, when it cannot be encoded or when
 * used + length + 4 > 992. */
TAVLINK_API int tavWritePush(int address, int length);
TAVLINK_API int tavWriteEnd(void);
/* Sends the request as reports; it stays built, so a second call resends it.
 * The first send after tavReadEnd first drops replies still queued from
 * earlier requests. */
TAVLINK_API int tavWriteExec(void);

#ifdef __cplusplus
}
#endif

#endif
