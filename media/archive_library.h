// The archive library "zev.lib": 7z archives created, extracted, tested, listed and
// edited on behalf of the engine. On Win32 it is a DLL that the engine imports by name;
// natively it is the static library `zev_archive`. Both builds export the same eight
// functions with the same contracts.
//
// Strings are zero-terminated UTF-16. Paths may use "\" or "/" as separator on every
// platform (natively "\" is mapped to "/"). A file list is an array of string pointers
// followed by its 32-bit count; a null array with count 0 is an empty list.
//
// Every function records an error code for the calling thread (0 on success), read with
// GetLastArchiveError() right after a call returned 0 / null.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ZEV_STDCALL __stdcall
#else
#define ZEV_STDCALL
#endif

extern "C" {

// Error codes ------------------------------------------------------------------------
enum ZevArchiveError : int32_t {
    ZEV_ARCHIVE_OK = 0,
    // A null or malformed argument: missing archive path, unknown switch in a switch text,
    // a listing handle that is not open.
    ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT = 1001,
    // The archive does not exist, is not a 7z archive, or its headers are damaged or cut.
    ZEV_ARCHIVE_ERROR_CANNOT_OPEN = 1002,
    // The archive is encrypted and no password was given, or every password offered (the
    // password argument, then each one the password callback supplied) was wrong.
    ZEV_ARCHIVE_ERROR_WRONG_PASSWORD = 1003,
    // Packed data is damaged: data error, CRC mismatch, unexpected end of data.
    ZEV_ARCHIVE_ERROR_DATA = 1004,
    // The archive uses a method or feature this library does not have.
    ZEV_ARCHIVE_ERROR_UNSUPPORTED = 1005,
    // A file could not be read: the archive, or a file or folder to be added.
    ZEV_ARCHIVE_ERROR_READ = 1006,
    // A file or folder could not be written: extracted output or the new archive.
    ZEV_ARCHIVE_ERROR_WRITE = 1007,
    // A callback asked to stop (progress returned 0, notice or overwrite callback returned 0).
    ZEV_ARCHIVE_ERROR_ABORTED = 1008,
    // An archive entry names a path outside the output folder (absolute path, drive
    // letter, "..", leading separator, device name, ":" stream syntax) or has no name.
    // Checked for every selected entry before anything is written.
    ZEV_ARCHIVE_ERROR_UNSAFE_PATH = 1009,
    // A named entry to extract or test is not in the archive, or a file to add (a plain
    // path, not a wildcard) does not exist.
    ZEV_ARCHIVE_ERROR_NOT_FOUND = 1010,
    // Used by the engine itself: the extraction process could not be started.
    ZEV_ARCHIVE_ERROR_PROCESS = 1016,
    // Out of memory or of another system resource (threads). Retrying with less demanding
    // settings, or in a fresh process, may succeed.
    ZEV_ARCHIVE_ERROR_RESOURCES = 1018,
    // Anything else (an unexpected failure inside 7-Zip).
    ZEV_ARCHIVE_ERROR_INTERNAL = 1099,
};

// Callbacks ---------------------------------------------------------------------------
// Non-zero return = go on, 0 = stop (the call then fails with ZEV_ARCHIVE_ERROR_ABORTED).

// Progress: the entry being worked on (archive path, "\"-separated), bytes done and total.
typedef int32_t(ZEV_STDCALL* ZevArchiveProgress)(const char16_t* name, uint64_t done, uint64_t total);

// Password: asked when the archive needs a password and the password argument is empty or
// proved wrong. Writes a zero-terminated password of at most capacity units (terminator
// included) into buffer and returns non-zero, or returns 0 when it has none (left). Asked
// at most ZEV_ARCHIVE_PASSWORD_ATTEMPTS times per call.
typedef int32_t(ZEV_STDCALL* ZevArchivePassword)(char16_t* buffer, uint32_t capacity);
enum : uint32_t { ZEV_ARCHIVE_PASSWORD_CAPACITY = 1024, ZEV_ARCHIVE_PASSWORD_ATTEMPTS = 8 };

// Notice: one call per entry finished, with what happened to it and its archive path.
enum ZevArchiveNotice : int32_t {
    ZEV_ARCHIVE_NOTICE_EXTRACTED = 1,  // written to the output folder (or tested good)
    ZEV_ARCHIVE_NOTICE_ADDED = 2,      // packed into the archive
    ZEV_ARCHIVE_NOTICE_DELETED = 3,    // removed from the archive
    ZEV_ARCHIVE_NOTICE_KEPT = 4,       // not extracted: the existing file was kept
};
typedef int32_t(ZEV_STDCALL* ZevArchiveNoticeCallback)(int32_t notice, const char16_t* name);

// Overwrite question, asked before an existing output file is replaced: the existing
// file's full path, size and modification time, then the entry's archive path, size and
// modification time. 64-bit values come as low and high 32-bit halves; times are
// Windows file times (100 ns since 1601-01-01 UTC), 0 when unknown.
// Answer ZEV_ARCHIVE_OVERWRITE (4) to replace the file, ZEV_ARCHIVE_KEEP (1) to keep it
// and skip the entry, 0 to stop. Without a callback existing files are replaced.
enum : int32_t { ZEV_ARCHIVE_KEEP = 1, ZEV_ARCHIVE_OVERWRITE = 4 };
typedef int32_t(ZEV_STDCALL* ZevArchiveOverwrite)(const char16_t* existingPath, uint32_t existingSizeLow,
                                                  uint32_t existingSizeHigh, uint32_t existingTimeLow,
                                                  uint32_t existingTimeHigh, const char16_t* entryName,
                                                  uint32_t entrySizeLow, uint32_t entrySizeHigh, uint32_t entryTimeLow,
                                                  uint32_t entryTimeHigh);

// Listing -----------------------------------------------------------------------------
// One 48-byte entry per archive item, in archive order. The name pointer sits at offset 0
// on every build; the name uses "\" as separator.
struct ZevArchiveEntry {
    union {
        const char16_t* name;
        uint64_t namePadding;  // keeps the layout identical on 32- and 64-bit builds
    };
    uint64_t size;        // unpacked size in bytes
    uint64_t packedSize;  // packed size of the solid block that starts with this item, else 0
    uint64_t modified;    // Windows file time, 0 when unknown
    uint32_t attributes;  // Windows file attributes (0x10 = folder, 0x01 = read-only)
    uint32_t crc;         // CRC-32 of the data when ZEV_ARCHIVE_ENTRY_HAS_CRC is set
    uint32_t flags;       // ZEV_ARCHIVE_ENTRY_* bits
    uint32_t index;       // the item's index in the archive
};
enum : uint32_t {
    ZEV_ARCHIVE_ENTRY_FOLDER = 1,
    ZEV_ARCHIVE_ENTRY_ENCRYPTED = 2,
    ZEV_ARCHIVE_ENTRY_HAS_CRC = 4,
};
static_assert(sizeof(ZevArchiveEntry) == 48, "listing entries are 48 bytes");
static_assert(offsetof(ZevArchiveEntry, name) == 0, "the name pointer is at offset 0");

typedef struct ZevArchiveListingTag* ZevArchiveListing;

// Compression level codes (CreateArchive's level): the default strength used before the
// switch text is applied. Any other value means normal.
enum ZevArchiveLevel : int32_t {
    ZEV_ARCHIVE_LEVEL_STORE = 0,
    ZEV_ARCHIVE_LEVEL_ULTRA_ALT = 1,  // same as ultra
    ZEV_ARCHIVE_LEVEL_FAST = 4,
    ZEV_ARCHIVE_LEVEL_FASTEST = 5,
    ZEV_ARCHIVE_LEVEL_NORMAL = 6,
    ZEV_ARCHIVE_LEVEL_MAXIMUM = 130,
    ZEV_ARCHIVE_LEVEL_ULTRA = 132,
};

// CreateArchive's mode.
enum ZevArchiveMode : int32_t {
    // Add to the archive (created when missing); an entry of the same name is replaced.
    ZEV_ARCHIVE_MODE_ADD = 0,
    // Like ADD, but an existing entry is replaced only by a file that is newer or differs
    // in size.
    ZEV_ARCHIVE_MODE_UPDATE = 1,
    // A new archive holding only the listed files replaces any existing one.
    ZEV_ARCHIVE_MODE_CREATE = 2,
};

// Functions ---------------------------------------------------------------------------

// Remembers the folder where an external 7-Zip DLL would be looked for. 7-Zip is built
// into this library, so nothing is loaded from it. Returns 1.
int32_t ZEV_STDCALL Set7zipDllDirectory(const char16_t* folder);

// Packs files into the 7z archive at archive (see ZevArchiveMode for what happens to an
// existing one; it is replaced only once the new archive is complete).
//   files: files, folders (added with everything below them) or a wildcard in the last
//     part ("C:\dir\*", "C:\dir\*.txt"; a matching folder is added whole). Each is stored
//     under its name relative to the folder that holds it: "C:\data\bin" adds
//     "bin\...", "C:\data\*" adds the contents of "C:\data" without "data\". Later
//     entries replace earlier ones of the same stored name (letter case ignored).
//   excluded: wildcards; a file or folder whose name, stored path or full path matches one
//     is left out (a folder with everything below it).
//   switches: 7-Zip command-line switches separated by blanks: "-m<name>[=<value>]"
//     method switches ("-m0=BCJ2", "-m1d=26", "-mb0s1:2", "-mhe=on", "-mmt=2", "-mx=9",
//     ...), plus "-ssw", "-ssc", "-ssc-" and "-r", which are accepted and change nothing.
//     Anything else fails with ZEV_ARCHIVE_ERROR_INVALID_ARGUMENT. A later switch with the
//     same name replaces an earlier one.
//   password: non-empty = AES-256 encryption of the data ("-mhe=on" also hides names).
//   notice: called with ZEV_ARCHIVE_NOTICE_ADDED per file packed. reserved: pass 0.
// Returns non-zero on success.
int32_t ZEV_STDCALL CreateArchive(const char16_t* archive, int32_t level, const char16_t* const* files,
                                  uint32_t fileCount, const char16_t* const* excluded, uint32_t excludedCount,
                                  int32_t mode, const char16_t* switches, const char16_t* password,
                                  ZevArchiveProgress progress, ZevArchiveNoticeCallback notice, void* reserved);

// Extracts entries into outputFolder (with or without a trailing separator; created when
// missing).
//   operation: 1 = extract; 0 = only test, nothing is written.
//   entries: archive paths or wildcards ("*" matches across folders too); a folder's path
//     selects everything below it; letter case ignored; an empty list selects everything.
//     A name that selects nothing fails with ZEV_ARCHIVE_ERROR_NOT_FOUND before any
//     extraction.
//   pathMode: 0 = keep the stored folders; 1 = flat (every file straight into
//     outputFolder, folder entries skipped).
// Every selected entry's path is checked first; one that would leave the output folder
// fails the call with ZEV_ARCHIVE_ERROR_UNSAFE_PATH and nothing is written. Each file is
// written to a temporary name beside its target and renamed into place only when its
// data checked good, so a failure never leaves a damaged or partial file; folders are
// created at the end.
int32_t ZEV_STDCALL ExtractArchive(const char16_t* archive, int32_t operation, const char16_t* outputFolder,
                                   const char16_t* const* entries, uint32_t entryCount, int32_t pathMode,
                                   const char16_t* password, ZevArchivePassword passwordCallback,
                                   ZevArchiveProgress progress, ZevArchiveNoticeCallback notice,
                                   ZevArchiveOverwrite overwrite);

// Tests entries (all when entries is empty) by decoding them and checking their CRCs.
// operation and outputFolder are ignored (pass 0).
int32_t ZEV_STDCALL TestArchive(const char16_t* archive, int32_t operation, const char16_t* outputFolder,
                                const char16_t* const* entries, uint32_t entryCount, const char16_t* password,
                                ZevArchivePassword passwordCallback, ZevArchiveProgress progress);

// Removes entries (matched as for ExtractArchive) from the archive, which is rewritten
// with the same compression settings. Names that match nothing are not an error; when
// nothing matches the archive is left untouched. operation: pass 1; the three reserved
// arguments: pass 0.
int32_t ZEV_STDCALL DeleteFromArchive(const char16_t* archive, int32_t operation, const char16_t* const* entries,
                                      uint32_t entryCount, int32_t reserved1, int32_t reserved2, const void* reserved3,
                                      const char16_t* password, ZevArchivePassword passwordCallback,
                                      ZevArchiveProgress progress, ZevArchiveNoticeCallback notice);

// Reads the archive's item list. On success returns a handle and sets *entries and *count;
// the entries (and their names) stay valid until CloseListArchive(handle). Returns null on
// failure. flags and the reserved arguments: pass 0.
ZevArchiveListing ZEV_STDCALL OpenListArchive(const char16_t* archive, int32_t flags,
                                              ZevArchivePassword passwordCallback, const void* reserved1,
                                              const void* reserved2, const void* reserved3, const char16_t* password,
                                              const ZevArchiveEntry** entries, uint32_t* count);

// Frees a listing. Returns 0 for a null handle, else 1.
int32_t ZEV_STDCALL CloseListArchive(ZevArchiveListing listing);

// The error code recorded by the calling thread's last call (0 after a success).
int32_t ZEV_STDCALL GetLastArchiveError(void);

}  // extern "C"
