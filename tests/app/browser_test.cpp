// The archive browser's models and preview, offscreen, on archives built in code.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTreeView>
#include <QtEndian>

#include "app/browser/archive_model.h"
#include "app/browser/browser_window.h"
#include "app/browser/comparison.h"
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

// A BMP header (no pixels needed for the size) of the given dimensions, its
// pixels all the grey of fill.
std::string bmp(qint32 width, qint32 height, bool withPixels, char fill = '\x7f') {
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
    bytes.append(QByteArray(static_cast<qsizetype>(pixelBytes), fill));
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

QStringList rowsWithMarks(const QAbstractItemModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows << model.index(row, FileListModel::NameColumn).data().toString() + u' ' +
                    model.index(row, FileListModel::MarkColumn).data().toString();
    }
    return rows;
}

TEST(BrowserComparison, MarksWhatDiffersFromTheOlderArchiveAndEndsBackInThePlainView) {
    TempFolder dir;
    RawArchive older;
    older.entries = {{u"same.txt", "abc"},      {u"skin\\btn.bmp", bmp(4, 4, true, '\x20')},
                     {u"skin\\grow.txt", "a"},  {u"skin\\Logo.png", "x"},
                     {u"old\\gone.txt", "bye"}, {u"keep\\k.txt", "k"}};
    writeFile(dir / "older.rdb", older.bytes());
    RawArchive newer;
    newer.entries = {{u"same.txt", "abc"},
                     {u"skin\\btn.bmp", bmp(4, 4, true, '\x21')},  // same size, other bytes
                     {u"skin\\grow.txt", "ab"},
                     {u"skin\\logo.png", "x"},  // only its letter case changed
                     {u"new\\add.txt", "n"},
                     {u"keep\\k.txt", "k"}};
    writeFile(dir / "newer.rdb", newer.bytes());

    BrowserWindow window;
    window.openArchive(fromHostPath(dir / "newer.rdb"));
    QSignalSpy compared(&window, &BrowserWindow::comparisonChanged);
    window.compareWith(fromHostPath(dir / "older.rdb"));
    ASSERT_TRUE(compared.wait(10000));
    EXPECT_TRUE(window.statusText().contains(
        QStringLiteral("与 older.rdb 比较：新增 2 个，删除 2 个，修改 2 个")))
        << window.statusText().toStdString();

    FolderTreeModel& folders = *window.folderModel();
    const QModelIndex top = folders.index(0, 0);
    EXPECT_EQ(top.data().toString(), QStringLiteral("newer.rdb（含差异）"));
    // A folder with nothing changed below it stays unmarked.
    QStringList below;
    for (int row = 0; row < folders.rowCount(top); ++row) {
        below << folders.index(row, 0, top).data().toString();
    }
    EXPECT_EQ(below, (QStringList{QStringLiteral("keep"), QStringLiteral("new（含差异）"),
                                  QStringLiteral("skin（含差异）")}));

    FileListModel& files = *window.fileModel();
    // A file of a folder the open archive lacks is listed where its path
    // leaves the open archive's folders, greyed and without an entry.
    EXPECT_EQ(rowsWithMarks(files),
              (QStringList{QStringLiteral("same.txt "), QStringLiteral("old/gone.txt 已删除")}));
    EXPECT_EQ(files.index(1, 0).data(FileListModel::EntryRole).toInt(), -1);
    EXPECT_EQ(files.index(1, 0).data(Qt::AccessibleTextRole).toString(),
              QStringLiteral("old/gone.txt，已删除"));
    EXPECT_FALSE(files.flags(files.index(1, 0)).testFlag(Qt::ItemIsDragEnabled));
    files.setFolder(folders.folderAt(folders.index(2, 0, top)));
    EXPECT_EQ(rowsWithMarks(files),
              (QStringList{QStringLiteral("btn.bmp 已修改"), QStringLiteral("grow.txt 已修改"),
                           QStringLiteral("logo.png 新增"), QStringLiteral("Logo.png 已删除")}));
    files.setFolder(0);
    files.setOnlyDifferences(true);
    EXPECT_EQ(rowsWithMarks(files), QStringList{QStringLiteral("old/gone.txt 已删除")});
    files.setFilter(QStringLiteral("o"));
    EXPECT_EQ(rowsWithMarks(files),
              (QStringList{
                  QStringLiteral("skin/grow.txt 已修改"), QStringLiteral("skin/logo.png 新增"),
                  QStringLiteral("skin/Logo.png 已删除"), QStringLiteral("old/gone.txt 已删除")}));
    files.setFilter(QString());
    files.setOnlyDifferences(false);

    window.endComparison();
    EXPECT_EQ(compared.count(), 2);
    EXPECT_FALSE(window.statusText().contains(QStringLiteral("比较")));
    EXPECT_EQ(top.data().toString(), QStringLiteral("newer.rdb"));
    EXPECT_EQ(folders.index(2, 0, top).data().toString(), QStringLiteral("skin"));
    EXPECT_EQ(files.columnCount(), 3);
    EXPECT_EQ(column(files), QStringList{QStringLiteral("same.txt")});
}

