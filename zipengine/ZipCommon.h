#pragma once
// What the two engine libraries share: the callback reporter, name masks and the password
// prompt. Internal to the libraries; the program sees only ZipBlocks.h.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "zipengine/ZipBlocks.h"

namespace zipengine {

inline constexpr int64_t kStepBytes = 32768;  // one ZipActionStep per this much work

// Calls the caller's callback. Once the callback has answered -1 the reporter stays stopped
// and every later call answers false without calling again.
class Reporter {
public:
    Reporter(void* handle, void* caller, ZipCallback callback);

    // Each answers false when the run is to stop.
    bool FileStart(const std::string& name, int64_t size);
    bool Step();
    // Counts work on the current file and reports one step per kStepBytes.
    bool Progress(int64_t bytes);
    bool Message(int32_t errorCode, const std::string& text);
    void BatchEnd();

    bool stopped() const { return stopped_; }
    void* handle() const { return record_->handle; }

private:
    bool Call(int32_t action, int32_t errorCode, int64_t size, std::string_view text);
    int32_t Invoke(int32_t action, int32_t errorCode, int64_t size, std::string_view text);

    ZipCallback callback_;
    std::unique_ptr<ZipCallbackRecord> record_;
    int64_t unreported_ = 0;
    bool stopped_ = false;
};

// A Windows-style name mask: '*' any run, '?' one character, ASCII letters in either case;
// "*" and "*.*" match every name.
bool MatchesMask(std::string_view name, std::string_view mask);
bool HasWildcards(std::string_view text);

enum class PasswordAnswer { Given, Cancelled, NoDisplay };

// Asks for a password in a dialog over owner (a QWidget*, may be null), twice when confirm is
// set. A dialog is shown only inside a Qt Widgets application on a real display; otherwise
// the answer is NoDisplay and nobody is asked.
PasswordAnswer AskPassword(void* owner, bool confirm, std::string& password);

// The message for a run that needs a password nobody can be asked for.
inline constexpr const char* kNoDisplayPasswordText =
    "A password is needed, and none can be asked for without a display";

// The folder ZipSetBaseFolder named (-1: the current folder), and a new descriptor of it opened
// with flags; -1 with errno set.
void SetBaseFolder(int folder);
int OpenBaseFolder(int flags);

// Opens path ('/' between names) below the open folder root without following a link anywhere
// on the way or at its end and without leaving root's file system: -1 with errno set (ELOOP for a
// link, EXDEV for a mount point or a path that climbs out). flags as for open.
int OpenBeneath(int root, const std::string& path, int flags);

inline bool Flag(int32_t value) {
    return value != 0;
}

}  // namespace zipengine
