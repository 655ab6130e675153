#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <deque>
#include <memory>
#include <mutex>

namespace tessapak::app::browser {

class ArchiveIndex;

// Thumbnails of an archive's pictures, made on worker threads and kept
// within a bound: at most kCacheBytes of decoded thumbnails (16 MiB, about
// 450 thumbnails of 96 x 96 pixels), the least recently used going first.
// Requests are served newest first and only the newest kQueueLimit wait, so
// that scrolling fast through thousands of pictures makes only the ones in
// view.
class ThumbnailCache : public QObject {
    Q_OBJECT

  public:
    static constexpr int kSide = 96;
    static constexpr qint64 kCacheBytes = qint64{16} << 20;
    static constexpr int kQueueLimit = 256;
    // Larger entries are not read for a thumbnail.
    static constexpr qint64 kMaxEntryBytes = qint64{64} << 20;

    explicit ThumbnailCache(std::shared_ptr<const ArchiveIndex> index, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // The thumbnail when it is made; otherwise a null image, and it is asked
    // for. A picture that cannot be shown gets a null image for good.
    QImage thumbnail(int entry);

    // Waits until nothing is queued or being made (for tests and benchmarks).
    void waitForIdle();

  signals:
    void ready(int entry);

  private:
    friend class ThumbnailWorker;
    struct Shared;

    void deliver(int entry, const QImage& image);

    std::shared_ptr<const ArchiveIndex> index_;
    std::shared_ptr<Shared> shared_;
    QCache<int, QImage> cache_;  // cost in KiB
    QSet<int> unshowable_;
    QThreadPool pool_;
};

}  // namespace tessapak::app::browser