// Whether a picture of one grey and at least area pixels shows somewhere in
// x from..to of an image (text's smoothed edges make only a few such pixels).
bool showsGrey(const QImage& image, int from, int to, int grey, int area) {
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = from; x < to; ++x) {
            found += image.pixelColor(x, y) == QColor(grey, grey, grey) ? 1 : 0;
        }
    }
    return found >= area;
}

TEST(BrowserComparison, AChangedPictureShowsOldBesideNewFromAnOlderArchiveOrFolder) {
    TempFolder dir;
    RawArchive newer;
    newer.entries = {{u"skin\\btn.bmp", bmp(24, 12, true, '\x30')}};
    writeFile(dir / "newer.rdb", newer.bytes());
    RawArchive older;
    older.entries = {{u"skin\\btn.bmp", bmp(12, 12, true, '\xc0')}};
    writeFile(dir / "older.rdb", older.bytes());
    std::filesystem::create_directories(dir / "older" / "skin");
    writeFile(dir / "older" / "skin" / "btn.bmp", bmp(12, 12, true, '\xc0'));
    const auto index = ArchiveIndex::open(dir / "newer.rdb");

    for (const char* olderName : {"older.rdb", "older"}) {
        SCOPED_TRACE(olderName);
        const auto comparison = Comparison::make(index, dir / olderName);
        ASSERT_EQ(comparison->mark(0), Mark::Changed);
        PreviewPane pane;
        pane.resize(400, 300);
        pane.show();
        pane.setArchive(index);
        pane.setComparison(comparison);
        QSignalSpy shown(&pane, &PreviewPane::shown);
        pane.showEntry(0);
        ASSERT_TRUE(shown.wait(5000));
        EXPECT_EQ(pane.beforePicture().size(), QSize(12, 12));
        EXPECT_EQ(pane.picture().size(), QSize(24, 12));
        EXPECT_TRUE(pane.infoText().contains(QStringLiteral("旧：12 × 12 像素")));
        EXPECT_TRUE(pane.infoText().contains(QStringLiteral("新：24 × 12 像素")));

        // As seen: the old picture on the left half, the new one on the right.
        const QImage seen = pane.grab().toImage();
        const int half = seen.width() / 2;
        EXPECT_TRUE(showsGrey(seen, 0, half, 0xc0, 12 * 12));
        EXPECT_FALSE(showsGrey(seen, 0, half, 0x30, 12 * 12));
        EXPECT_TRUE(showsGrey(seen, half, seen.width(), 0x30, 24 * 12));
        EXPECT_FALSE(showsGrey(seen, half, seen.width(), 0xc0, 12 * 12));

        // Ended, the same entry shows alone again.
        pane.setComparison(nullptr);
        pane.showEntry(0);
        ASSERT_TRUE(shown.wait(5000));
        EXPECT_TRUE(pane.beforePicture().isNull());
        const QImage alone = pane.grab().toImage();
        EXPECT_FALSE(showsGrey(alone, 0, alone.width(), 0xc0, 12 * 12));
        EXPECT_TRUE(showsGrey(alone, 0, alone.width(), 0x30, 24 * 12));
    }
}

}  // namespace
}  // namespace tessapak::app::browser
