// Copying, moving and deleting pictures: the plain operations, the dialog's
// list rules and the browsing list's rows.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "browse/CCopyMoveDialog.h"
#include "browse/CFileOperations.h"
#include "browse/CImagelist.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using Ops = CFileOperations;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileOps : public ::testing::Test {
protected:
    void SetUp() override {
        from = src.Path() + "pics/";
        to = dst.Path() + "out/";
        fs::create_directories(from);
        fs::create_directories(to);
        for (const char* n : {"a.jpg", "b.gif", "c.bmp"})
            Write(from + n, std::string("data of ") + n);
    }
    QStringList Files(std::initializer_list<const char*> names) {
        QStringList l;
        for (const char* n : names) l.append(QString::fromStdString(from + n));
        return l;
    }
    test::TempDir src, dst;
    std::string from, to;
};

TEST_F(FileOps, CopyAndMove) {
    auto r = Ops::Copy(Files({"a.jpg", "b.gif"}), QString::fromStdString(to), false, {});
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(Read(to + "a.jpg"), "data of a.jpg");
    EXPECT_TRUE(fs::exists(from + "a.jpg")) << "a copy leaves the source";
    r = Ops::Copy(Files({"c.bmp"}), QString::fromStdString(to), true, {});
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(Read(to + "c.bmp"), "data of c.bmp");
    EXPECT_FALSE(fs::exists(from + "c.bmp"));
    // Onto the folder the files are in: nothing.
    r = Ops::Copy(Files({"a.jpg"}), QString::fromStdString(from), true, {});
    EXPECT_TRUE(r.handled.isEmpty());
    EXPECT_TRUE(fs::exists(from + "a.jpg"));
    for (const auto& e : fs::directory_iterator(to))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(FileOps, ATakenNameIsReplacedSkippedOrKeptBesideAsAsked) {
    Write(to + "a.jpg", "old a");
    Write(to + "b.gif", "old b");
    Write(to + "c.bmp", "old c");
    std::vector<Ops::CollisionAnswer> answers = {{Ops::Collision::kReplace, false},
                                                 {Ops::Collision::kSkip, false},
                                                 {Ops::Collision::kKeepBoth, false}};
    size_t asked = 0;
    auto ask = [&](const QString&) { return answers[asked++]; };
    auto r = Ops::Copy(Files({"a.jpg", "b.gif", "c.bmp"}), QString::fromStdString(to), false, ask);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(asked, 3u);
    EXPECT_EQ(Read(to + "a.jpg"), "data of a.jpg");
    EXPECT_EQ(Read(to + "b.gif"), "old b");
    EXPECT_EQ(Read(to + "c.bmp"), "old c");
    EXPECT_EQ(Read(to + "c (2).bmp"), "data of c.bmp");
    EXPECT_EQ(Ops::KeepBothName(QString::fromStdString(to), "c.bmp"), "c (3).bmp");

    // "For all": asked once.
    asked = 0;
    answers = {{Ops::Collision::kKeepBoth, true}};
    r = Ops::Copy(Files({"a.jpg", "b.gif"}), QString::fromStdString(to), false, ask);
    EXPECT_EQ(asked, 1u);
    EXPECT_TRUE(fs::exists(to + "a (2).jpg"));
    EXPECT_TRUE(fs::exists(to + "b (2).gif"));
}

TEST_F(FileOps, ADestinationThatCannotBeWrittenStopsAndLeavesTheRest) {
    Write(dst.Path() + "plain-file", "x");
    auto r = Ops::Copy(Files({"a.jpg", "b.gif"}),
                       QString::fromStdString(dst.Path() + "plain-file/sub"), true, {});
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.failedFile.isEmpty());
    EXPECT_FALSE(r.reason.isEmpty());
    EXPECT_TRUE(fs::exists(from + "a.jpg"));
    EXPECT_TRUE(fs::exists(from + "b.gif"));
}

TEST_F(FileOps, AMoveToAnotherFileSystemCopiesBeforeItRemoves) {
    const fs::path shm = "/dev/shm";
    std::error_code ec;
    if (!fs::is_directory(shm, ec) || fs::space(shm, ec).available < (1 << 20))
        GTEST_SKIP() << "no second file system here";
    const std::string other = shm.string() + "/pq-move-" + std::to_string(::getpid()) + "/";
    fs::create_directories(other);
    Write(other + "far.jpg", std::string(100000, 'f'));
    auto r = Ops::Copy({QString::fromStdString(other + "far.jpg")}, QString::fromStdString(to),
                       true, {});
    EXPECT_TRUE(r.Ok()) << r.reason.toStdString();
    EXPECT_EQ(Read(to + "far.jpg"), std::string(100000, 'f'));
    EXPECT_FALSE(fs::exists(other + "far.jpg"));
    fs::remove_all(other);
}

