// Times the archive browser on large archives, offscreen:
//
//   browser_bench <work-dir>
//
// Writes two archives into work-dir (from the format, not through pack):
// 100,000 small entries in 1,000 folders, and 5,000 PNG pictures. Prints
// "open_100k_seconds <s>" and "open_100k_cpu_seconds <s>": opening the first
// until its tree and list are painted; then scrolls the thumbnail view of the second from top to
// bottom at one step per 16 ms and prints "scroll_max_frame_gap_ms <ms>", the longest time between
// two paints of the view, "scroll_frames <n>" and "scroll_seconds <s>".

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/browser/browser_window.h"
#include "app/browser/thumbnail_cache.h"
#include "archive/format/rdb_format.h"

namespace {

namespace archive = tessapak::archive;
using tessapak::app::browser::BrowserWindow;

bool writeArchive(const QString& path,
                  const std::vector<std::pair<std::u16string, QByteArray>>& files) {
    std::string directory;
    QByteArray data;
    for (const auto& [name, bytes] : files) {
        archive::RdbEntry entry;
        entry.Name = name;
        entry.DataOffset = static_cast<std::int32_t>(data.size());
        entry.DataSize = static_cast<std::int32_t>(bytes.size());
        archive::appendEntry(directory, entry);
        data += bytes;
    }
    const auto header = archive::encodeHeader(archive::makeHeader(
        static_cast<std::int32_t>(files.size()), static_cast<std::int32_t>(directory.size())));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(reinterpret_cast<const char*>(header.data()), static_cast<qint64>(header.size()));
    file.write(directory.data(), static_cast<qint64>(directory.size()));
    file.write(data);
    return file.error() == QFileDevice::NoError;
}

QByteArray picture(int n) {
    QImage image(160, 120, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(n * 37 % 360, 200, 230));
    QPainter painter(&image);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::number(n));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Records when the watched widget paints.
class PaintClock : public QObject {
  public:
    QElapsedTimer clock;
    std::vector<qint64> paints;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            paints.push_back(clock.nsecsElapsed());
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: browser_bench <work-dir>\n");
        return 2;
    }
    const QString work = QString::fromLocal8Bit(argv[1]);

    const QString many = work + QStringLiteral("/many.rdb");
    if (!QFile::exists(many)) {
        std::vector<std::pair<std::u16string, QByteArray>> files;
        for (int i = 0; i < 100000; ++i) {
            const std::string name =
                "folder" + std::to_string(i % 1000) + "\\file" + std::to_string(i) + ".txt";
            files.emplace_back(std::u16string(name.begin(), name.end()), QByteArray("x"));
        }
        if (!writeArchive(many, files)) {
            std::fprintf(stderr, "browser_bench: cannot write %s\n", qPrintable(many));
            return 1;
        }
    }
    const QString pictures = work + QStringLiteral("/pictures.rdb");
    if (!QFile::exists(pictures)) {
        std::vector<std::pair<std::u16string, QByteArray>> files;
        for (int i = 0; i < 5000; ++i) {
            const std::string name = "pic" + std::to_string(i) + ".png";
            files.emplace_back(std::u16string(name.begin(), name.end()), picture(i));
        }
        if (!writeArchive(pictures, files)) {
            std::fprintf(stderr, "browser_bench: cannot write %s\n", qPrintable(pictures));
            return 1;
        }
    }

    {
        BrowserWindow window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.resize(1000, 640);
        window.show();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpu = std::clock();
        window.openArchive(many);
        window.repaint();
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        // The machine may be shared: the processor time tells what the work costs.
        std::printf("open_100k_seconds %.3f\n", seconds);
        std::printf("open_100k_cpu_seconds %.3f\n",
                    static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    }

    BrowserWindow window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.resize(1000, 640);
    window.show();
    window.openArchive(pictures);
    window.showThumbnails(true);
    QApplication::processEvents();
    QListView* view = window.thumbnailView();
    PaintClock clock;
    view->viewport()->installEventFilter(&clock);
    QScrollBar* bar = view->verticalScrollBar();
    clock.clock.start();
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        if (bar->value() >= bar->maximum()) {
            step.stop();
            QApplication::quit();
            return;
        }
        bar->setValue(bar->value() + 240);
    });
    step.start(16);
    QApplication::exec();
    qint64 worst = 0;
    for (std::size_t i = 1; i < clock.paints.size(); ++i) {
        worst = std::max(worst, clock.paints[i] - clock.paints[i - 1]);
    }
    window.thumbnails()->waitForIdle();
    std::printf("scroll_max_frame_gap_ms %.1f\n", static_cast<double>(worst) / 1e6);
    std::printf("scroll_frames %zu\n", clock.paints.size());
    std::printf("scroll_seconds %.2f\n", static_cast<double>(clock.clock.nsecsElapsed()) / 1e9);
    return 0;
}
