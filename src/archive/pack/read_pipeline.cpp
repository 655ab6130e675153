#include "archive/pack/read_pipeline.h"

#include <algorithm>
#include <stdexcept>

namespace tessapak::archive {

namespace {

// Thrown inside the reader when the caller gave up; never leaves it.
struct Stopped {};

}  // namespace

ReadPipeline::ReadPipeline(std::vector<std::int64_t> sizes, PipelineSource source,
                           std::size_t bufferCount, std::size_t bufferSize)
    : source_(std::move(source)),
      bufferSize_(bufferSize),
      sizes_(std::move(sizes)),
      listEnded_(true) {
    start(bufferCount);
}

ReadPipeline::ReadPipeline(PipelineSource source, std::size_t bufferCount, std::size_t bufferSize)
    : source_(std::move(source)), bufferSize_(bufferSize) {
    start(bufferCount);
}

void ReadPipeline::start(std::size_t bufferCount) {
    // Two at least: one being filled while the caller writes the other.
    bufferCount = std::max<std::size_t>(bufferCount, 2);
    for (std::size_t i = 0; i < bufferCount; ++i) {
        // Not zeroed: a page costs only once it is filled.
        buffers_.emplace_back(new unsigned char[bufferSize_]);
        free_.push_back(buffers_.back().get());
    }
    thread_ = std::thread([this] { read(); });
}

ReadPipeline::~ReadPipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ReadPipeline::add(const std::int64_t* first, const std::int64_t* last) {
    {
        std::lock_guard lock(mutex_);
        sizes_.insert(sizes_.end(), first, last);
    }
    changed_.notify_all();
}

void ReadPipeline::endOfList() {
    {
        std::lock_guard lock(mutex_);
        listEnded_ = true;
    }
    changed_.notify_all();
}

// The listed size of the file at index once it is known; none past the end.
std::optional<std::int64_t> ReadPipeline::waitForFile(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return index < sizes_.size() || listEnded_ || stop_; });
    if (stop_) {
        throw Stopped{};
    }
    if (index < sizes_.size()) {
        return sizes_[index];
    }
    return std::nullopt;
}

// The reader's next file: the one opened ahead for it, or opened now.
std::unique_ptr<PipelineFile> ReadPipeline::openFile(std::size_t index) {
    {
        std::unique_lock lock(mutex_);
        reading_ = index;
        if (!openedAhead_.empty() && openedAhead_.front().index == index) {
            changed_.wait(lock, [this] { return openedAhead_.front().done || stop_; });
            if (stop_) {
                throw Stopped{};
            }
            std::unique_ptr<PipelineFile> file = std::move(openedAhead_.front().file);
            openedAhead_.pop_front();
            changed_.notify_all();
            if (file) {
                return file;
            }
        }
    }
    return source_.open(index);
}

bool ReadPipeline::mayOpenAhead() const {
    return source_.openAhead && listEnded_ && !aheadFailed_ && !finished_ && !stop_ &&
           openedAhead_.size() < kOpenAhead && std::max(nextAhead_, reading_ + 1) < sizes_.size();
}

// Called with the lock held; opens without it.
void ReadPipeline::openOneAhead(std::unique_lock<std::mutex>& lock) {
    // Only files the reader has not reached: it takes each one in turn.
    const std::size_t index = std::max(nextAhead_, reading_ + 1);
    nextAhead_ = index + 1;
    openedAhead_.push_back({index, false, nullptr});
    lock.unlock();
    std::unique_ptr<PipelineFile> file = source_.openAhead(index);
    lock.lock();
    // The caller alone adds slots, and the reader takes none before it is
    // done: this one is still the last.
    aheadFailed_ = aheadFailed_ || !file;
    openedAhead_.back().file = std::move(file);
    openedAhead_.back().done = true;
    changed_.notify_all();
}

bool ReadPipeline::next(PipelineChunk& chunk) {
    std::unique_lock lock(mutex_);
    if (held_ != nullptr) {
        free_.push_back(held_);
        held_ = nullptr;
        changed_.notify_all();
    }
    while (full_.empty() && !finished_) {
        if (mayOpenAhead()) {
            openOneAhead(lock);
        } else {
            changed_.wait(lock);
        }
    }
    if (!full_.empty()) {
        chunk = full_.front();
        full_.pop_front();
        for (const auto& buffer : buffers_) {
            if (buffer.get() == chunk.data) {
                held_ = buffer.get();
            }
        }
        return true;
    }
    if (error_) {
        std::rethrow_exception(error_);
    }
    return false;
}

void ReadPipeline::read() {
    std::exception_ptr error;
    try {
        readAll();
    } catch (const Stopped&) {
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard lock(mutex_);
    if (fillingBuffer_ != nullptr && (filling_.size > 0 || filling_.endFile > filling_.firstFile)) {
        full_.push_back(filling_);
    } else if (fillingBuffer_ != nullptr) {
        free_.push_back(fillingBuffer_);
    }
    fillingBuffer_ = nullptr;
    error_ = error;
    finished_ = true;
    changed_.notify_all();
}

unsigned char* ReadPipeline::takeFreeBuffer() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty() || stop_; });
    if (stop_) {
        throw Stopped{};
    }
    unsigned char* buffer = free_.back();
    free_.pop_back();
    return buffer;
}

void ReadPipeline::publish() {
    {
        std::lock_guard lock(mutex_);
        full_.push_back(filling_);
        fillingBuffer_ = nullptr;
    }
    changed_.notify_all();
}

void ReadPipeline::readAll() {
    std::size_t used = 0;
    const auto startChunk = [&](std::size_t file) {
        fillingBuffer_ = takeFreeBuffer();
        filling_ = PipelineChunk{fillingBuffer_, 0, file, file};
        used = 0;
    };
    startChunk(0);
    for (std::size_t i = 0;; ++i) {
        const std::optional<std::int64_t> size = waitForFile(i);
        if (!size) {
            break;
        }
        if (used == bufferSize_) {
            publish();
            startChunk(i);
        }
        filling_.endFile = i + 1;
        const std::unique_ptr<PipelineFile> file = openFile(i);
        auto left = static_cast<std::uint64_t>(*size);
        while (true) {
            if (used == bufferSize_) {
                publish();
                startChunk(i + 1);
            }
            // One byte more than is left: a short read that stops exactly at
            // the listed end shows the end of the file without another read.
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(bufferSize_ - used, left + 1));
            const std::size_t got = file->read(fillingBuffer_ + used, want);
            if (got > left || (got == 0 && left > 0)) {
                source_.changed(i, got > left);
                throw std::logic_error("PipelineSource::changed returned");
            }
            if (got == 0) {
                break;
            }
            used += got;
            filling_.size = used;
            left -= got;
            if (got < want && left == 0) {
                break;
            }
        }
    }
}

}  // namespace tessapak::archive
