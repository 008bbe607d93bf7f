#pragma once
// The little-endian numbers of the ZIP format, read from bytes as stored.

#include <cstdint>

namespace zip_bytes {

inline uint16_t Le16(const char* p) {
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
inline uint32_t Le32(const char* p) {
    return uint32_t(Le16(p)) | uint32_t(Le16(p + 2)) << 16;
}
inline uint64_t Le64(const char* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}

}  // namespace zip_bytes
