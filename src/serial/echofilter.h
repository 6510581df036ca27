#pragma once
// Drops the echo of a converter that hears its own transmission: what was
// sent is expected back first, byte for byte, within a deadline. The first
// byte that differs ends the expectation and everything from there on is
// the far end's.
#include <QByteArray>

#include <cstdint>
#include <cstring>

namespace dxu::serialio {

class EchoFilter {
public:
    // Bytes just sent; their echo is expected until untilUs.
    void sent(const char* data, int size, uint64_t untilUs)
    {
        // Far more than any command: an echo that never comes is not kept for ever.
        if (expected_.size() + size > 4096)
            expected_.clear();
        expected_.append(data, size);
        untilUs_ = untilUs;
    }
    // Removes the expected echo from the front of data; returns what is left
    // (moved to the front).
    int strip(char* data, int size, uint64_t nowUs)
    {
        if (expected_.isEmpty())
            return size;
        if (nowUs > untilUs_) {
            expected_.clear();
            return size;
        }
        const int n = std::min<int>(size, int(expected_.size()));
        if (std::memcmp(data, expected_.constData(), size_t(n)) != 0) {
            expected_.clear();
            return size;
        }
        expected_.remove(0, n);
        std::memmove(data, data + n, size_t(size - n));
        return size - n;
    }
    void clear() { expected_.clear(); }

private:
    QByteArray expected_;
    uint64_t untilUs_ = 0;
};

} // namespace dxu::serialio
