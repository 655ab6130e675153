#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessapak::archive {

// A listed file, open for reading; closed when destroyed.
class PipelineFile {
  public:
    virtual ~PipelineFile() = default;
    // One read at the current position: the bytes read, 0 at the end. On a
    // regular file fewer than asked come only at the end. Throws on failure.
    virtual std::size_t read(unsigned char* buffer, std::size_t size) = 0;
};

struct PipelineSource {
    // Opens the file at this place in the list; throws when it cannot.
    std::function<std::unique_ptr<PipelineFile>(std::size_t index)> open;
    // The file does not hold its listed size (grew tells which way); throws.
    std::function<void(std::size_t index, bool grew)> changed;
    // Optional: opens a file on the caller's thread while it waits for the
    // reader, once the list is complete; opening is most of the cost of a
    // small file. Returns null when it cannot, and the reader then opens the
    // file itself and says why. Never throws.
    std::function<std::unique_ptr<PipelineFile>(std::size_t index)> openAhead;
};

// Bytes of the listed files, back to back in list order.
struct PipelineChunk {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    // The files whose turn starts in this chunk, [firstFile, endFile); an
    // empty file counts too.
    std::size_t firstFile = 0;
    std::size_t endFile = 0;
};

// Reads the listed files, in order, on one thread into a few fixed buffers
// that the calling thread takes one at a time, so that opening and reading
// overlap with writing. Memory stays at bufferCount * bufferSize whatever
// the files hold. Every file must hold exactly its listed size.
class ReadPipeline {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    static constexpr std::size_t kBufferCount = 4;

    // Files all known from the start.
    ReadPipeline(std::vector<std::int64_t> sizes, PipelineSource source,
                 std::size_t bufferCount = kBufferCount, std::size_t bufferSize = kBufferSize);
    // Files made known one by one with add() while the reader already reads,
    // then endOfList(): a list still being walked.
    explicit ReadPipeline(PipelineSource source, std::size_t bufferCount = kBufferCount,
                          std::size_t bufferSize = kBufferSize);
    // Stops the reader at its next read and waits for it.
    ~ReadPipeline();
    ReadPipeline(const ReadPipeline&) = delete;
    ReadPipeline& operator=(const ReadPipeline&) = delete;

    // The next files of the list, by their listed sizes; any thread but the reader.
    void add(const std::int64_t* first, const std::int64_t* last);
    // No file follows those added.
    void endOfList();

    // Hands out the next chunk, taking back the one handed out before; false
    // when all files were delivered. The reader's failure is rethrown here,
    // after every chunk read before it.
    // Before endOfList() it waits for the reader to fill a buffer; after it,
    // it opens files ahead for the reader meanwhile, when the source can.
    bool next(PipelineChunk& chunk);

    // Files opened ahead at most, each holding a descriptor until it is read.
    // As many reads of uncached files can wait on the disk together.
    static constexpr std::size_t kOpenAhead = 32;

  private:
    void start(std::size_t bufferCount);
    std::optional<std::int64_t> waitForFile(std::size_t index);
    std::unique_ptr<PipelineFile> openFile(std::size_t index);
    bool mayOpenAhead() const;
    void openOneAhead(std::unique_lock<std::mutex>& lock);
    void read();
    void readAll();
    void publish();
    unsigned char* takeFreeBuffer();

    const PipelineSource source_;
    const std::size_t bufferSize_;
    std::vector<std::unique_ptr<unsigned char[]>> buffers_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::int64_t> sizes_;
    bool listEnded_ = false;
    std::vector<unsigned char*> free_;
    std::deque<PipelineChunk> full_;
    unsigned char* held_ = nullptr;
    bool finished_ = false;
    bool stop_ = false;
    std::exception_ptr error_;

    // Files the caller opened ahead, in list order; a slot is done once its
    // open returned, and holds null when that open failed.
    struct OpenedAhead {
        std::size_t index = 0;
        bool done = false;
        std::unique_ptr<PipelineFile> file;
    };
    std::deque<OpenedAhead> openedAhead_;
    std::size_t reading_ = 0;    // the file the reader is at
    std::size_t nextAhead_ = 0;  // no file before it is opened ahead
    bool aheadFailed_ = false;

    // The reader's chunk being filled; touched by the reader thread only.
    PipelineChunk filling_;
    unsigned char* fillingBuffer_ = nullptr;

    std::thread thread_;
};

}  // namespace tessapak::archive
