// The two threaded pieces on their own: the unpack worker pool and the pack
// reader pipeline, driven with fake work so that order and failure can be
// forced.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "archive/pack/read_pipeline.h"
#include "archive/unpack/extract_pool.h"

namespace tessapak::archive {
namespace {

std::vector<ExtractGroup> interleavedGroups(std::size_t groups, std::size_t perGroup) {
    std::vector<ExtractGroup> result(groups);
    for (std::size_t i = 0; i < groups * perGroup; ++i) {
        result[i % groups].entries.push_back(i);
        result[i % groups].cost += static_cast<std::int64_t>(i % 7);
    }
    return result;
}

TEST(ExtractPool, EachFolderKeepsItsOrderOnOneWorkerAndProgressRisesOnTheCallingThread) {
    for (const unsigned workers : {1U, 2U, 4U}) {
        SCOPED_TRACE(workers);
        const auto groups = interleavedGroups(9, 40);
        std::mutex mutex;
        std::map<std::size_t, std::vector<std::size_t>> seen;  // group -> entries
        std::map<std::size_t, std::set<unsigned>> byWorker;
        std::vector<std::int64_t> progress;
        const auto caller = std::this_thread::get_id();
        bool progressOnCaller = true;
        runExtractPool(
            groups, workers,
            [&](unsigned worker, std::size_t entry) {
                std::lock_guard lock(mutex);
                seen[entry % 9].push_back(entry);
                byWorker[entry % 9].insert(worker);
            },
            [&](std::int64_t number, std::int64_t total) {
                progressOnCaller = progressOnCaller && std::this_thread::get_id() == caller;
                EXPECT_EQ(total, 360);
                progress.push_back(number);
            });
        for (std::size_t g = 0; g < groups.size(); ++g) {
            EXPECT_EQ(seen[g], groups[g].entries) << "group " << g;
            EXPECT_EQ(byWorker[g].size(), 1U) << "group " << g;
        }
        EXPECT_TRUE(progressOnCaller);
        std::vector<std::int64_t> expected(360);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expected[i] = static_cast<std::int64_t>(i) + 1;
        }
        EXPECT_EQ(progress, expected);
    }
}

TEST(ExtractPool, TheFirstFailureStopsTheOtherWorkersAndIsTheOneReported) {
    // Group 0 fails at once; groups 1 and 2 see that, give the pool time to
    // record it, then one fails too and the other tries to go on.
    std::vector<ExtractGroup> groups(3);
    for (std::size_t i = 0; i < 30; ++i) {
        groups[i % 3].entries.push_back(i);
    }
    std::atomic<bool> firstThrown{false};
    std::atomic<int> writtenAfter{0};
    const auto waitForFirst = [&] {
        while (!firstThrown) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    };
    try {
        runExtractPool(groups, 3,
                       [&](unsigned, std::size_t entry) {
                           if (entry == 0) {
                               firstThrown = true;
                               throw std::runtime_error("first");
                           }
                           if (entry == 1) {
                               waitForFirst();
                               throw std::runtime_error("second");
                           }
                           if (entry == 2) {
                               waitForFirst();
                               return;
                           }
                           ++writtenAfter;
                       },
                       {});
        ADD_FAILURE() << "no failure came back";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "first");
    }
    EXPECT_EQ(writtenAfter, 0);
}

// A listed file in memory that counts its reads; each read returns what is
// asked, or less only at the end.
class FakeFile : public PipelineFile {
  public:
    FakeFile(std::string bytes, int& reads) : bytes_(std::move(bytes)), reads_(reads) {}
    std::size_t read(unsigned char* buffer, std::size_t size) override {
        ++reads_;
        const std::size_t n = std::min(size, bytes_.size() - at_);
        std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                  bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + n), buffer);
        at_ += n;
        return n;
    }

  private:
    std::string bytes_;
    std::size_t at_ = 0;
    int& reads_;
};

struct Listed {
    std::int64_t size;
    std::string bytes;  // what the file holds when it is read
};

struct Drained {
    std::string data;
    std::vector<std::size_t> started;  // files in the order their turn came
    std::vector<int> reads;
    std::string error;
    std::vector<std::size_t> openedAhead;
};

enum class Listing {
    Known,        // every file known from the start
    Growing,      // added a few at a time while the reader runs
    OpenedAhead,  // known, and the caller opens files ahead for the reader
};

