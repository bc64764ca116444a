/*
 * kxfiles: the file library of a host-connectivity application.
 *
 * Streams with text, character-set and compression layers, file-name
 * validation and construction, directory enumeration and international
 * date and time strings. A function that fails returns its failure value
 * and leaves the reason, never 0, in the calling thread's last error
 * (kxFileErrorVal); a 0 that answers a question (no directory part, no more
 * matches) is not a failure and leaves the last error alone.
 *
 * Threads: any thread may call any function; a KXFILE or KXMATCH belongs to
 * one thread at a time. Name validation enters directories for a moment; the
 * functions that take names serialize on one lock, so their relative names
 * never resolve in another call's directory. A program that opens relative
 * names itself while another thread calls these functions should use full
 * names.
 *
 * Plain C (C99 and C++); the 62 functions below are the library's only
 * exported symbols.
 */
#ifndef KXFILES_H
#define KXFILES_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KXAPI __stdcall
#else
#define KXAPI
#endif

#if defined(_WIN32)
#if defined(KXFILES_BUILDING_DLL)
#define KXEXPORT __declspec(dllexport)
#elif defined(KXFILES_STATIC)
#define KXEXPORT
#else
#define KXEXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KXEXPORT __attribute__((visibility("default")))
#else
#define KXEXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct KxFileHandle *KXFILE;
typedef struct KxMatchRecord *KXMATCH;

typedef struct KXFILEDATETIME {      /* 6 bytes, local time */
    uint8_t day, month, year;        /* year is year - 1900 */
    uint8_t second, minute, hour;
} KXFILEDATETIME;

typedef struct KXMATCHENTRYINFO {
    uint32_t reserved;               /* the caller's; never written */
    uint32_t size;                   /* 0 when 4 GiB or more */
    KXFILEDATETIME date;
    uint32_t attributes;             /* KXATTR_* bits */
} KXMATCHENTRYINFO;

typedef struct KXMATCHSUMMARY {
    int32_t  hasWildcards;
    uint16_t count;
} KXMATCHSUMMARY;

/* kxFileTruncateName's window on platforms without Windows windows:
   the client width and a text measure in one unit (null measure: one unit per byte). */
typedef struct KXTEXTWINDOW {
    int32_t clientWidth;
    int32_t (*measure)(void *context, const char *text, int32_t length);
    void *context;
} KXTEXTWINDOW;

/* File attribute bits (KXMATCHENTRYINFO.attributes, kxFileGetAttributes). */
#define KXATTR_READONLY  0x01u
#define KXATTR_HIDDEN    0x02u
#define KXATTR_DIRECTORY 0x04u
#define KXATTR_DRIVE     0x08u
#define KXATTR_SYSTEM    0x10u
#define KXATTR_ARCHIVE   0x20u

/* Text translation options (kxFileSetTranslation). */
#define TXT_SPACES_TO_TABS         0x0001u
#define TXT_TABS                   0x0002u
#define TXT_READ_CR_ENDS_RECORD    0x0004u
#define TXT_READ_LF_ENDS_RECORD    0x0008u
#define TXT_READ_CRLF_ENDS_RECORD  0x0010u
#define TXT_WRITE_RECORD_CR        0x0020u
#define TXT_WRITE_RECORD_LF        0x0040u
#define TXT_WRITE_RECORD_CRLF      0x0080u
#define TXT_READ_CTRLZ_ENDS        0x0100u
#define TXT_CTRLZ_AT_CLOSE         0x0200u
#define TXT_STRIP_TRAILING_SPACES  0x0400u
#define TXT_READ_CR_TO_CRLF        0x0800u
#define TXT_DROP_LF                0x1000u
#define TXT_WRITE_RECORD_NOTHING   0x2000u
#define TXT_WRITE_LF_TO_CRLF       0x4000u
#define TXT_DROP_CR                0x8000u

/* Character-set options (kxFileSetCharsetFlags, kxFileTranslateBufferExt,
   kxFileTranslateFileNameExt). */
#define CSF_OEM_TO_ANSI      0x0001u
#define CSF_DETECT_JAPANESE  0x0002u
#define CSF_KANA_TO_FULL     0x0004u
#define CSF_KANA_TO_HALF     0x0008u
#define CSF_TRANSLATE        0x0010u
#define CSF_NATIONAL_TARGET  0x0020u
#define CSF_NATIONAL_SOURCE  0x0040u
#define CSF_ESCAPE_NAME      0x0080u
#define CSF_ANSI_TO_OEM      0x0100u
#define CSF_TO_DBCS          0x0200u   /* kept by the layer itself */
#define CSF_ACTIVE           0x0400u   /* kept by the layer itself */
#define CSF_FROM_DBCS        0x0800u   /* kept by the layer itself */
/* With UTF-8 (KXCHARSET_UTF8) on either side. Shift-JIS (51) is then read
   and written as Windows code page 932; CSF_SJIS_JIS_MAPPING reads the six
   codes 0x8160, 0x8161, 0x817C, 0x8191, 0x8192, 0x81CA as JIS X 0208 does
   (U+301C, U+2016, U+2212, U+00A2, U+00A3, U+00AC instead of U+FF5E, U+2225,
   U+FF0D, U+FFE0, U+FFE1, U+FFE2); writing takes either form in both modes,
   and bytes 0x00-0x7F are ASCII in both. A leading byte-order mark of UTF-8
   data is dropped unless CSF_KEEP_BOM; UTF-8 is written without one unless
   CSF_WRITE_BOM. Each ill-formed part of UTF-8 input (as the Unicode Standard
   divides it: one maximal subpart at a time) becomes one substitute: U+FFFD
   in UTF-8, the space in the other sets. */
