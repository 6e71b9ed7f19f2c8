#pragma once
// Which bytes of a package file an answer carries: a GET's "Range" (one range of bytes, as a
// download that resumes sends it) honoured when its "If-Range" still names this version of
// the file, by its ETag or its Last-Modified date. Anything else gets the whole file: a range
// is an offer of the client's, never a condition of the answer.

#include <QByteArray>
#include <QDateTime>

namespace KDAutoUpdate {

class PackageRange {
public:
    enum class Kind { Whole, Partial, Unsatisfiable };

    // The validators of a file of `size` bytes last written at `modified`.
    PackageRange(qint64 size, const QDateTime& modified);

    // The answer to a request with these header values (empty when absent).
    void Choose(const QByteArray& range, const QByteArray& ifRange);

    Kind kind() const { return m_kind; }
    qint64 first() const { return m_first; }
    qint64 count() const { return m_count; }
    // "bytes FIRST-LAST/SIZE" for a partial answer, "bytes */SIZE" for an unsatisfiable one.
    QByteArray ContentRange() const;
    // A strong validator of this version of the file: its size and time of writing.
    const QByteArray& ETag() const { return m_etag; }
    const QByteArray& LastModified() const { return m_lastModified; }

private:
    qint64 m_size;
    QByteArray m_etag;
    QByteArray m_lastModified;
    Kind m_kind = Kind::Whole;
    qint64 m_first = 0;
    qint64 m_count = 0;
};

} // namespace KDAutoUpdate