Drained drain(const std::vector<Listed>& files, std::size_t bufferSize,
              Listing listing = Listing::Known) {
    Drained out;
    out.reads.assign(files.size(), 0);
    std::vector<std::int64_t> sizes;
    for (const Listed& f : files) {
        sizes.push_back(f.size);
    }
    // Opened ahead, the reader waits at the first file until the caller has
    // opened one ahead, so that both openers surely take part.
    std::mutex mutex;
    std::condition_variable aheadCalled;
    bool anyAhead = false;
    PipelineSource source{
        [&](std::size_t i) -> std::unique_ptr<PipelineFile> {
            if (listing == Listing::OpenedAhead && i == 0) {
                std::unique_lock lock(mutex);
                aheadCalled.wait_for(lock, std::chrono::seconds(10), [&] { return anyAhead; });
            }
            if (files[i].bytes == "missing") {
                throw std::runtime_error("cannot open " + std::to_string(i));
            }
            return std::make_unique<FakeFile>(files[i].bytes, out.reads[i]);
        },
        [](std::size_t i, bool grew) {
            throw std::runtime_error(std::to_string(i) + (grew ? " grew" : " shrank"));
        },
        {}};
    if (listing == Listing::OpenedAhead) {
        source.openAhead = [&](std::size_t i) -> std::unique_ptr<PipelineFile> {
            {
                std::lock_guard lock(mutex);
                anyAhead = true;
                out.openedAhead.push_back(i);
            }
            aheadCalled.notify_all();
            if (files[i].bytes == "missing") {
                return nullptr;
            }
            return std::make_unique<FakeFile>(files[i].bytes, out.reads[i]);
        };
    }
    try {
        std::optional<ReadPipeline> pipeline;
        if (listing == Listing::Growing) {
            pipeline.emplace(source, 3, bufferSize);
            for (std::size_t i = 0; i < sizes.size(); i += 3) {
                const std::size_t end = std::min(i + 3, sizes.size());
                pipeline->add(sizes.data() + i, sizes.data() + end);
                std::this_thread::yield();
            }
            pipeline->endOfList();
        } else {
            pipeline.emplace(sizes, source, 3, bufferSize);
        }
        PipelineChunk chunk;
        while (pipeline->next(chunk)) {
            for (std::size_t i = chunk.firstFile; i < chunk.endFile; ++i) {
                out.started.push_back(i);
            }
            out.data.append(reinterpret_cast<const char*>(chunk.data), chunk.size);
        }
    } catch (const std::runtime_error& e) {
        out.error = e.what();
    }
    return out;
}

TEST(ReadPipeline, DeliversEveryFileInOrderAndSeesTheEndWithoutAnExtraRead) {
    const std::size_t buffer = 16;
    std::vector<Listed> files;
    std::string all;
    int n = 0;
    for (const std::size_t size : {0, 1, 15, 16, 17, 0, 50, 3}) {
        std::string bytes(size, static_cast<char>('a' + n++));
        files.push_back({static_cast<std::int64_t>(size), bytes});
        all += bytes;
    }
    for (const Listing listing : {Listing::Known, Listing::Growing, Listing::OpenedAhead}) {
        SCOPED_TRACE(static_cast<int>(listing));
        const Drained out = drain(files, buffer, listing);
        EXPECT_EQ(out.error, "");
        EXPECT_EQ(out.data, all);
        EXPECT_EQ(out.started, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
        // A file that fits in what is left of a buffer is read once: the short
        // read that stops at its listed end is the end of the file.
        EXPECT_EQ(out.reads[0], 1);
        EXPECT_EQ(out.reads[1], 1);
        EXPECT_EQ(out.reads[7], 1);
        if (listing == Listing::OpenedAhead) {
            // Never the file the reader is at, never one twice.
            ASSERT_FALSE(out.openedAhead.empty());
            EXPECT_GT(out.openedAhead.front(), 0U);
            EXPECT_TRUE(std::is_sorted(out.openedAhead.begin(), out.openedAhead.end()));
            EXPECT_EQ(std::adjacent_find(out.openedAhead.begin(), out.openedAhead.end()),
                      out.openedAhead.end());
        }
    }
}

TEST(ReadPipeline, AFailureArrivesAfterTheFilesBeforeIt) {
    const std::string before(40, 'x');
    const struct {
        Listed bad;
        const char* error;
    } cases[] = {
        {{5, "toolong"}, "1 grew"},
        {{5, "abc"}, "1 shrank"},
        {{40, std::string(41, 'y')}, "1 grew"},
        {{5, "missing"}, "cannot open 1"},
    };
    // Opened ahead or not, the failure names the file it belongs to.
    for (const auto& c : cases) {
        for (const Listing listing : {Listing::Known, Listing::OpenedAhead}) {
            SCOPED_TRACE(c.error);
            const Drained out = drain({{40, before}, c.bad, {3, "zzz"}}, 16, listing);
            EXPECT_EQ(out.error, c.error);
            EXPECT_EQ(out.data.substr(0, before.size()), before);
            EXPECT_EQ(out.data.find('z'), std::string::npos);
        }
    }
    // A caller that gives up midway, with files opened ahead, does not
    // leave the reader hanging.
    std::vector<std::int64_t> sizes(1000, 64);
    int reads = 0;
    const auto open = [&](std::size_t) -> std::unique_ptr<PipelineFile> {
        return std::make_unique<FakeFile>(std::string(64, 'q'), reads);
    };
    ReadPipeline pipeline(
        sizes, {open, [](std::size_t, bool) { throw std::runtime_error("changed"); }, open}, 2, 16);
    PipelineChunk chunk;
    ASSERT_TRUE(pipeline.next(chunk));
    // Nor does a walk that fails while the reader waits for more files.
    std::vector<std::int64_t> some(1, 8);
    ReadPipeline waiting(
        {[&](std::size_t) { return std::make_unique<FakeFile>(std::string(8, 'q'), reads); },
         [](std::size_t, bool) { throw std::runtime_error("changed"); },
         {}},
        2, 16);
    waiting.add(some.data(), some.data() + some.size());
}

}  // namespace
}  // namespace tessapak::archive
