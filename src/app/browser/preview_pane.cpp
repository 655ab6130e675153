#include "app/browser/preview_pane.h"

#include <QApplication>
#include <QBuffer>
#include <QGridLayout>
#include <QLabel>
#include <QMovie>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QThreadPool>
#include <QVBoxLayout>
#include <functional>

#include "app/browser/archive_model.h"
#include "app/browser/comparison.h"
#include "app/browser/picture_decode.h"
#include "app/failure_text.h"
#include "archive/archive_error.h"

namespace tessapak::app::browser {

namespace {

enum Page { PicturePage, TextPage, MessagePage, PairPage };

}  // namespace

QString decodeText(const QByteArray& bytes, QString* encoding) {
    const auto decodeWith = [&](QStringConverter::Encoding which, const char* name, int skip) {
        *encoding = QString::fromLatin1(name);
        QStringDecoder decoder(which);
        return QString(decoder(QByteArrayView(bytes).sliced(skip)));
    };
    if (bytes.startsWith("\xef\xbb\xbf")) {
        return decodeWith(QStringConverter::Utf8, "UTF-8", 3);
    }
    if (bytes.startsWith("\xff\xfe")) {
        return decodeWith(QStringConverter::Utf16LE, "UTF-16", 2);
    }
    if (bytes.startsWith("\xfe\xff")) {
        return decodeWith(QStringConverter::Utf16BE, "UTF-16", 2);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    // A cut at the read limit may split the last character; that is no error.
    if (!utf8.hasError()) {
        *encoding = QStringLiteral("UTF-8");
        return text;
    }
    QStringDecoder chinese("GB18030");
    if (chinese.isValid()) {
        text = chinese(bytes);
        if (!chinese.hasError()) {
            *encoding = QStringLiteral("GB18030");
            return text;
        }
    }
    return decodeWith(QStringConverter::Latin1, "Latin-1", 0);
}

// Where a preview's bytes come from: an entry of the open archive, or the
// file of that name in the version it is compared with.
struct PreviewPane::Source {
    std::function<QByteArray(qint64 limit)> read;  // the first limit bytes; throws ArchiveError
    FileKind kind = FileKind::Other;
    qint64 size = 0;
};

struct PreviewPane::Result {
    enum Kind { Picture, Text, Other, Failed } kind = Other;
    browser::Picture picture;
    QByteArray bytes;  // kept for an animation
    QString text;
    QString encoding;
    bool cut = false;
    QString failure;
    std::shared_ptr<Result> before;  // a changed picture's old version

    // On a worker thread.
    void read(const Source& source);
};

void PreviewPane::Result::read(const Source& source) {
    try {
        if (source.kind == FileKind::Picture) {
            kind = Picture;
            if (source.size > kMaxPictureBytes) {
                picture.outcome = PictureOutcome::TooLarge;
                return;
            }
            bytes = source.read(kMaxPictureBytes);
            picture = decodePicture(bytes);
            if (!picture.animated) {
                bytes.clear();
            }
        } else if (source.kind == FileKind::Text) {
            kind = Text;
            cut = source.size > kMaxTextBytes;
            text = decodeText(source.read(kMaxTextBytes), &encoding);
        }
    } catch (const archive::ArchiveError& error) {
        kind = Failed;
        failure = describePackFailure(error);
    } catch (const std::exception&) {
        kind = Failed;
        failure = QStringLiteral("内存不足");
    }
}

namespace {

QString pictureText(const Picture& picture) {
    return QStringLiteral("%1 × %2 像素，%3")
        .arg(picture.size.width())
        .arg(picture.size.height())
        .arg(picture.transparent ? QStringLiteral("有透明部分") : QStringLiteral("不透明"));
}

}  // namespace

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    pages_ = new QStackedWidget(this);
    pictureArea_ = new QScrollArea(pages_);
    pictureArea_->setAlignment(Qt::AlignCenter);
    pictureArea_->setWidgetResizable(true);
    pictureArea_->setFrameShape(QFrame::NoFrame);
    pictureLabel_ = new QLabel(pictureArea_);
    pictureLabel_->setAlignment(Qt::AlignCenter);
    pictureLabel_->setAccessibleName(QStringLiteral("图片预览"));
    pictureArea_->setWidget(pictureLabel_);
    text_ = new QPlainTextEdit(pages_);
    text_->setReadOnly(true);
    text_->setAccessibleName(QStringLiteral("文本预览"));
    message_ = new QLabel(pages_);
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    pair_ = new QWidget(pages_);
    auto* pairLayout = new QGridLayout(pair_);
    pairLayout->setContentsMargins(0, 0, 0, 0);
    for (int side = 0; side < 2; ++side) {
        auto* caption = new QLabel(side == 0 ? QStringLiteral("旧") : QStringLiteral("新"), pair_);
        caption->setAlignment(Qt::AlignCenter);
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
        pairLabels_[side] = new QLabel(pair_);
        pairLabels_[side]->setAlignment(Qt::AlignCenter);
        caption->setBuddy(pairLabels_[side]);
        // Captions right above the pictures, the pair in the middle.
        pairLayout->addWidget(caption, 1, side, Qt::AlignBottom);
        pairLayout->addWidget(pairLabels_[side], 2, side);
        pairLayout->setColumnStretch(side, 1);
    }
    pairLayout->setRowStretch(0, 1);
    pairLayout->setRowStretch(3, 1);
    pages_->insertWidget(PicturePage, pictureArea_);
    pages_->insertWidget(TextPage, text_);
    pages_->insertWidget(MessagePage, message_);
    pages_->insertWidget(PairPage, pair_);
    info_ = new QLabel(this);
    info_->setWordWrap(true);
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_, 1);
    layout->addWidget(info_);
    showEntry(-1);
}

