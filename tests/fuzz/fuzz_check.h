#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

// A broken property aborts, so libFuzzer keeps the input that broke it.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The input as notifications, each led by a byte whose remainder by limit is its length.
// Notifications whose sequence byte has the high bit clear go to steer first, so that most of
// them can be put on the expected numbering and reach the deeper paths.
template <typename Steer, typename Use>
void ForEachNotification(const uint8_t* data, size_t size, size_t limit, Steer steer, Use use) {
    size_t offset = 0;
    while (offset < size) {
        const size_t length = data[offset++] % limit;
        const size_t take = length < size - offset ? length : size - offset;
        std::vector<uint8_t> notification(data + offset, data + offset + take);
        offset += take;
        if (notification.size() >= 3 && (notification[2] & 0x80) == 0) {
            notification[2] = steer(notification[2]);
        }
        use(notification);
    }
}