TEST_F(FileOps, ReplacingALinkReplacesTheLinkNeverWhatItPointsTo) {
    const auto replace = [](const QString&) {
        return Ops::CollisionAnswer{Ops::Collision::kReplace, true};
    };
    // A link at the target to a file outside the destination: that file is
    // untouched, the link gives way to the copy.
    Write(src.Path() + "thesis.odt", "years of work");
    fs::create_symlink(src.Path() + "thesis.odt", to + "a.jpg");
    auto r = Ops::Copy(Files({"a.jpg"}), QString::fromStdString(to), false, replace);
    EXPECT_TRUE(r.Ok()) << r.reason.toStdString();
    EXPECT_EQ(Read(src.Path() + "thesis.odt"), "years of work");
    EXPECT_FALSE(fs::is_symlink(to + "a.jpg"));
    EXPECT_EQ(Read(to + "a.jpg"), "data of a.jpg");

    // A link at the target to the source itself, on the same file system and
    // across: the source is left alone, and said so, never lost.
    std::vector<std::string> folders = {to};
    const fs::path shm = "/dev/shm";
    std::error_code ec;
    if (fs::is_directory(shm, ec) && fs::space(shm, ec).available > (1 << 20))
        folders.push_back(shm.string() + "/pq-link-" + std::to_string(::getpid()) + "/");
    for (const std::string& folder : folders) {
        fs::create_directories(folder);
        fs::remove(folder + "b.gif", ec);
        fs::create_symlink(from + "b.gif", folder + "b.gif");
        r = Ops::Copy(Files({"b.gif"}), QString::fromStdString(folder), true, replace);
        EXPECT_TRUE(r.Ok()) << folder;
        EXPECT_EQ(r.sameFile, Files({"b.gif"})) << folder;
        EXPECT_TRUE(r.handled.isEmpty()) << folder;
        EXPECT_EQ(Read(from + "b.gif"), "data of b.gif") << folder;
        if (folder != to) fs::remove_all(folder);
    }
    // A link whose target is gone still takes the name: it is asked about.
    fs::create_symlink(src.Path() + "gone.jpg", to + "c.bmp");
    int asked = 0;
    r = Ops::Copy(Files({"c.bmp"}), QString::fromStdString(to), false, [&](const QString&) {
        ++asked;
        return Ops::CollisionAnswer{Ops::Collision::kKeepBoth, false};
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Read(to + "c (2).bmp"), "data of c.bmp");
    EXPECT_FALSE(fs::exists(src.Path() + "gone.jpg"));
}

TEST_F(FileOps, ACopyKeepsTheModificationTime) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(from + "a.jpg", old);
    ASSERT_TRUE(Ops::Copy(Files({"a.jpg"}), QString::fromStdString(to), false, {}).Ok());
    EXPECT_EQ(fs::last_write_time(to + "a.jpg"), old);
}

TEST_F(FileOps, DeleteGoesToTheTrash) {
    auto r = Ops::Delete(Files({"a.jpg"}), {});
    ASSERT_TRUE(r.Ok());
    EXPECT_FALSE(fs::exists(from + "a.jpg"));
    const std::string trash = qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash/files/";
    bool found = false;
    for (const auto& e : fs::directory_iterator(trash))
        found = found || Read(e.path().string()) == "data of a.jpg";
    EXPECT_TRUE(found) << "in " << trash;
}

TEST(CopyMoveDialog, DestinationListRules) {
    std::vector<std::string> items = {"/x/", "/y/"};
    CCopyMoveDialog::PutFirst(items, "/y/");
    EXPECT_EQ(items, (std::vector<std::string>{"/y/", "/x/"}));
    CCopyMoveDialog::PutFirst(items, "/z/");
    EXPECT_EQ(items, (std::vector<std::string>{"/z/", "/y/", "/x/"}));
    {
        CCopyMoveDialog d(true, "/src/", items);
        EXPECT_EQ(d.windowTitle(), "Copy Files");
        EXPECT_EQ(d.Destination(), "/z/") << "the most recent folder is offered";
        d.findChild<QListWidget*>("destinationList")->setCurrentRow(1);
        d.findChild<QPushButton*>("deleteButton")->click();
        EXPECT_EQ(items, (std::vector<std::string>{"/z/", "/x/"}));
        d.findChild<QPushButton*>("deleteAllButton")->click();
        d.reject();
    }
    EXPECT_TRUE(items.empty()) << "Delete All, then Cancel, leaves the list empty";
    {
        CCopyMoveDialog d(false, "/src/", items);
        EXPECT_EQ(d.windowTitle(), "Move Files");
        EXPECT_TRUE(d.Destination().isEmpty());
        d.findChild<QLineEdit*>("destinationEdit")->setText("/new");
        d.accept();
    }
    EXPECT_EQ(items, (std::vector<std::string>{"/new"})) << "typed without a slash, kept as typed";
}

