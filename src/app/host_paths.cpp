#include "app/host_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tessapak::app {

std::filesystem::path toHostPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QString fromHostPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
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

QString cutAtNul(const QString& name) {
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    return nul < 0 ? name : name.left(nul);
}

}  // namespace tessapak::app
