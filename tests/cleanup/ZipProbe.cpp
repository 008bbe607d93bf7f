// A stand-in for the ZIP engine that describes the block it was given (and the folder its names
// start from) through the callback, so tests can see what reaches the engine. Built without
// ZIP_PROBE_WITH_EXEC it exports only the version functions.
#include <unistd.h>

#include <string>

#include "zipengine/ZipBlocks.h"

#ifdef ZIP_PROBE_WITH_EXEC
namespace {

int baseFolder = -1;  // ZipSetBaseFolder's, for the description

int32_t Say(void* caller, ZipCallback callback, int32_t action, int32_t code,
            const std::string& text, int64_t size = 0) {
    static ZipCallbackRecord record;
    record = {};
    record.caller = caller;
    record.version = kZipBlockVersion;
    record.actionCode = action;
    record.errorCode = code;
    record.fileSize = size;
    text.copy(record.text, sizeof record.text - 1);
    return callback(&record);
}

std::string N(int64_t value) {
    return std::to_string(value);
}

template <typename Block>
std::string Patterns(const Block& b) {
    std::string text;
    for (int i = 0; i < b.fileSpecCount; ++i) {
        if (i) text += '|';
        text += b.fileSpecs[i];
    }
    return text;
}

// Reports a file start and then steps until the caller stops it (at most 100).
// The folder the run's names start from, when one was set: " base=/its/path".
std::string Base() {
    if (baseFolder < 0) return {};
    char path[4096];
    const ssize_t n =
        ::readlink(("/proc/self/fd/" + std::to_string(baseFolder)).c_str(), path, sizeof path);
    return " base=" + std::string(path, n > 0 ? size_t(n) : 0);
}

template <typename Block>
int32_t Work(const Block& b, const std::string& description) {
    Say(b.caller, b.callback, ZipActionMessage, 0, description + Base() + "\r\n");
    if (std::string(b.zipFilename).find("steps") != std::string::npos) {
        Say(b.caller, b.callback, ZipActionFileStart, 0, "a/b.txt", 5000000000LL);
        for (int i = 1; i <= 100; ++i) {
            if (Say(b.caller, b.callback, ZipActionStep, 0, " ") == -1) {
                Say(b.caller, b.callback, ZipActionMessage, 7, "stopped after " + N(i) + "\n");
                return 0;
            }
        }
        Say(b.caller, b.callback, ZipActionBatchEnd, 0, " ");
    }
    return b.fileSpecCount;
}

}  // namespace
#endif

extern "C" {

#ifdef ZIP_PROBE_WITH_EXEC
ZIP_ENGINE_API int32_t ZipAddExec(ZipAddBlock* b) {
    return Work(*b, "add v" + N(b->version) + " trace" + N(b->trace) + " pw=" + b->password +
                        " enc" + N(b->encrypt) + " hidden" + N(b->hiddenAndSystemFiles) + " r44=" +
                        N(b->reserved44) + " verbose" + N(b->verbose) + " r56=" + N(b->reserved56) +
                        " level" + N(b->compressionLevel) + " drop" + N(b->dropFolderNames) +
                        " recurse" + N(b->recurseFolders) + " r80=" + N(b->reserved80) + " dos" +
                        N(b->dosNames) + " move" + N(b->move) + " update" + N(b->update) +
                        " freshen" + N(b->freshen) + " ziptime" + N(b->archiveTime) +
                        " r128=" + N(b->reserved128) + " zip=" + b->zipFilename +
                        " files=" + Patterns(*b) + (b->handle ? " owner" : ""));
}

ZIP_ENGINE_API int32_t ZipExtExec(ZipExtractBlock* b) {
    return Work(*b, "extract v" + N(b->version) + " trace" + N(b->trace) + " pw=" + b->password +
                        " test" + N(b->test) + " r40=" + N(b->reserved40) + " verbose" +
                        N(b->verbose) + " update" + N(b->update) + " freshen" + N(b->freshen) +
                        " names" + N(b->keepFolderNames) + " overwrite" + N(b->overwrite) +
                        " r72=" + N(b->reserved72) + " zip=" + b->zipFilename +
                        " files=" + Patterns(*b));
}

ZIP_ENGINE_API void ZipSetBaseFolder(int32_t folder) {
    baseFolder = folder;
}
#endif

ZIP_ENGINE_API int32_t GetZipAddVersion() {
    return 1;
}
ZIP_ENGINE_API int32_t GetZipExtVersion() {
    return 1;
}

}  // extern "C"
