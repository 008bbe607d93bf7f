#pragma once
// The parameter blocks of the ZIP engine's two entry points and the record of its callback,
// shared by the engine libraries (libzipadd.so, libzipext.so) and the program that loads them.
//
// Conventions: a flag is -1 for true and 0 for false; whole numbers are 32 bits, pointers
// pointer-sized; texts are zero-terminated UTF-8 strings in buffers of kZipTextBufferSize
// bytes that the caller owns for the duration of the call. Fields named reserved carry the
// fixed value shown and mean nothing to the engine.

#include <cstdint>

// The engine libraries export these four names and nothing else.
#define ZIP_ENGINE_API __attribute__((visibility("default")))

extern "C" {

inline constexpr int32_t kZipBlockVersion = 140;
inline constexpr int kZipTextBufferSize = 4096;  // Linux paths are up to 4095 bytes
inline constexpr int kZipMaxFileSpecs = 4097;

struct ZipCallbackRecord;
// Answers -1 to stop the engine, 0 to let it go on.
using ZipCallback = int32_t (*)(ZipCallbackRecord* record);

// What the engine reports through the callback (ZipCallbackRecord::actionCode).
enum ZipAction : int32_t {
    ZipActionFileStart = 1,  // a file begins: text is its name, fileSize its length
    ZipActionStep = 2,       // a step of work (up to 32768 bytes) on the current file
    ZipActionBatchEnd = 3,   // the operation ends
    ZipActionMessage = 4,    // text is a message; errorCode 0 for information
};

// Error codes of messages (ZipCallbackRecord::errorCode); 0 is information only.
enum ZipErrorCode : int32_t {
    ZipErrorNone = 0,
    ZipErrorWarning = 1,   // something was skipped; the rest went on
    ZipErrorOpen = 2,      // the archive could not be opened or created
    ZipErrorWrite = 3,     // writing the archive or a file failed
    ZipErrorRead = 4,      // reading a file or an entry failed (also a CRC mismatch)
    ZipErrorPassword = 5,  // no password, a wrong one, or none could be asked for
    ZipErrorRefused = 6,   // an entry would be written outside the target folder
    ZipErrorStopped = 7,   // the callback asked to stop
    ZipErrorVerify = 8,    // the written archive did not read back intact
};

struct ZipCallbackRecord {
    void* handle;        // the owner window handle of the block
    void* caller;        // the caller of the block, handed back unchanged
    int32_t version;     // kZipBlockVersion
    int32_t reserved12;  // 0
    int32_t actionCode;  // ZipAction
    int32_t errorCode;   // ZipErrorCode, for messages
    int64_t fileSize;    // for ZipActionFileStart; 64 bits, files may exceed 4 GiB
    char text[kZipTextBufferSize];
};

struct ZipAddBlock {
    void* handle;  // owner window for the engine's own dialogs (a QWidget*), or null
    void* caller;
    int32_t version;  // kZipBlockVersion
    ZipCallback callback;
    int32_t trace;
    char* password;      // empty with encrypt set: the engine asks for one
    int32_t reserved24;  // 0
    int32_t encrypt;     // AES-256
    int32_t hiddenAndSystemFiles;
    int32_t reserved36;  // 0
    int32_t reserved40;  // 0
    int32_t reserved44;  // -1
    int32_t reserved48;  // 0
    int32_t verbose;
    int32_t reserved56;        // -1
    int32_t compressionLevel;  // 0 (stored) to 9
    int32_t reserved64;        // 0
    int32_t reserved68;        // 0
    int32_t dropFolderNames;
    int32_t recurseFolders;
    int32_t reserved80;   // -1
    int32_t dosNames;     // accepted and ignored: Linux keeps no 8.3 names
    int32_t move;         // delete what was added once the archive reads back intact
    int32_t reserved92;   // 0
    int32_t update;       // add new files and replace entries older than their file
    int32_t freshen;      // only replace entries older than their file; update wins
    int32_t reserved104;  // 0
    int32_t archiveTime;  // give the archive the time of its newest entry
    int64_t reserved112;  // 0
    int32_t fileSpecCount;
    char* zipFilename;
    int32_t reserved128;                // 7
    char* fileSpecs[kZipMaxFileSpecs];  // relative to the current folder; wildcards allowed
};

struct ZipExtractBlock {
    void* handle;
    void* caller;
    int32_t version;
    ZipCallback callback;
    int32_t trace;
    int32_t reserved20;  // 0
    char* password;      // empty: the engine asks when an entry is encrypted
    int32_t test;        // read and check every entry, write nothing
    int32_t reserved32;  // 0
    int32_t reserved36;  // 0
    int32_t reserved40;  // -1
    int32_t verbose;
    int32_t update;   // extract what is missing or newer than the file on disk
    int32_t freshen;  // only replace files on disk older than their entry; update wins
    int32_t keepFolderNames;
    int32_t overwrite;      // replace existing files (without it they are skipped)
    int32_t fileSpecCount;  // 0: every entry
    char* zipFilename;
    int32_t reserved72;  // 7
    // Entry names, wildcards allowed; one ending in '/' names a folder literally (no
    // wildcards), with everything in it.
    char* fileSpecs[kZipMaxFileSpecs];
};

// The entry points: each returns the number of entries it added or extracted (files,
// folders and links), 0 when it did nothing.
using ZipAddExecFunction = int32_t (*)(ZipAddBlock* block);
using ZipExtExecFunction = int32_t (*)(ZipExtractBlock* block);
// The engine's version as major * 100 + minor.
using ZipVersionFunction = int32_t (*)();
// The folder the next runs' relative names (file patterns, extracted entries) start from:
// an open folder descriptor that the caller keeps open meanwhile, or -1 for the process's current
// folder (the start). The caller's current folder is then never changed for the engine.
using ZipBaseFolderFunction = void (*)(int32_t folder);

ZIP_ENGINE_API int32_t ZipAddExec(ZipAddBlock* block);
ZIP_ENGINE_API int32_t GetZipAddVersion();
ZIP_ENGINE_API int32_t ZipExtExec(ZipExtractBlock* block);
ZIP_ENGINE_API int32_t GetZipExtVersion();
ZIP_ENGINE_API void ZipSetBaseFolder(int32_t folder);

}  // extern "C"