TEST_F(FileOps, TheBrowsingListLosesTheRowsOfFilesThatWent) {
    std::string mode = "report";
    CImagelist view(mode);
    std::vector<QString> messages;
    view.report = [&](const QString& m) { messages.push_back(m); };
    view.ShowFolder(QString::fromStdString(from));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.List().Ready(); }, 10000));
    ASSERT_EQ(view.List().Model().rowCount(), 3);
    view.SelectRow(0);  // a.jpg
    ASSERT_TRUE(view.CopySelection(QString::fromStdString(to), false));
    EXPECT_EQ(view.List().Model().rowCount(), 3) << "a copy keeps the rows";
    view.List().Selection()->clearSelection();
    view.List().SelectAll();
    view.askCollision = [](const QString&) {
        return Ops::CollisionAnswer{Ops::Collision::kSkip, true};
    };
    ASSERT_TRUE(view.CopySelection(QString::fromStdString(to), true));
    // a.jpg was skipped (its name was taken) and stays; the others went.
    EXPECT_EQ(view.List().Model().rowCount(), 1);
    EXPECT_EQ(view.List().Model().At(0).record.name, "a.jpg");
    view.SelectRow(0);
    ASSERT_TRUE(view.DeleteSelection());
    EXPECT_EQ(view.List().Model().rowCount(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FileOps, ManyScatteredRowsLeaveTogetherWhenTheirFilesGo) {
    // Every other picture of a folder, and a run of them: rows that leave
    // one by one have the views and the selection go through all their
    // rows each time, which takes minutes for thousands.
    for (int i = 0; i < 600; ++i)
        Write(from + QString("p%1.jpg").arg(i, 4, 10, QChar('0')).toStdString(), "x");
    std::string mode = "report";
    CImagelist view(mode);
    view.report = [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
    view.ShowFolder(QString::fromStdString(from));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.List().Ready(); }, 10000));
    auto& model = view.List().Model();
    ASSERT_EQ(model.rowCount(), 603);
    QItemSelection chosen;
    for (int r = 3; r < 603; r += 2) chosen.select(model.index(r, 0), model.index(r, 0));
    view.List().Selection()->select(chosen,
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy relaid(&model, &QAbstractItemModel::layoutChanged);
    ASSERT_TRUE(view.CopySelection(QString::fromStdString(to), true));
    EXPECT_LE(removed.count() + relaid.count(), 2);
    ASSERT_EQ(model.rowCount(), 303);
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_TRUE(fs::exists(model.PathOf(r).toStdString())) << r;
        EXPECT_EQ(model.RowOfPath(model.PathOf(r)), r);
        EXPECT_EQ(model.RowOfId(model.At(r).id), r);
    }
    EXPECT_TRUE(view.List().SelectedRows().isEmpty()) << "the moved rows took their selection";

    // Delete: a run at the top and scattered rows, to the trash.
    QItemSelection doomed(model.index(0, 0), model.index(9, 0));
    for (int r = 20; r < 300; r += 3) doomed.select(model.index(r, 0), model.index(r, 0));
    const QString gone = model.PathOf(20), kept = model.PathOf(21);
    view.List().Selection()->select(doomed,
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const int before = model.rowCount();
    const int selected = int(view.List().SelectedRows().size());
    ASSERT_EQ(selected, 10 + 94);
    removed.clear();
    relaid.clear();
    ASSERT_TRUE(view.DeleteSelection());
    EXPECT_LE(removed.count() + relaid.count(), 2);
    EXPECT_EQ(model.rowCount(), before - selected);
    EXPECT_EQ(model.RowOfPath(gone), -1);
    EXPECT_GE(model.RowOfPath(kept), 0);
    for (int r = 0; r < model.rowCount(); ++r) EXPECT_EQ(model.RowOfPath(model.PathOf(r)), r);
}

}  // namespace
}  // namespace pq
