#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

class QBuffer;
class QLabel;
class QMovie;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;

namespace tessapak::app::browser {

class ArchiveIndex;
class Comparison;

// Text of a text file's bytes: UTF-8 or UTF-16 after their byte-order mark,
// UTF-8 without one when the bytes are valid UTF-8, otherwise GB18030 where
// Qt can decode it (the usual encoding of Chinese Windows), else Latin-1 so
// that every byte still shows. encoding says which was used.
QString decodeText(const QByteArray& bytes, QString* encoding);

// Shows one entry: a picture at 1:1 when it fits and scaled down otherwise
// (animated GIFs play), a text file as text, anything else as its size and
// type. Entries are read and pictures decoded on a worker thread. While the
// archive is compared with another version, a changed picture shows old and
// new side by side, and a file only the other version has shows from there.
class PreviewPane : public QWidget {
    Q_OBJECT

  public:
    // What is read of an entry to show it.
    static constexpr qint64 kMaxPictureBytes = qint64{64} << 20;
    static constexpr qint64 kMaxTextBytes = qint64{1} << 20;

    explicit PreviewPane(QWidget* parent = nullptr);
    ~PreviewPane() override;

    void setArchive(std::shared_ptr<const ArchiveIndex> index);
    // Null ends it. Clears the pane.
    void setComparison(std::shared_ptr<const Comparison> comparison);
    // -1 clears the pane.
    void showEntry(int entry);
    // A file of Comparison::removed().
    void showRemoved(int removed);

    // The picture shown (the new one of a pair), or a null image.
    QImage picture() const { return picture_; }
    // The old picture shown beside it, or a null image.
    QImage beforePicture() const { return beforePicture_; }
    // The line under the preview: size, type and what was found.
    QString infoText() const;
    // What shows in place of a preview ("图片太大，无法预览。" ...), if anything.
    QString messageText() const;

  signals:
    // A new entry's preview is complete (for tests and the window).
    void shown();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    struct Source;
    struct Result;
    quint64 clear();
    void describe(const QString& path, qint64 size, const QString& note);
    void startReading(quint64 generation, Source now, std::unique_ptr<Source> before);
    void present(quint64 generation, const std::shared_ptr<Result>& result);
    void presentPicture(const Result& result, QString& info);
    void presentPair(const Result& result, QString& info);
    void showMessage(const QString& text);
    void fitPicture();

    std::shared_ptr<const ArchiveIndex> index_;
    std::shared_ptr<const Comparison> comparison_;
    quint64 generation_ = 0;
    QImage picture_;
    QImage beforePicture_;
    QByteArray movieBytes_;
    QBuffer* movieBuffer_ = nullptr;
    QMovie* movie_ = nullptr;

    QStackedWidget* pages_;
    QScrollArea* pictureArea_;
    QLabel* pictureLabel_;
    QWidget* pair_;
    QLabel* pairLabels_[2];  // old, new
    QPlainTextEdit* text_;
    QLabel* message_;
    QLabel* info_;
};

}  // namespace tessapak::app::browser
