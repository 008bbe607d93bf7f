#pragma once
// Local time on this host. Converting a time to local time asks the C library, which looks at
// the zone file again on every call unless the TZ variable names the zone; the views convert
// two times per listed folder, so a program does this once when it starts.

namespace platform {

// Names the host's own zone in TZ when TZ is unset, so that conversions read it once.
void PinLocalTimeZone();

}  // namespace platform
