#include <gtest/gtest.h>

#include <QSet>

#include "app/failure_text.h"

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
                                 "/skins/蓝色/b.png", "detail");
        const QString text = describePackFailure(error);
        EXPECT_TRUE(text.contains("/skins/蓝色/b.png")) << cause;
        EXPECT_FALSE(seen.contains(text)) << cause;
        seen.insert(text);
    }
}

TEST(PackFailureText, NamesAReasonTheUserCanActOn) {
    const ArchiveError full(ErrorKind::FileSystem, ErrorCause::CannotWrite, "/out/a.rdb", "",
                            std::make_error_code(std::errc::no_space_on_device));
    EXPECT_EQ(describePackFailure(full), "无法写入文件 /out/a.rdb（磁盘空间不足）");
    const ArchiveError denied(ErrorKind::FileSystem, ErrorCause::CannotRead, "/a/b.png", "",
                              std::make_error_code(std::errc::permission_denied));
    EXPECT_EQ(describePackFailure(denied), "无法读取文件 /a/b.png（没有权限）");
}

}  // namespace
}  // namespace tessapak::app