PreviewPane::~PreviewPane() = default;

void PreviewPane::setArchive(std::shared_ptr<const ArchiveIndex> index) {
    index_ = std::move(index);
    comparison_.reset();
    showEntry(-1);
}

void PreviewPane::setComparison(std::shared_ptr<const Comparison> comparison) {
    comparison_ = std::move(comparison);
    showEntry(-1);
}

QString PreviewPane::infoText() const {
    return info_->text();
}

QString PreviewPane::messageText() const {
    return pages_->currentIndex() == MessagePage ? message_->text() : QString();
}

void PreviewPane::showEntry(int entry) {
    const quint64 generation = clear();
    if (!index_ || entry < 0) {
        showMessage(QStringLiteral("选择一个文件即可在此预览。"));
        info_->clear();
        return;
    }
    const Mark mark = comparison_ ? comparison_->mark(entry) : Mark::None;
    describe(index_->filePath(entry), index_->size(entry),
             mark == Mark::None ? QString() : markText(mark));
    const auto number = static_cast<std::size_t>(entry);
    std::shared_ptr<const ArchiveIndex> index = index_;
    Source now{
        [index, number](qint64 limit) { return readEntryStart(index->reader(), number, limit); },
        kindOf(index_->fileName(entry)), index_->size(entry)};
    std::unique_ptr<Source> before;
    if (mark == Mark::Changed && now.kind == FileKind::Picture) {
        const std::u16string stored = index_->reader().entries()[number].Name;
        std::shared_ptr<const Comparison> comparison = comparison_;
        before = std::make_unique<Source>(Source{
            [comparison, stored](qint64 limit) { return comparison->readBefore(stored, limit); },
            now.kind, comparison_->sizeBefore(stored)});
    }
    startReading(generation, std::move(now), std::move(before));
}

void PreviewPane::showRemoved(int removed) {
    const quint64 generation = clear();
    if (!comparison_ || removed < 0) {
        showMessage(QStringLiteral("选择一个文件即可在此预览。"));
        info_->clear();
        return;
    }
    const Comparison::RemovedFile& file = comparison_->removed()[static_cast<std::size_t>(removed)];
    describe(
        file.path, file.size,
        QStringLiteral("已删除，只在 %1 中，此处显示的是它的旧版本").arg(comparison_->otherName()));
    std::shared_ptr<const Comparison> comparison = comparison_;
    const std::u16string stored = file.stored;
    startReading(
        generation,
        Source{[comparison, stored](qint64 limit) { return comparison->readBefore(stored, limit); },
               kindOf(file.path), file.size},
        nullptr);
}

// Stops what shows and what is being read; returns the new preview's number.
quint64 PreviewPane::clear() {
    picture_ = QImage();
    beforePicture_ = QImage();
    if (movie_ != nullptr) {
        movie_->stop();
        movie_->deleteLater();
        movie_ = nullptr;
        movieBuffer_->deleteLater();
        movieBuffer_ = nullptr;
    }
    pictureLabel_->clear();
    for (QLabel* label : pairLabels_) {
        label->clear();
    }
    text_->clear();
    return ++generation_;
}

void PreviewPane::describe(const QString& path, qint64 size, const QString& note) {
    pictureLabel_->setAccessibleName(QStringLiteral("图片预览：") + path);
    pairLabels_[0]->setAccessibleName(QStringLiteral("旧图片：") + path);
    pairLabels_[1]->setAccessibleName(QStringLiteral("新图片：") + path);
    QString info = path + QStringLiteral("\n") + typeText(path) + QStringLiteral("，") +
                   (size < 0 ? QStringLiteral("大小不明") : sizeText(size));
    if (!note.isEmpty()) {
        info += QStringLiteral("（") + note + QStringLiteral("）");
    }
    info_->setText(info);
    showMessage(QStringLiteral("正在读取…"));
}

