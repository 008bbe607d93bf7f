#pragma once
// Who may do what with an entry, as the properties show it.

#include <QString>

namespace platform {

// The rights as "rwxr-xr-x" (of the entry itself, not of what a link points at), its owner and
// group ("ann", "users"). Empty texts when the path cannot be reached.
struct EntryAccess {
    QString permissions;
    QString owner;
    QString group;
};
EntryAccess EntryAccessOf(const QString& path);

}  // namespace platform
