#include "app/failure_text.h"

#include <QDir>
#include <QFontMetrics>

#include <algorithm>

#include "archive/display_text.h"

namespace tessapak::app {

using archive::ErrorCause;

namespace {

// The operating system's reason, where it is one a user can act on.
QString reasonFor(const std::error_code& code) {
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted) {
        return QStringLiteral("（没有权限）");
    }
    if (code == std::errc::no_space_on_device) {
        return QStringLiteral("（磁盘空间不足）");
    }
    if (code == std::errc::read_only_file_system) {
        return QStringLiteral("（磁盘只读）");
    }
    return {};
}

// What went wrong, with %1 where the path goes.
QString causePattern(ErrorCause cause) {
    switch (cause) {
        case ErrorCause::BadMagic:
            return QStringLiteral("文件 %1 不是 RDB 文件");
        case ErrorCause::ArchiveMissing:
            return QStringLiteral("找不到文件 %1");
        case ErrorCause::ArchiveTruncated:
            return QStringLiteral("文件 %1 不完整");
        case ErrorCause::BadHeader:
            return QStringLiteral("文件 %1 的文件头已损坏");
        case ErrorCause::UnsafeName:
            return QStringLiteral("文件 %1 含有不安全的文件名");
        case ErrorCause::OutputFolderMissing:
            return QStringLiteral("无法创建文件 %1，所在的目录不存在");
        case ErrorCause::CannotOpen:
            return QStringLiteral("无法打开 %1");
        case ErrorCause::CannotRead:
            return QStringLiteral("无法读取文件 %1");
        case ErrorCause::CannotCreate:
            return QStringLiteral("无法创建文件 %1");
        case ErrorCause::CannotWrite:
            return QStringLiteral("无法写入文件 %1");
        case ErrorCause::FileChanged:
            return QStringLiteral("文件 %1 在打包时被修改或删除");
        case ErrorCause::NameNotRepresentable:
            return QStringLiteral("文件名 %1 无法保存到 RDB 文件中");
        case ErrorCause::ArchiveTooLarge:
            return QStringLiteral("文件 %1 将超过 RDB 格式 2 GB 的上限");
        case ErrorCause::TooManyEntries:
            return QStringLiteral("文件 %1 要保存的文件数超过 RDB 格式的上限");
        case ErrorCause::NoSuchEntry:
            return QStringLiteral("皮肤包 %1 中没有要删除的条目");
    }
    return QStringLiteral("处理 %1 时出错");
}

}  // namespace

QString shownPath(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(archive::displayPath(path)));
}

QString shownMessage(const char* text) {
    return QString::fromStdString(archive::displayLine(text));
}

QString describePackFailure(const archive::ArchiveError& error) {
    return causePattern(error.cause()).arg(shownPath(error.path())) + reasonFor(error.code());
}

QString fittedStatus(const QString& text, const QString& path, const QFontMetrics& metrics,
                     int width) {
    const int room = width - metrics.horizontalAdvance(QString(text).arg(QString()));
    return QString(text).arg(metrics.elidedText(path, Qt::ElideMiddle, std::max(room, 0)));
}

QString failureStatus(const QString& prefix, const archive::ArchiveError& error,
                      const QFontMetrics& metrics, int width) {
    return fittedStatus(prefix + causePattern(error.cause()) + reasonFor(error.code()),
                        shownPath(error.path()), metrics, width);
}

}  // namespace tessapak::app
