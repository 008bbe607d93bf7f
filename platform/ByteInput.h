#pragma once
// Bytes from a file or from standard input, unpacked on the way when they are gzip-compressed
// (told by their first two bytes), read in pieces so that input of any length streams through.

#include <QString>
#include <cstdint>
#include <memory>

namespace platform {

class ByteInput {
public:
    ByteInput();
    ~ByteInput();
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    // A host path, or "-" for standard input. False with errorText() when it cannot be read.
    bool Open(const QString& hostPath);
    // Up to size bytes of the (unpacked) content into buffer: the count, 0 at the end, -1 when
    // reading or unpacking failed (errorText()).
    int64_t Read(char* buffer, int64_t size);
    // The bytes taken from the source so far (before unpacking), for progress.
    int64_t Consumed() const;
    QString errorText() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
