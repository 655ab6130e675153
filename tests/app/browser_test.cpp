// The archive browser's models and preview, offscreen, on archives built in code.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QtEndian>

#include "app/browser/archive_model.h"
#include "app/browser/preview_pane.h"
#include "app/host_paths.h"
#include "archive/archive_test_support.h"

namespace tessapak::app::browser {
namespace {

using archive::testing::RawArchive;
using archive::testing::TempFolder;
using archive::testing::writeFile;

QStringList column(const QAbstractItemModel& model, int column = 0) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts << model.index(row, column).data().toString();
    }
    return texts;
}

// A BMP header (no pixels needed for the size) of the given dimensions.
std::string bmp(qint32 width, qint32 height, bool withPixels) {
    const qint64 pixelBytes = withPixels ? qint64{(width * 3 + 3) / 4 * 4} * height : 0;
    QByteArray bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian<quint32>(static_cast<quint32>(54 + pixelBytes), bytes.data() + 2);
    qToLittleEndian<quint32>(54, bytes.data() + 10);
    qToLittleEndian<quint32>(40, bytes.data() + 14);
    qToLittleEndian<qint32>(width, bytes.data() + 18);
    qToLittleEndian<qint32>(height, bytes.data() + 22);
    qToLittleEndian<quint16>(1, bytes.data() + 26);
    qToLittleEndian<quint16>(24, bytes.data() + 28);
    bytes.append(QByteArray(static_cast<qsizetype>(pixelBytes), '\x7f'));
    return bytes.toStdString();
}

TEST(BrowserModels, ShowFoldersFilesAndFilterMatchesBelowTheChosenFolderAsYouType) {
    TempFolder dir;
    RawArchive archive;
    archive.entries = {{u"皮肤\\按钮\\图1.png", "12345"},
                       {u"皮肤\\按钮\\Big.PNG", "1"},
                       {u"皮肤\\说明.txt", "ab"},
                       {u"evil\u202egnp.exe", "x"},
                       {u"a\\b.png", ""}};
    writeFile(dir / "skin.rdb", archive.bytes());
    const auto index = ArchiveIndex::open(dir / "skin.rdb");
    EXPECT_EQ(index->totalBytes(), 9);

    FolderTreeModel folders(index);
    const QModelIndex top = folders.index(0, 0);
    EXPECT_EQ(top.data().toString(), QStringLiteral("skin.rdb"));
    EXPECT_EQ(column(folders), QStringList{"skin.rdb"});
    ASSERT_EQ(folders.rowCount(top), 2);
    const QModelIndex skin = folders.index(1, 0, top);
    EXPECT_EQ(skin.data().toString(), QStringLiteral("皮肤"));
    EXPECT_EQ(folders.parent(folders.index(0, 0, skin)), skin);

    FileListModel files(index, nullptr);
    // A bidi override in a name shows escaped, never reversing what follows.
    EXPECT_EQ(column(files), QStringList{QStringLiteral("evil\\u202egnp.exe")});
    files.setFolder(folders.folderAt(skin));
    EXPECT_EQ(column(files), QStringList{QStringLiteral("说明.txt")});
    EXPECT_EQ(column(files, FileListModel::TypeColumn),
              QStringList{QStringLiteral("TXT 文本文件")});

    files.setFilter(QStringLiteral("png"));
    EXPECT_EQ(column(files),
              (QStringList{QStringLiteral("按钮/图1.png"), QStringLiteral("按钮/Big.PNG")}));
    files.setFilter(QStringLiteral("按钮/b"));
    EXPECT_EQ(column(files), QStringList{QStringLiteral("按钮/Big.PNG")});
    EXPECT_EQ(files.index(0, 0).data(FileListModel::EntryRole).toInt(), 1);
    files.setFolder(0);
    EXPECT_EQ(column(files), QStringList{QStringLiteral("皮肤/按钮/Big.PNG")});
    files.setFilter(QString());
    EXPECT_EQ(files.rowCount(), 1);
}

TEST(BrowserPreview, ShowsAPictureFromMemoryAndRefusesOneThatClaimsHugeDimensions) {
    TempFolder dir;
    RawArchive archive;
    archive.entries = {{u"small.bmp", bmp(3, 2, true)},
                       {u"huge.bmp", bmp(100000, 100000, false)},
                       {u"wide.bmp", bmp(20000, 1, false)}};
    writeFile(dir / "skin.rdb", archive.bytes());
    PreviewPane pane;
    pane.resize(400, 300);
    pane.setArchive(ArchiveIndex::open(dir / "skin.rdb"));
    QSignalSpy shown(&pane, &PreviewPane::shown);

    pane.showEntry(0);
    ASSERT_TRUE(shown.wait(5000));
    EXPECT_EQ(pane.picture().size(), QSize(3, 2));
    EXPECT_EQ(pane.picture().pixelColor(0, 0), QColor(0x7f, 0x7f, 0x7f));
    EXPECT_TRUE(pane.infoText().contains(QStringLiteral("3 × 2 像素，不透明")))
        << pane.infoText().toStdString();

    for (const int entry : {1, 2}) {
        pane.showEntry(entry);
        ASSERT_TRUE(shown.wait(5000));
        EXPECT_TRUE(pane.picture().isNull());
        EXPECT_EQ(pane.messageText(), QStringLiteral("图片太大，无法预览。"));
    }
}

}  // namespace
}  // namespace tessapak::app::browser
