#include "app/browser/preview_pane.h"

#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QThreadPool>
#include <QVBoxLayout>

#include "app/browser/archive_model.h"
#include "app/browser/picture_decode.h"
#include "app/failure_text.h"
#include "archive/archive_error.h"
#include "archive/entry_reader.h"

namespace tessapak::app::browser {

namespace {

enum Page { PicturePage, TextPage, MessagePage };

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

struct PreviewPane::Result {
    enum Kind { Picture, Text, Other, Failed } kind = Other;
    browser::Picture picture;
    QByteArray bytes;  // kept for an animation
    QString text;
    QString encoding;
    bool cut = false;
    QString failure;
};

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
    pages_->insertWidget(PicturePage, pictureArea_);
    pages_->insertWidget(TextPage, text_);
    pages_->insertWidget(MessagePage, message_);
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
    showEntry(-1);
}

QString PreviewPane::infoText() const {
    return info_->text();
}

QString PreviewPane::messageText() const {
    return pages_->currentIndex() == MessagePage ? message_->text() : QString();
}

void PreviewPane::showEntry(int entry) {
    const quint64 generation = ++generation_;
    picture_ = QImage();
    if (movie_ != nullptr) {
        movie_->stop();
        movie_->deleteLater();
        movie_ = nullptr;
        movieBuffer_->deleteLater();
        movieBuffer_ = nullptr;
    }
    pictureLabel_->clear();
    text_->clear();
    if (!index_ || entry < 0) {
        message_->setText(QStringLiteral("选择一个文件即可在此预览。"));
        pages_->setCurrentIndex(MessagePage);
        info_->clear();
        return;
    }
    const QString name = index_->fileName(entry);
    pictureLabel_->setAccessibleName(QStringLiteral("图片预览：") + index_->filePath(entry));
    info_->setText(index_->filePath(entry) + QStringLiteral("\n") + typeText(name) +
                   QStringLiteral("，") + sizeText(index_->size(entry)));
    message_->setText(QStringLiteral("正在读取…"));
    pages_->setCurrentIndex(MessagePage);

    const FileKind kind = kindOf(name);
    const qint64 size = index_->size(entry);
    QPointer<PreviewPane> self(this);
    std::shared_ptr<const ArchiveIndex> index = index_;
    QThreadPool::globalInstance()->start([self, index, entry, kind, size, generation] {
        auto result = std::make_shared<Result>();
        try {
            const archive::EntryReader reader(index->reader());
            if (kind == FileKind::Picture) {
                if (size > kMaxPictureBytes) {
                    result->kind = Result::Picture;
                    result->picture.outcome = PictureOutcome::TooLarge;
                } else {
                    const std::string bytes =
                        reader.readAll(static_cast<std::size_t>(entry), kMaxPictureBytes);
                    result->bytes = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
                    result->kind = Result::Picture;
                    result->picture = decodePicture(result->bytes);
                    if (!result->picture.animated) {
                        result->bytes.clear();
                    }
                }
            } else if (kind == FileKind::Text) {
                QByteArray bytes(static_cast<qsizetype>(std::min(size, kMaxTextBytes)), '\0');
                qsizetype done = 0;
                while (done < bytes.size()) {
                    done += static_cast<qsizetype>(
                        reader.readPart(static_cast<std::size_t>(entry), done, bytes.data() + done,
                                        static_cast<std::size_t>(bytes.size() - done)));
                }
                result->kind = Result::Text;
                result->cut = size > kMaxTextBytes;
                result->text = decodeText(bytes, &result->encoding);
            }
        } catch (const archive::ArchiveError& error) {
            result->kind = Result::Failed;
            result->failure = describePackFailure(error);
        } catch (const std::exception&) {
            result->kind = Result::Failed;
            result->failure = QStringLiteral("内存不足");
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
    switch (result->kind) {
        case Result::Picture: {
            const Picture& picture = result->picture;
            switch (picture.outcome) {
                case PictureOutcome::Shown:
                    info += QStringLiteral("\n%1 × %2 像素，%3")
                                .arg(picture.size.width())
                                .arg(picture.size.height())
                                .arg(picture.transparent ? QStringLiteral("有透明部分")
                                                         : QStringLiteral("不透明"));
                    if (picture.animated) {
                        info += QStringLiteral("，动画");
                        movieBytes_ = result->bytes;
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
                    message_->setText(QStringLiteral("图片太大，无法预览。"));
                    if (picture.size.isValid()) {
                        info += QStringLiteral("\n%1 × %2 像素")
                                    .arg(picture.size.width())
                                    .arg(picture.size.height());
                    }
                    pages_->setCurrentIndex(MessagePage);
                    break;
                case PictureOutcome::Damaged:
                    message_->setText(QStringLiteral("图片已损坏，无法预览。"));
                    pages_->setCurrentIndex(MessagePage);
                    break;
                case PictureOutcome::NotAPicture:
                    message_->setText(QStringLiteral("文件内容不是可预览的图片。"));
                    pages_->setCurrentIndex(MessagePage);
                    break;
            }
            break;
        }
        case Result::Text:
            info += QStringLiteral("\n编码：") + result->encoding;
            if (result->cut) {
                info += QStringLiteral("，只显示前 1 MB");
            }
            text_->setPlainText(result->text);
            pages_->setCurrentIndex(TextPage);
            break;
        case Result::Other:
            message_->setText(QStringLiteral("此类文件无法预览。"));
            pages_->setCurrentIndex(MessagePage);
            break;
        case Result::Failed:
            message_->setText(QStringLiteral("无法读取此文件：") + result->failure);
            pages_->setCurrentIndex(MessagePage);
            break;
    }
    info_->setText(info);
    emit shown();
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}

void PreviewPane::fitPicture() {
    if (picture_.isNull()) {
        return;
    }
    // The stack's size, not the viewport's: the picture page may not have
    // been laid out yet when the first picture arrives.
    const QSize room = pages_->contentsRect().size();
    const QSize size = picture_.size();
    const bool fits = size.width() <= room.width() && size.height() <= room.height();
    const QSize shownSize = fits ? size : size.scaled(room, Qt::KeepAspectRatio);
    if (movie_ != nullptr) {
        movie_->setScaledSize(shownSize);
        return;
    }
    pictureLabel_->setPixmap(QPixmap::fromImage(
        fits ? picture_
             : picture_.scaled(shownSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

}  // namespace tessapak::app::browser
