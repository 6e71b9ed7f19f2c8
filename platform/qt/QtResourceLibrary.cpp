#include "platform/qt/QtResourceLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

#include <atomic>
#include <map>

namespace KDAutoUpdate {

namespace {

// Resource names are flat: anything that could climb into another library's map root is refused.
bool IsPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && name != u"." &&
           name != u"..";
}

QString NextMapRoot() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("/kdau-reslib-%1").arg(++counter);
}

std::atomic<QtResourceLibrary::PictureScaler> g_scaler{nullptr};

std::string ToStdString(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

QtResourceLibrary::~QtResourceLibrary() {
    CloseResourceLibrary();
}

std::string QtResourceLibrary::FileName() const {
    return "_AuResLib.rcc";
}

bool QtResourceLibrary::OpenResourceLibrary(const std::string& filePath) {
    try {
        CloseResourceLibrary();
        QFileInfo info(QString::fromStdString(filePath));
        if (!filePath.empty() && !info.exists() && !m_fallbackFolder.empty()) {
            info = QFileInfo(QDir(QString::fromStdString(m_fallbackFolder)), info.fileName());
        }
        if (filePath.empty() || !info.isFile()) {
            return false;
        }
        const QString absolute = info.absoluteFilePath();
        const QString root = NextMapRoot();
        if (!QResource::registerResource(absolute, root)) {
            return false;
        }
        m_filePath = absolute;
        m_mapRoot = root;
        return true;
    } catch (...) {
        return false;
    }
}

void QtResourceLibrary::CloseResourceLibrary() {
    if (m_mapRoot.isEmpty()) {
        return;
    }
    QResource::unregisterResource(m_filePath, m_mapRoot);
    m_filePath.clear();
    m_mapRoot.clear();
}

bool QtResourceLibrary::IsOpen() const {
    return !m_mapRoot.isEmpty();
}

std::string QtResourceLibrary::ResourceFilePath() const {
    return m_filePath.toStdString();
}

QString QtResourceLibrary::ResourcePath(const std::string& name) const {
    const QString wanted = QString::fromStdString(name);
    if (!IsOpen() || !IsPlainName(wanted)) {
        return {};
    }
    const QString dir = u':' + m_mapRoot;
    const QString exact = dir + u'/' + wanted;
    if (QFileInfo(exact).isFile()) {
        return exact;
    }
    // Resource names, like the platform's own, do not depend on case.
    for (const QString& entry : QDir(dir).entryList(QDir::Files)) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir + u'/' + entry;
        }
    }
    return {};
}

std::optional<std::string> QtResourceLibrary::ReadResource(const std::string& name) const {
    try {
        const QString path = ResourcePath(name);
        if (path.isEmpty()) {
            return std::nullopt;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return std::nullopt;
        }
        return ToStdString(file.readAll());
    } catch (...) {
        return std::nullopt;
    }
}

PicturePtr QtResourceLibrary::LoadResourcePicture(const std::string& name, int size, long, long,
                                                  long, long) {
    try {
        const QString wanted = QString::fromStdString(name);
        if (!IsOpen() || !IsPlainName(wanted)) {
            return nullptr;
        }
        // The stored sizes of the picture, from its NAME-SIZE.png entries.
        const QString prefix = wanted + u'-';
        std::map<int, QString> stored;
        const QString dir = u':' + m_mapRoot;
        for (const QString& entry : QDir(dir).entryList(QDir::Files)) {
            if (!entry.startsWith(prefix, Qt::CaseInsensitive) ||
                !entry.endsWith(u".png", Qt::CaseInsensitive)) {
                continue;
            }
            bool ok = false;
            const int n = entry.mid(prefix.size(), entry.size() - prefix.size() - 4).toInt(&ok);
            if (ok && n > 0) {
                stored.emplace(n, dir + u'/' + entry);
            }
        }
        if (stored.empty()) {
            return nullptr;
        }

        // Exact size, else the next larger (scaling down keeps detail), else the largest.
        auto chosen = size > 0 ? stored.lower_bound(size) : stored.end();
        if (chosen == stored.end()) {
            chosen = std::prev(stored.end());
        }
        const int target = size > 0 ? size : chosen->first;
        QFile file(chosen->second);
        if (!file.open(QIODevice::ReadOnly)) {
            return nullptr;
        }
        std::string bytes = ToStdString(file.readAll());
        const PictureScaler scale = g_scaler.load();
        int shown = chosen->first;
        if (shown != target && scale) {
            std::optional<std::string> scaled = scale(bytes, target);
            if (!scaled) {
                return nullptr;
            }
            bytes = std::move(*scaled);
            shown = target;
        }
        auto picture = std::make_shared<Picture>();
        picture->name = name;
        picture->size = shown;
        picture->data = std::move(bytes);
        return picture;
    } catch (...) {
        return nullptr;
    }
}

void QtResourceLibrary::SetPictureScaler(PictureScaler scaler) {
    g_scaler.store(scaler);
}

} // namespace KDAutoUpdate
