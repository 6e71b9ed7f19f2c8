#include "service/RolloutBucket.h"

namespace KDAutoUpdate {

QByteArray RolloutBucket::Key(QByteArrayView normalizedProductCode,
                              QByteArrayView rawLicenceKey) {
    QByteArray key;
    key.reserve(normalizedProductCode.size() + 1 + rawLicenceKey.size());
    key.append(normalizedProductCode).append(':').append(rawLicenceKey);
    return key;
}

// MurmurHash2 as nginx computes it (seed 0, the key read as little-endian 32-bit words, a tail
// of up to three bytes), bit for bit.
quint32 RolloutBucket::Hash(QByteArrayView key) {
    constexpr quint32 kMix = 0x5bd1e995;
    const auto* data = reinterpret_cast<const unsigned char*>(key.data());
    auto length = static_cast<quint32>(key.size());
    quint32 h = length;
    while (length >= 4) {
        quint32 k = quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 |
                    quint32(data[3]) << 24;
        k *= kMix;
        k ^= k >> 24;
        k *= kMix;
        h *= kMix;
        h ^= k;
        data += 4;
        length -= 4;
    }
    switch (length) {
    case 3:
        h ^= quint32(data[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= quint32(data[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= data[0];
        h *= kMix;
        break;
    default:
        break;
    }
    h ^= h >> 13;
    h *= kMix;
    h ^= h >> 15;
    return h;
}

quint32 RolloutBucket::Bound(int percent) {
    const quint64 hundredths = static_cast<quint64>(percent) * 100;
    return static_cast<quint32>(hundredths * 0xffffffffULL / 10000);
}

} // namespace KDAutoUpdate
