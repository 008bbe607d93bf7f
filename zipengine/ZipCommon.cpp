#include "zipengine/ZipCommon.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zipengine {

namespace {

constexpr int kMaxPasswordLength = 80;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Matches from the given positions; '?' takes one UTF-8 character.
bool MatchFrom(std::string_view name, std::string_view mask) {
    size_t n = 0, m = 0;
    size_t starMask = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && mask[m] == '?') {
            ++m;
            ++n;
            while (n < name.size() && IsContinuationByte(name[n])) ++n;
        } else if (m < mask.size() && LowerAscii(mask[m]) == LowerAscii(name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool RealDisplay() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    const QString platform = QGuiApplication::platformName();
    return !platform.startsWith(QLatin1String("offscreen")) &&
           !platform.startsWith(QLatin1String("minimal"));
}

bool AskOnce(QWidget* owner, const QString& label, QString& text) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Password"));
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setMaxLength(kMaxPasswordLength);
    if (dialog.exec() != QDialog::Accepted) return false;
    text = dialog.textValue();
    return true;
}

}  // namespace

Reporter::Reporter(void* handle, void* caller, ZipCallback callback)
    : callback_(callback), record_(std::make_unique<ZipCallbackRecord>()) {
    record_->handle = handle;
    record_->caller = caller;
    record_->version = kZipBlockVersion;
}

bool Reporter::FileStart(const std::string& name, int64_t size) {
    unreported_ = 0;
    return Call(ZipActionFileStart, ZipErrorNone, size, name);
}

bool Reporter::Step() {
    return Call(ZipActionStep, ZipErrorNone, 0, " ");
}

bool Reporter::Progress(int64_t bytes) {
    unreported_ += bytes;
    while (unreported_ >= kStepBytes) {
        unreported_ -= kStepBytes;
        if (!Step()) return false;
    }
    return !stopped_;
}

bool Reporter::Message(int32_t errorCode, const std::string& text) {
    // Messages reach the caller also after a stop: they say what the stop left behind.
    if (callback_ && Invoke(ZipActionMessage, errorCode, 0, text) == -1) stopped_ = true;
    return !stopped_;
}

void Reporter::BatchEnd() {
    // The end is reported also after a stop: the caller's progress display closes on it.
    if (callback_) Invoke(ZipActionBatchEnd, ZipErrorNone, 0, " ");
}

bool Reporter::Call(int32_t action, int32_t errorCode, int64_t size, std::string_view text) {
    if (stopped_) return false;
    if (callback_ && Invoke(action, errorCode, size, text) == -1) stopped_ = true;
    return !stopped_;
}

int32_t Reporter::Invoke(int32_t action, int32_t errorCode, int64_t size, std::string_view text) {
    ZipCallbackRecord& r = *record_;
    r.actionCode = action;
    r.errorCode = errorCode;
    r.fileSize = size;
    // A long text is cut at a character boundary, so the caller never sees half a character.
    size_t length = std::min(text.size(), sizeof r.text - 1);
    if (length < text.size())
        while (length > 0 && IsContinuationByte(text[length])) --length;
    std::memcpy(r.text, text.data(), length);
    r.text[length] = 0;
    return callback_(&r);
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*") return true;
    return MatchFrom(name, mask);
}

bool HasWildcards(std::string_view text) {
    return text.find_first_of("*?") != text.npos;
}

// Where openat2 is missing (before Linux 5.6): each name opened in turn, never through a link,
// and a change of device refused.
int OpenBeneathStepwise(int root, const std::string& path, int flags) {
    struct stat rootSt;
    if (::fstat(root, &rootSt) != 0) return -1;
    int fd = ::dup(root);
    size_t start = 0;
    while (fd >= 0) {
        size_t end = path.find('/', start);
        const bool last = end == std::string::npos;
        if (last) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") {
            if (last) {
                const int again = ::openat(fd, ".", flags | O_CLOEXEC);
                ::close(fd);
                return again;
            }
            continue;
        }
        if (part == "..") {
            ::close(fd);
            errno = EXDEV;
            return -1;
        }
        const int next = ::openat(
            fd, part.c_str(),
            last ? flags | O_NOFOLLOW | O_CLOEXEC : O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        struct stat st;
        if (next >= 0 && (::fstat(next, &st) != 0 || st.st_dev != rootSt.st_dev)) {
            ::close(next);
            errno = EXDEV;
            return -1;
        }
        if (last) return next;
        fd = next;
    }
    return -1;
}

namespace {

int baseFolder = -1;  // the engine runs on its caller's thread, one run at a time

}  // namespace

void SetBaseFolder(int folder) {
    baseFolder = folder;
}

int OpenBaseFolder(int flags) {
    return baseFolder >= 0 ? ::openat(baseFolder, ".", flags | O_CLOEXEC)
                           : ::open(".", flags | O_CLOEXEC);
}

int OpenBeneath(int root, const std::string& path, int flags) {
    struct open_how how {};
    how.flags = uint64_t(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    const long fd =
        ::syscall(SYS_openat2, root, path.empty() ? "." : path.c_str(), &how, sizeof how);
    if (fd >= 0 || errno != ENOSYS) return int(fd);
    return OpenBeneathStepwise(root, path, flags);
}

PasswordAnswer AskPassword(void* owner, bool confirm, std::string& password) {
    if (!RealDisplay()) return PasswordAnswer::NoDisplay;
    auto* parent = static_cast<QWidget*>(owner);
    for (;;) {
        QString first;
        if (!AskOnce(parent, QStringLiteral("Password of the archive:"), first))
            return PasswordAnswer::Cancelled;
        if (first.isEmpty()) continue;
        if (confirm) {
            QString second;
            if (!AskOnce(parent, QStringLiteral("Type the password again:"), second))
                return PasswordAnswer::Cancelled;
            if (second != first) {
                QMessageBox::warning(parent, QStringLiteral("Password"),
                                     QStringLiteral("The two passwords differ. Please type it "
                                                    "again."));
                continue;
            }
        }
        password = first.toStdString();
        return PasswordAnswer::Given;
    }
}

}  // namespace zipengine

extern "C" {

ZIP_ENGINE_API void ZipSetBaseFolder(int32_t folder) {
    zipengine::SetBaseFolder(folder);
}

}  // extern "C"
