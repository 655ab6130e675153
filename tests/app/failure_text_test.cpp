#include <gtest/gtest.h>

#include <QDir>
#include <QSet>

#include "app/failure_text.h"
#include "archive/format/names.h"

namespace tessapak::app {
namespace {

using archive::ArchiveError;
using archive::ErrorCause;
using archive::ErrorKind;

TEST(PackFailureText, EveryCauseHasItsOwnWordingNamingThePath) {
    QSet<QString> seen;
    for (int cause = static_cast<int>(ErrorCause::BadMagic);
         cause <= static_cast<int>(ErrorCause::TooManyEntries); ++cause) {
        const ArchiveError error(ErrorKind::FileSystem, static_cast<ErrorCause>(cause),
                                 archive::pathFromUtf8("/skins/蓝色/b.png"), "detail");
        const QString text = describePackFailure(error);
        EXPECT_TRUE(text.contains(QDir::toNativeSeparators("/skins/蓝色/b.png"))) << cause;
        EXPECT_FALSE(seen.contains(text)) << cause;
        seen.insert(text);
    }
}

TEST(PackFailureText, NamesAReasonTheUserCanActOn) {
    const ArchiveError full(ErrorKind::FileSystem, ErrorCause::CannotWrite, "/out/a.rdb", "",
                            std::make_error_code(std::errc::no_space_on_device));
    EXPECT_EQ(describePackFailure(full),
              "无法写入文件 " + QDir::toNativeSeparators("/out/a.rdb") + "（磁盘空间不足）");
    const ArchiveError denied(ErrorKind::FileSystem, ErrorCause::CannotRead, "/a/b.png", "",
                              std::make_error_code(std::errc::permission_denied));
    EXPECT_EQ(describePackFailure(denied),
              "无法读取文件 " + QDir::toNativeSeparators("/a/b.png") + "（没有权限）");
}

TEST(PackFailureText, AHostilePathIsShownEscapedAndCut) {
    const std::string name = "/skins/\x1b]0;x\a\u202e" + std::string(500, 'a') + ".png";
    const ArchiveError error(ErrorKind::FileSystem, ErrorCause::CannotRead,
                             archive::pathFromUtf8(name), "");
    const QString text = describePackFailure(error);
    EXPECT_TRUE(text.startsWith("无法读取文件 " + QDir::toNativeSeparators("/skins/") +
                                "\\x1b]0;x\\x07\\u202eaaa"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("…"))) << text.toStdString();
    EXPECT_LT(text.size(), 220);
}

}  // namespace
}  // namespace tessapak::app