#define CSF_SJIS_JIS_MAPPING 0x00010000u
#define CSF_KEEP_BOM         0x00020000u
#define CSF_WRITE_BOM        0x00040000u

/* The CharsetId of UTF-8, a set of the character-set layer, of
   kxFileTranslateBufferExt and of kxFileTranslateFileNameExt on either side,
   paired with any single-byte set or with Shift-JIS (51). It has no map:
   kxFileSetupXlat builds no table to or from it. */
#define KXCHARSET_UTF8       65001u
/* Shift-JIS to the 7-bit JIS hosts (52, 53, 54): each run of double-byte
   text or katakana ends with ESC ( B (ASCII), as RFC 1468 ISO-2022-JP
   readers expect, instead of ESC ( J (JIS Roman, where 0x5C is the yen sign
   and 0x7E the overline). Reading accepts either form with or without it. */
#define CSF_JIS_ASCII_RETURN 0x00080000u

/* Translation-table options (kxFileSetupXlat). */
#define XLAT_APPROXIMATE     0x0001u
#define XLAT_KEEP_CONTROLS   0x0002u

/* Attribute mask of kxFileInitMatch. */
#define MATCH_NORMAL         0x01u
#define MATCH_READONLY       0x02u
#define MATCH_HIDDEN         0x04u
#define MATCH_SYSTEM         0x08u
#define MATCH_VOLUME         0x10u
#define MATCH_DIRECTORY      0x20u

/* Flags of kxFileMakeLocalName2. */
#define LOCAL_NAME_DROP_LAST_EXT 0x01u
#define LOCAL_NAME_FORCE_83      0x02u

/* errors */
KXEXPORT int32_t  KXAPI kxFileErrorVal(void);
KXEXPORT void     KXAPI kxFileErrorClear(void);
KXEXPORT uint16_t KXAPI kxFileErrorString(int32_t code, char *buffer, int32_t bufferSize);

/* names */
KXEXPORT int32_t  KXAPI kxFileValidateFileName(const char *name);
KXEXPORT int32_t  KXAPI kxFileGetFullName(const char *name, char *out);
KXEXPORT int32_t  KXAPI kxFileMakeLocalName(const char *hostName, char *out);
KXEXPORT int32_t  KXAPI kxFileMakeLocalName2(char *hostName, char *out, uint32_t flags);
KXEXPORT int32_t  KXAPI kxFileMakeName(const char *name, char *out);
KXEXPORT int32_t  KXAPI kxFileMakeNewName(const char *hostName, char *out);
KXEXPORT int32_t  KXAPI kxFileTruncateName(char *path, char *wholeText, void *window,
                                           int32_t keepFileName);
KXEXPORT char    *KXAPI kxFileNormalizeFilenameCase(char *name, int32_t mode);
KXEXPORT char    *KXAPI kxFileUnderscoresToSpaces(char *text);
KXEXPORT char    *KXAPI kxFileSpacesToUnderscores(char *text);

/* streams */
KXEXPORT KXFILE   KXAPI kxFileOpen(char *name, uint32_t openMode);
KXEXPORT KXFILE   KXAPI kxFileCreate(char *name, int32_t overwrite);
KXEXPORT KXFILE   KXAPI kxFileCreate2(char *name, int32_t overwrite, uint32_t openMode);
KXEXPORT KXFILE   KXAPI kxFileAppend(const char *name, int32_t skipCtrlZ, int32_t create);
KXEXPORT KXFILE   KXAPI kxFileAppend2(const char *name, int32_t skipCtrlZ, int32_t create,
                                      uint32_t openMode);
KXEXPORT int32_t  KXAPI kxFileClose(KXFILE file);
KXEXPORT int32_t  KXAPI kxFileRead(KXFILE file, void *buffer, uint32_t length, uint32_t *count);
KXEXPORT int32_t  KXAPI kxFileWrite(KXFILE file, const void *buffer, uint32_t length,
                                    uint32_t *count);
KXEXPORT int32_t  KXAPI kxFileFlush(KXFILE file);
/* kxFileSetPos and kxFileInsertData with layers on: every layer is reset, none
 * refuses. What a writer's layers still hold (collected spaces, a dead key
 * waiting for its letter) is written first, at the old position; then each
 * layer starts afresh as when it was switched on: no half-expanded tab, shift
 * state, queued byte or held record is carried over, and a compression
 * method starts with a new table. kxFileSetPos with origin 1 and offset 0
 * only reports the position and leaves the layers as they are. */
