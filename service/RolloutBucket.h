#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

namespace KDAutoUpdate {

// Which share of a staged rollout a customer falls into. The bucket is a hash of the product
// code and the licence key, so a customer stays in as the share grows and no state is kept.
//
// A published catalogue decides the same thing in nginx with split_clients, and a customer must
// land in the same bucket whichever server answers. So the hash is nginx's own: MurmurHash2 with
// seed 0 over the key string, and a share of P percent is the part of the 32-bit range nginx
// gives to "P% ...;" (P * 100 hundredths of a percent of 0xffffffff, rounded down). Nothing
// else here may change without the published configuration changing in the same way.
class RolloutBucket {
public:
    // The key nginx hashes: "<normalized product code>:<LicKey as it arrived>".
    static QByteArray Key(QByteArrayView normalizedProductCode, QByteArrayView rawLicenceKey);

    static quint32 Hash(QByteArrayView key);
    // The first hash value outside a share of `percent` (1 to 99).
    static quint32 Bound(int percent);
    static bool InShare(quint32 hash, int percent) {
        return percent >= 100 || (percent > 0 && hash < Bound(percent));
    }
    // Where the hash lies in the range, in percent, for the log.
    static double Percentile(quint32 hash) { return hash * 100.0 / 4294967296.0; }
};

} // namespace KDAutoUpdate