void PreviewPane::startReading(quint64 generation, Source now, std::unique_ptr<Source> before) {
    QPointer<PreviewPane> self(this);
    std::shared_ptr<Source> old(std::move(before));
    QThreadPool::globalInstance()->start([self, generation, now = std::move(now), old] {
        auto result = std::make_shared<Result>();
        result->read(now);
        if (old) {
            result->before = std::make_shared<Result>();
            result->before->read(*old);
        }
        // The application as the receiver: the pane may be gone by now.
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, result] {
                if (self) {
                    self->present(generation, result);
                }
            },
            Qt::QueuedConnection);
    });
}

void PreviewPane::present(quint64 generation, const std::shared_ptr<Result>& result) {
    if (generation != generation_) {
        return;  // another entry was chosen meanwhile
    }
    QString info = info_->text();
    const bool pair = result->before && result->kind == Result::Picture &&
                      result->picture.outcome == PictureOutcome::Shown &&
                      result->before->kind == Result::Picture &&
                      result->before->picture.outcome == PictureOutcome::Shown;
    switch (result->kind) {
        case Result::Picture:
            if (pair) {
                presentPair(*result, info);
            } else {
                presentPicture(*result, info);
            }
            break;
        case Result::Text:
            info += QStringLiteral("\n编码：") + result->encoding;
            if (result->cut) {
                info += QStringLiteral("，只显示前 1 MB");
            }
            text_->setPlainText(result->text);
            pages_->setCurrentIndex(TextPage);
            break;
        case Result::Other:
            showMessage(QStringLiteral("此类文件无法预览。"));
            break;
        case Result::Failed:
            showMessage(QStringLiteral("无法读取此文件：") + result->failure);
            break;
    }
    info_->setText(info);
    emit shown();
}

void PreviewPane::presentPicture(const Result& result, QString& info) {
    const Picture& picture = result.picture;
    switch (picture.outcome) {
        case PictureOutcome::Shown:
            info += QStringLiteral("\n") + pictureText(picture);
            if (picture.animated) {
                info += QStringLiteral("，动画");
                movieBytes_ = result.bytes;
                movieBuffer_ = new QBuffer(&movieBytes_, this);
                movieBuffer_->open(QIODevice::ReadOnly);
                movie_ = new QMovie(movieBuffer_, picture.format, this);
                pictureLabel_->setMovie(movie_);
                movie_->start();
            }
            picture_ = picture.image;
            fitPicture();
            pages_->setCurrentIndex(PicturePage);
            break;
        case PictureOutcome::TooLarge:
            showMessage(QStringLiteral("图片太大，无法预览。"));
            if (picture.size.isValid()) {
                info += QStringLiteral("\n%1 × %2 像素")
                            .arg(picture.size.width())
                            .arg(picture.size.height());
            }
            break;
        case PictureOutcome::Damaged:
            showMessage(QStringLiteral("图片已损坏，无法预览。"));
            break;
        case PictureOutcome::NotAPicture:
            showMessage(QStringLiteral("文件内容不是可预览的图片。"));
            break;
    }
}

// Old and new as still pictures (an animation shows its first frame), so
// that they can be looked at side by side.
void PreviewPane::presentPair(const Result& result, QString& info) {
    info += QStringLiteral("\n旧：") + pictureText(result.before->picture) +
            QStringLiteral("\n新：") + pictureText(result.picture);
    beforePicture_ = result.before->picture.image;
    picture_ = result.picture.image;
    pages_->setCurrentIndex(PairPage);
    fitPicture();
}

void PreviewPane::showMessage(const QString& text) {
    message_->setText(text);
    pages_->setCurrentIndex(MessagePage);
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}

namespace {

QPixmap fitted(const QImage& picture, QSize room) {
    const QSize size = picture.size();
    if (size.width() <= room.width() && size.height() <= room.height()) {
        return QPixmap::fromImage(picture);
    }
    return QPixmap::fromImage(picture.scaled(size.scaled(room, Qt::KeepAspectRatio),
                                             Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

void PreviewPane::fitPicture() {
    if (picture_.isNull()) {
        return;
    }
    // The stack's size, not the viewport's: the picture page may not have
    // been laid out yet when the first picture arrives.
    const QSize room = pages_->contentsRect().size();
    if (!beforePicture_.isNull()) {
        const int spacing = pair_->layout()->spacing();
        const int captionHeight = fontMetrics().height() + spacing;
        const QSize half((room.width() - spacing) / 2, room.height() - captionHeight);
        pairLabels_[0]->setPixmap(fitted(beforePicture_, half.expandedTo({1, 1})));
        pairLabels_[1]->setPixmap(fitted(picture_, half.expandedTo({1, 1})));
        return;
    }
    if (movie_ != nullptr) {
        const QSize size = picture_.size();
        const bool fits = size.width() <= room.width() && size.height() <= room.height();
        movie_->setScaledSize(fits ? size : size.scaled(room, Qt::KeepAspectRatio));
        return;
    }
    pictureLabel_->setPixmap(fitted(picture_, room));
}

}  // namespace tessapak::app::browser