KXEXPORT int32_t  KXAPI kxFileSetPos(KXFILE file, int32_t origin, int32_t *position);
KXEXPORT uint32_t KXAPI kxFileGetSize(KXFILE file);
KXEXPORT int32_t  KXAPI kxFileTruncate(KXFILE file);
KXEXPORT int32_t  KXAPI kxFileInsertData(KXFILE file, const void *data, uint32_t length);
KXEXPORT uint32_t KXAPI kxFileGetBytesRead(KXFILE file, uint32_t selector);
KXEXPORT uint32_t KXAPI kxFileGetBytesWritten(KXFILE file, uint32_t selector);
KXEXPORT int32_t  KXAPI kxFileSetTranslation(KXFILE file, uint32_t options, uint32_t tabWidth);
KXEXPORT int32_t  KXAPI kxFileSetCharsetFlags(KXFILE file, uint16_t from, uint16_t to,
                                              uint32_t options, uint32_t variant);
KXEXPORT int32_t  KXAPI kxFileSetCharsetState(KXFILE file, int32_t on);
KXEXPORT int32_t  KXAPI kxFileSetCompression(KXFILE file, uint32_t method);

/* character sets */
KXEXPORT int32_t  KXAPI kxFileSetupXlat(uint32_t from, uint16_t to, uint8_t *table,
                                        uint32_t count, uint8_t defaultChar, uint32_t options);
KXEXPORT uint32_t KXAPI kxFileGetACP(void);
KXEXPORT int32_t  KXAPI kxFileTranslateBufferExt(uint8_t *source, int32_t sourceLength,
                                                 uint8_t *destination, int32_t destinationSize,
                                                 uint16_t from, uint16_t to, uint32_t options,
                                                 uint32_t variant);
KXEXPORT int32_t  KXAPI kxFileTranslateFileNameExt(char *name, char *result, uint32_t from,
                                                   uint16_t to, uint32_t options);
KXEXPORT int32_t  KXAPI kxFileMicro2HostDBCS(uint32_t code, uint16_t *out, uint32_t charset);
KXEXPORT int32_t  KXAPI kxFileHost2MicroDBCS(uint32_t code, uint16_t *out, uint32_t charset);

/* file system */
KXEXPORT int32_t  KXAPI kxFileExists(const char *name);
KXEXPORT int32_t  KXAPI kxFileExistsEx(const char *name, char *result, uint16_t size,
                                       uint32_t *systemError);
KXEXPORT int32_t  KXAPI kxFileDelete(const char *name);
KXEXPORT int32_t  KXAPI kxFileRename(const char *oldName, const char *newName);
KXEXPORT int32_t  KXAPI kxFileCreateDir(const char *name);
KXEXPORT int32_t  KXAPI kxFileGetAttributes(const char *name, uint32_t *attributes);
KXEXPORT int32_t  KXAPI kxFileGetDate(KXFILE file, KXFILEDATETIME *date);
KXEXPORT int32_t  KXAPI kxFileSetDate(KXFILE file, const KXFILEDATETIME *date);
KXEXPORT int32_t  KXAPI kxFileCurrentDate(KXFILEDATETIME *date);
KXEXPORT int32_t  KXAPI kxFileGetFileName(KXFILE file, char *buffer);
KXEXPORT int32_t  KXAPI kxFileGetPath(char *buffer);
KXEXPORT int32_t  KXAPI kxFileSetPath(const char *directory);
KXEXPORT int32_t  KXAPI kxFileGetDrive(const char *name, char *prefix, char *rewritten);
KXEXPORT int32_t  KXAPI kxFileExtractFileName(const char *name, char *buffer);
KXEXPORT int32_t  KXAPI kxFileExtractPath(const char *name, char *buffer);
KXEXPORT KXMATCH  KXAPI kxFileInitMatch(const char *pattern, uint32_t mask,
                                        const KXFILEDATETIME *notAfter,
                                        const KXFILEDATETIME *notBefore,
                                        const char *exclusions);
KXEXPORT int32_t  KXAPI kxFileGetMatch(KXMATCH match, char *name);
KXEXPORT int32_t  KXAPI kxFileGetMatchExtended(KXMATCH match, char *name, KXMATCHENTRYINFO *info);
KXEXPORT int32_t  KXAPI kxFileGetMatchInfo(KXMATCH match, KXMATCHSUMMARY *summary);
KXEXPORT void     KXAPI kxFileSetMatchCase(KXMATCH match, uint16_t mode);
KXEXPORT void     KXAPI kxFileDoneMatch(KXMATCH match);
KXEXPORT int32_t  KXAPI kxFileCorrectDirectoryCase(char *path, int32_t keepCurrentDirectory,
                                                   uint16_t mode);

/* dates and times */
KXEXPORT int32_t  KXAPI kxFileBuildIntlTimeStrShortFormat(uint8_t hour, uint8_t minute,
                                                          char *buffer, int16_t maxLength);
KXEXPORT int32_t  KXAPI kxFileBuildIntlDateStrShortFormat(uint8_t year, uint8_t month,
                                                          uint8_t day, char *buffer,
                                                          int16_t maxLength);

#ifdef __cplusplus
}
#endif

#endif /* KXFILES_H */
