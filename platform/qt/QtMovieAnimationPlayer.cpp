#include "platform/qt/QtMovieAnimationPlayer.h"

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace KDAutoUpdate {

namespace {
constexpr int kMinDelayMs = 20; // no busy stepping on frames without a delay
constexpr int kDefaultDelayMs = 100;
constexpr int kUncounted = std::numeric_limits<int>::max();
} // namespace

QtMovieAnimationPlayer::QtMovieAnimationPlayer(QWidget* surface, IResourceLibrary* resources)
    : m_surface(surface), m_resources(resources), m_timer(std::make_unique<QTimer>()) {
    m_timer->setSingleShot(true);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { Step(); });
    if (!m_surface)
        return;
    try {
        m_label = new QLabel(m_surface);
        m_label->setBackgroundRole(QPalette::Window);
        QLayout* layout = m_surface->layout();
        if (!layout) {
            layout = new QVBoxLayout(m_surface);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        layout->addWidget(m_label);
        m_label->show();
        ApplyOptions();
    } catch (...) {
    }
}

QtMovieAnimationPlayer::~QtMovieAnimationPlayer() {
    m_timer->stop();
    delete m_label.data();
    m_movie.reset();
    m_buffer.reset();
}

QLabel* QtMovieAnimationPlayer::Label() const {
    return m_label.data();
}

int QtMovieAnimationPlayer::CurrentFrame() const {
    return m_movie ? m_frame : -1;
}

int QtMovieAnimationPlayer::FrameCount() const {
    return m_movie ? m_frameCount : 0;
}

void QtMovieAnimationPlayer::SetOptions(bool first, bool second, bool third) {
    m_centre = first;
    m_transparent = second;
    m_loop = third;
    ApplyOptions();
}

void QtMovieAnimationPlayer::ApplyOptions() {
    if (!m_label)
        return;
    m_label->setAlignment(m_centre ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    m_label->setAutoFillBackground(!m_transparent);
}

void QtMovieAnimationPlayer::Close() {
    m_timer->stop();
    m_movie.reset();
    m_buffer.reset();
    m_bytes.clear();
    m_frameCount = 0;
    m_frame = -1;
    if (m_label)
        m_label->clear();
}

bool QtMovieAnimationPlayer::Open(const std::string& resourceName) {
    try {
        Close();
        const std::optional<std::string> bytes =
            m_resources ? m_resources->ReadResource(resourceName) : std::nullopt;
        if (!bytes || bytes->empty())
            return false;
        m_bytes = QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
        m_buffer = std::make_unique<QBuffer>(&m_bytes);
        if (!m_buffer->open(QIODevice::ReadOnly)) {
            Close();
            return false;
        }
        m_movie = std::make_unique<QMovie>(m_buffer.get());
        // Every frame is kept, so any frame can be shown again without rewinding the reader.
        m_movie->setCacheMode(QMovie::CacheAll);
        if (!m_movie->isValid() || !ShowFrame(0)) {
            Close();
            return false;
        }
        m_frameCount = std::max(m_movie->frameCount(), 0);
        return true;
    } catch (...) {
        Close();
        return false;
    }
}

bool QtMovieAnimationPlayer::ShowFrame(int frame) {
    if (!m_movie)
        return false;
    if (frame != m_movie->currentFrameNumber() && !m_movie->jumpToFrame(frame))
        return false;
    if (m_movie->currentFrameNumber() != frame)
        return false;
    m_frame = frame;
    if (m_label)
        m_label->setPixmap(m_movie->currentPixmap());
    return true;
}

bool QtMovieAnimationPlayer::Play(long from, long to, long repeat) {
    try {
        if (!m_movie)
            return false;
        const int last = m_frameCount > 0 ? m_frameCount - 1 : kUncounted;
        const long first = std::max(from, 0L);
        const long end = to < 0 || to > last ? last : to;
        if (first > end)
            return false;
        m_from = static_cast<int>(first);
        m_to = static_cast<int>(end);
        if (repeat < 0)
            m_passesLeft = -1;
        else if (repeat == 0)
            m_passesLeft = m_loop ? -1 : 1;
        else
            m_passesLeft = repeat;
        m_timer->stop();
        if (!ShowFrame(m_from))
            return false;
        ScheduleStep();
        return true;
    } catch (...) {
        return false;
    }
}

void QtMovieAnimationPlayer::Step() {
    try {
        if (!m_movie)
            return;
        // A pass ends at `to`, or where an animation whose frames were not counted runs out.
        const bool passDone = m_frame >= m_to || !ShowFrame(m_frame + 1);
        if (passDone) {
            if (m_passesLeft > 0 && --m_passesLeft == 0)
                return; // the last frame stays
            if (!ShowFrame(m_from))
                return;
        }
        ScheduleStep();
    } catch (...) {
    }
}

void QtMovieAnimationPlayer::ScheduleStep() {
    const int delay = m_movie ? m_movie->nextFrameDelay() : 0;
    m_timer->start(delay > 0 ? std::max(delay, kMinDelayMs) : kDefaultDelayMs);
}

void QtMovieAnimationPlayer::Stop() {
    m_timer->stop();
}

bool QtMovieAnimationPlayer::IsPlaying() const {
    return m_movie && m_timer->isActive();
}

} // namespace KDAutoUpdate
