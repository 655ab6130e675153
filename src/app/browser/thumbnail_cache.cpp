#include "app/browser/thumbnail_cache.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QRunnable>

#include "app/browser/archive_index.h"
#include "app/browser/picture_decode.h"
#include "archive/entry_reader.h"

namespace tessapak::app::browser {

struct ThumbnailCache::Shared {
    std::mutex mutex;
    std::deque<int> queue;  // newest at the back
    QSet<int> queued;       // queued or being made
    int workers = 0;
    bool stopping = false;
};

// Takes requests until none is left, reading through its own handle.
class ThumbnailWorker : public QRunnable {
  public:
    ThumbnailWorker(ThumbnailCache* cache, std::shared_ptr<const ArchiveIndex> index,
                    std::shared_ptr<ThumbnailCache::Shared> shared)
        : cache_(cache), index_(std::move(index)), shared_(std::move(shared)) {}

    void run() override {
        std::unique_ptr<archive::EntryReader> reader;
        try {
            reader = std::make_unique<archive::EntryReader>(index_->reader());
        } catch (const std::exception&) {
        }
        while (true) {
            int entry = -1;
            {
                std::lock_guard lock(shared_->mutex);
                if (shared_->stopping || shared_->queue.empty()) {
                    --shared_->workers;
                    return;
                }
                entry = shared_->queue.back();
                shared_->queue.pop_back();
            }
            QImage image;
            if (reader) {
                try {
                    const std::string bytes = reader->readAll(static_cast<std::size_t>(entry),
                                                              ThumbnailCache::kMaxEntryBytes);
                    const Picture picture = decodePicture(
                        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())),
                        QSize(ThumbnailCache::kSide, ThumbnailCache::kSide));
                    if (picture.outcome == PictureOutcome::Shown) {
                        image = picture.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
                    }
                } catch (const std::exception&) {
                    // Unreadable: shown without a thumbnail.
                }
            }
            QMetaObject::invokeMethod(
                cache_, [cache = cache_, entry, image] { cache->deliver(entry, image); },
                Qt::QueuedConnection);
        }
    }

  private:
    ThumbnailCache* cache_;
    std::shared_ptr<const ArchiveIndex> index_;
    std::shared_ptr<ThumbnailCache::Shared> shared_;
};

ThumbnailCache::ThumbnailCache(std::shared_ptr<const ArchiveIndex> index, QObject* parent)
    : QObject(parent), index_(std::move(index)), shared_(std::make_shared<Shared>()) {
    cache_.setMaxCost(static_cast<qsizetype>(kCacheBytes >> 10));
    // One core is left to the window.
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

ThumbnailCache::~ThumbnailCache() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->queue.clear();
    }
    pool_.waitForDone();
}

QImage ThumbnailCache::thumbnail(int entry) {
    if (const QImage* image = cache_.object(entry)) {
        return *image;
    }
    if (unshowable_.contains(entry)) {
        return {};
    }
    std::lock_guard lock(shared_->mutex);
    if (shared_->queued.contains(entry)) {
        return {};
    }
    shared_->queue.push_back(entry);
    shared_->queued.insert(entry);
    if (static_cast<int>(shared_->queue.size()) > kQueueLimit) {
        // Scrolled out of view long ago; asked again if it comes back.
        shared_->queued.remove(shared_->queue.front());
        shared_->queue.pop_front();
    }
    if (shared_->workers < pool_.maxThreadCount()) {
        ++shared_->workers;
        pool_.start(new ThumbnailWorker(this, index_, shared_));
    }
    return {};
}

void ThumbnailCache::deliver(int entry, const QImage& image) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->queued.remove(entry);
    }
    if (image.isNull()) {
        unshowable_.insert(entry);
    } else {
        const auto cost = std::max<qsizetype>(1, image.sizeInBytes() >> 10);
        cache_.insert(entry, new QImage(image), cost);
    }
    emit ready(entry);
}

void ThumbnailCache::waitForIdle() {
    pool_.waitForDone();
    QCoreApplication::sendPostedEvents(this);
}

}  // namespace tessapak::app::browser
