#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
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

// The first byte picks a key, so nested and repeated names are explored too; the rest is the
// text.
inline const char* FuzzKey(const uint8_t* data, size_t size) {
    static const char* const kKeys[] = {"token",   "tervane_username", "detail", "error",
                                        "message", "size_bytes",       "k",      ""};
    return size == 0 ? "k" : kKeys[data[0] % (sizeof kKeys / sizeof kKeys[0])];
}

inline std::string FuzzText(const uint8_t* data, size_t size) {
    return size == 0 ? std::string()
                     : std::string(reinterpret_cast<const char*>(data + 1), size - 1);
}
