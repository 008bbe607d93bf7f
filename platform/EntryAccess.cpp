#include "platform/EntryAccess.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include "platform/Drives.h"
#include "platform/HostNames.h"

namespace platform {

EntryAccess EntryAccessOf(const QString& path) {
    const QByteArray host = EncodeHostName(ToHostPath(path));
    struct stat st {};
    if (host.isEmpty() || ::lstat(host.constData(), &st) != 0) return {};
    QString rights;
    const char* letters = "rwx";
    for (int bit = 8; bit >= 0; --bit)
        rights += (st.st_mode & (1u << bit)) ? QChar(letters[(8 - bit) % 3]) : u'-';
    const passwd* user = ::getpwuid(st.st_uid);
    const group* grp = ::getgrgid(st.st_gid);
    return {rights, user ? QString::fromUtf8(user->pw_name) : QString::number(st.st_uid),
            grp ? QString::fromUtf8(grp->gr_name) : QString::number(st.st_gid)};
}

}  // namespace platform
