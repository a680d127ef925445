/*
 * ZoleHead: reads the song metadata in the header of a Zole music data file.
 *
 * A Zole data file is Shift_JIS (code page 932) text. Its header names up to
 * sixteen fields, either as Japanese label lines (form A) or as starred ASCII
 * keywords with quoted values (form B). A reader scans one file and stores what
 * it found in sixteen process-wide slots; the getters copy identifiers and
 * values out. No text is converted: everything is the file's own bytes.
 *
 * Buffers: every getter takes a count `maxBytes` (not counting the final NUL).
 * The count is clamped to the field's maximum (18 for identifiers, 127 for
 * values) and a negative count is taken as 0. Exactly `count` bytes are written
 * in the manner of strncpy (the text, then NUL fill), followed by one more NUL
 * at offset `count`: the caller's buffer must hold the clamped count plus one.
 *
 * Threads: the readers publish a complete result under a lock, and the value
 * getter copies under the same lock, so a concurrent caller sees either the
 * previous read or the whole new one. Hosts that want independent results per
 * thread should use the C++ core (zolehead.hpp) instead.
 */
#ifndef ZOLEHEAD_H
#define ZOLEHEAD_H

#include <stdint.h>

/* ZH_CALL: the calling convention of every export. Windows hosts expect
 * __stdcall from a flat 32-bit DLL; everywhere else it is the platform's own. */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define ZH_CALL __stdcall
#else
#define ZH_CALL
#endif

/* ZH_EXPORT: marks the exported functions; everything else stays hidden. */
#if defined(_WIN32)
#if defined(ZOLEHEAD_BUILDING)
#define ZH_EXPORT __declspec(dllexport)
#else
#define ZH_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define ZH_EXPORT __attribute__((visibility("default")))
#else
#define ZH_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Where a slot's value came from: the result of zhGetZoleHeaderValue. */
enum {
    ZH_STATUS_NONE = 0,   /* nothing found; the value is empty */
    ZH_STATUS_FORM_A = 1, /* from a Japanese label line */
    ZH_STATUS_FORM_B = 2  /* from a starred keyword */
};

/* Load-time entry. Reason 1 (process attach) empties every slot; other reasons
 * do nothing. Runs by itself when the library is loaded. Always returns 1. */
ZH_EXPORT int32_t ZH_CALL LibMain(void *module, int32_t reason, void *reserved);

/* Stores the library version 1.0.0.0 through the four pointers, most
 * significant part first. A null pointer is skipped. */
ZH_EXPORT void ZH_CALL zhGetZoleHeadDllVersion(int32_t *major, int32_t *minor,
                                               int32_t *revision, int32_t *build);

/* The number of fields and slots: 16. Indices run from 0 to 15. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentNum(void);

/* The longest form A label in bytes: 18. A buffer needs one more for the NUL. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentSize(void);

/* The longest value in bytes: 127. A buffer needs one more for the NUL. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderValueSize(void);

/* Same as zhGetZoleHeaderIdentA. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdent(int32_t slotIndex, char *outText,
                                               int32_t maxBytes);

/* Copies field slotIndex's form A label (Shift_JIS bytes) into outText:
 * min(max(maxBytes, 0), 18) bytes, NUL-filled, then a NUL. Returns 1; returns 0
 * and writes nothing for an index outside 0..15 or a null outText. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentA(int32_t slotIndex, char *outText,
                                                int32_t maxBytes);

/* As zhGetZoleHeaderIdentA, for the field's form B keyword (ASCII, "Title"...). */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderIdentB(int32_t slotIndex, char *outText,
                                                int32_t maxBytes);

/* Copies slot slotIndex's value from the last read into outText:
 * min(max(maxBytes, 0), 127) bytes, NUL-filled, then a NUL. The cut counts
 * bytes and may split a double-byte character. Returns the slot's status
 * (ZH_STATUS_*); returns 0 and writes nothing for an index outside 0..15 or a
 * null outText. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderValue(int32_t slotIndex, char *outText,
                                               int32_t maxBytes);

/* The readers. Each empties every slot, then reads the whole file at filePath
 * (bytes handed to the system unchanged; on Windows, the ANSI code page) and
 * fills the slots from form A lines (zhGetZoleHeaderA), form B keywords
 * (zhGetZoleHeaderB) or both in one pass (zhGetZoleHeader, form B winning).
 * A byte 0x1A ends the input. Returns 1 once the file was read to its end,
 * whether or not anything was found. Returns 0, with every slot empty, for a
 * null path, a path that cannot be opened, anything but a regular file
 * (directory, FIFO, device, socket) and a read error part-way through. */
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderA(const char *filePath);
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeaderB(const char *filePath);
ZH_EXPORT int32_t ZH_CALL zhGetZoleHeader(const char *filePath);

#ifdef __cplusplus
}
#endif

#endif /* ZOLEHEAD_H */
