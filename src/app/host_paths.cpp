#include "app/host_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <type_traits>

namespace tessapak::app {

namespace {

// Windows paths are UTF-16 themselves: going through narrow strings there
// would pass names through the ANSI code page and lose what it cannot hold.
constexpr bool kWidePaths = std::is_same_v<std::filesystem::path::value_type, wchar_t>;

}  // namespace

std::filesystem::path toHostPath(const QString& text) {
    if constexpr (kWidePaths) {
        return std::filesystem::path(text.toStdWString());
    } else {
        return std::filesystem::path(QFile::encodeName(text).toStdString());
    }
}

QString fromHostPath(const std::filesystem::path& path) {
    if constexpr (kWidePaths) {
        return QString::fromStdWString(path.wstring());
    } else {
        return QFile::decodeName(QByteArray::fromStdString(path.string()));
    }
}

bool hasRdbExtension(const QString& name) {
    return name.endsWith(QLatin1String(".rdb"), Qt::CaseInsensitive);
}

bool visibleFileExists(const QString& name) {
    const QFileInfo info(name);
    return info.isFile() && !info.isHidden();
}

bool anyFileExists(const QString& name) {
    return QFileInfo(name).isFile();
}

QString containingFolder(const QString& name) {
    return QDir::toNativeSeparators(QFileInfo(QDir::fromNativeSeparators(name)).path());
}

QString archiveNameForFolder(const QString& folder) {
    return folder + QLatin1String(".rdb");
}

QString cutAtNul(const QString& name) {
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    return nul < 0 ? name : name.left(nul);
}

QString cleanedPath(const QString& text) {
    QString path = text.trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"'))) {
        path = path.mid(1, path.size() - 2).trimmed();
    }
    return path;
}

bool endsWithSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator());
}

QString archiveNameFor(const QString& output) {
    return hasRdbExtension(output) ? output : output + QLatin1String(".rdb");
}

}  // namespace tessapak::app
