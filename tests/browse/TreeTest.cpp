// The category tree: the skeleton, new and deleted categories, folders made
// outside, and what a drop on an item does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "browse/Chistorylist.h"
#include "browse/Ctreemanage.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

namespace fs = std::filesystem;

QStringList Children(QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names.append(item->child(i)->text(0));
    return names;
}

class Tree : public ::testing::Test {
protected:
    std::string Pictures() const { return dir.Path() + "My Pictures/"; }
    test::TempDir dir;
    std::string dirCreate = "-1";
};

TEST_F(Tree, FirstStartMakesTheSkeletonAndASecondDoesNotRemakeDeletedCategories) {
    {
        Ctreemanage tree(dir.Path(), dirCreate);
        ASSERT_TRUE(tree.WaitForReads(5000));
        EXPECT_EQ(Children(tree.MyPictures()),
                  (QStringList{"Art", "Cartoon", "Portrait", "Scenic", "Sport"}));
        ASSERT_NE(tree.HistoryItem("web"), nullptr);
        ASSERT_NE(tree.HistoryItem("befor"), nullptr);
        EXPECT_TRUE(fs::is_directory(dir.Path() + "My Search/Websearch"));
        EXPECT_TRUE(fs::is_directory(dir.Path() + "My Search/Keysearch"));
    }
    EXPECT_EQ(dirCreate, "1");
    fs::remove(Pictures() + "Sport");
    Ctreemanage again(dir.Path(), dirCreate);
    ASSERT_TRUE(again.WaitForReads(5000));
    EXPECT_FALSE(Children(again.MyPictures()).contains("Sport"));
    EXPECT_FALSE(fs::exists(Pictures() + "Sport"));
}

TEST_F(Tree, NewCategoriesAndFoldersMadeOutside) {
    Ctreemanage tree(dir.Path(), dirCreate);
    ASSERT_TRUE(tree.WaitForReads(5000));
    QTreeWidgetItem* scenic = tree.FindCategory(QString::fromStdString(Pictures() + "Scenic"));
    ASSERT_NE(scenic, nullptr);
    EXPECT_TRUE(tree.NewCategory(scenic, "Cats").isEmpty());
    EXPECT_TRUE(fs::is_directory(Pictures() + "Scenic/Cats"));
    EXPECT_EQ(Children(scenic), QStringList{"Cats"});
    for (const char* bad : {"a/b", "..", ".x", ""})
        EXPECT_FALSE(tree.NewCategory(scenic, bad).isEmpty()) << bad;
    EXPECT_EQ(Children(scenic), QStringList{"Cats"});
    EXPECT_FALSE(tree.NewCategory(tree.HistoryItem("web"), "x").isEmpty());

    fs::create_directories(Pictures() + "Art/Made Outside");
    QSignalSpy chosen(&tree, &Ctreemanage::FolderChosen);
    tree.setCurrentItem(tree.FindCategory(QString::fromStdString(Pictures() + "Art")));
    ASSERT_TRUE(tree.WaitForReads(5000));
    EXPECT_TRUE(Children(tree.FindCategory(QString::fromStdString(Pictures() + "Art")))
                    .contains("Made Outside"));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toString().toStdString(), Pictures() + "Art/");
}

TEST_F(Tree, ACategoryIsReadOneLevelAtATimeOffThisThreadWhenOpenedOrChosen) {
    // A category of thousands of subfolders read whole, on this thread, at
    // start and on every click froze the window for seconds.
    const std::string many = Pictures() + "Many/";
    const int count = 600;
    for (int i = 0; i < count; ++i)
        fs::create_directories(many + "c" + std::to_string(10000 + i) + (i == 0 ? "/deep" : ""));
    Ctreemanage tree(dir.Path(), dirCreate);
    EXPECT_TRUE(tree.Reading()) << "nothing is read on this thread at start";
    ASSERT_TRUE(tree.WaitForReads(10000));
    EXPECT_EQ(tree.LevelsRead(), 1) << "My Pictures' level alone";
    QTreeWidgetItem* item = tree.FindCategory(QString::fromStdString(many));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->childCount(), 0);
    EXPECT_EQ(item->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator)
        << "it can be opened before it is read";
    EXPECT_EQ(tree.FindCategory(QString::fromStdString(Pictures() + "Art"))->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);

    tree.setCurrentItem(item);
    EXPECT_EQ(item->childCount(), 0) << "read off this thread";
    ASSERT_TRUE(tree.WaitForReads(10000));
    EXPECT_EQ(tree.LevelsRead(), 2) << "one level, not the subtree";
    ASSERT_EQ(item->childCount(), count);
    QTreeWidgetItem* first = item->child(0);
    EXPECT_EQ(first->text(0), "c10000");
    EXPECT_EQ(first->childCount(), 0);
    EXPECT_EQ(first->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(item->child(1)->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);

    // A folder goes and one comes outside the program; a click again reads
    // the level again and keeps the items that stay.
    fs::remove(many + "c10001");
    fs::create_directory(many + "c10500a");
    tree.setCurrentItem(tree.MyPictures());
    ASSERT_TRUE(tree.WaitForReads(10000));
    tree.setCurrentItem(item);
    ASSERT_TRUE(tree.WaitForReads(10000));
    ASSERT_EQ(item->childCount(), count);
    EXPECT_EQ(item->child(0), first);
    EXPECT_EQ(item->child(1)->text(0), "c10002");
    const int at = item->indexOfChild(tree.FindCategory(QString::fromStdString(many + "c10500a")));
    ASSERT_GT(at, 0);
    EXPECT_EQ(item->child(at - 1)->text(0), "c10500") << "a new folder takes its place by name";

    // Opening a category reads its level.
    first->setExpanded(true);
    ASSERT_TRUE(tree.WaitForReads(10000));
    ASSERT_EQ(first->childCount(), 1);
    EXPECT_EQ(first->child(0)->text(0), "deep");
}

TEST_F(Tree, DeletingACategoryRemovesItsFolderButNotWhatLinksPointAt) {
    Ctreemanage tree(dir.Path(), dirCreate);
    ASSERT_TRUE(tree.WaitForReads(5000));
    fs::create_directories(Pictures() + "Scenic/Hills/High");
    std::ofstream(Pictures() + "Scenic/Hills/a.jpg") << "a";
    std::ofstream(dir.Path() + "keep.jpg") << "keep";
    fs::create_symlink(dir.Path() + "keep.jpg", Pictures() + "Scenic/link.jpg");
    QTreeWidgetItem* scenic = tree.FindCategory(QString::fromStdString(Pictures() + "Scenic"));
    int asked = 0;
    tree.confirm = [&](const QString& q) {
        ++asked;
        EXPECT_TRUE(q.contains("Scenic"));
        return true;
    };
    QStringList told;
    tree.tell = [&](const QString& m) { told.append(m); };
    EXPECT_TRUE(tree.DeleteCategory(scenic));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(fs::exists(Pictures() + "Scenic"));
    EXPECT_TRUE(fs::exists(dir.Path() + "keep.jpg"));
    EXPECT_EQ(tree.FindCategory(QString::fromStdString(Pictures() + "Scenic")), nullptr);
    // "My Pictures" and the search items cannot be deleted.
    EXPECT_FALSE(tree.DeleteCategory(tree.MyPictures()));
    EXPECT_FALSE(tree.DeleteCategory(tree.HistoryItem("this")));
    EXPECT_EQ(told.size(), 2);
    EXPECT_TRUE(fs::exists(Pictures()));
}

TEST_F(Tree, PicturesDroppedOnACategoryAreMovedOrWithCtrlCopied) {
    Ctreemanage tree(dir.Path(), dirCreate);
    ASSERT_TRUE(tree.WaitForReads(5000));
    tree.resize(300, 400);
    tree.show();
    QApplication::processEvents();
    QSignalSpy dropped(&tree, &Ctreemanage::FilesDropped);
    const QStringList files{"/pics/a.jpg", "/pics/b.jpg"};
    auto drop = [&](QTreeWidgetItem* target, Qt::KeyboardModifiers mods) {
        tree.Drop(target, files, mods & Qt::ControlModifier);
    };
    QTreeWidgetItem* scenic = tree.FindCategory(QString::fromStdString(Pictures() + "Scenic"));
    drop(scenic, Qt::NoModifier);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped[0][0].toStringList(), (QStringList{"/pics/a.jpg", "/pics/b.jpg"}));
    EXPECT_EQ(dropped[0][1].toString().toStdString(), Pictures() + "Scenic/");
    EXPECT_FALSE(dropped[0][2].toBool()) << "moved";
    drop(scenic, Qt::ControlModifier);
    ASSERT_EQ(dropped.count(), 2);
    EXPECT_TRUE(dropped[1][2].toBool()) << "copied with Ctrl";
    drop(tree.MyPictures(), Qt::NoModifier);
    drop(tree.HistoryItem("web"), Qt::NoModifier);
    EXPECT_EQ(dropped.count(), 2) << "My Pictures itself and the search items take nothing";
}

TEST(HistoryList, DeletingProjectsAsksAndRemovesTheirFolders) {
    test::TempDir dir;
    std::vector<store::HistoryEntry> entries;
    for (const char* n : {"one", "two", "three"}) {
        fs::create_directories(dir.Path() + n);
        std::ofstream(dir.Path() + n + "/project.inf") << "1**00:00:01\r\n";
        entries.push_back({n, dir.Path() + n + "/", "http://h/", "26-12-10 06:00:00", "1", "", 0});
    }
    Chistorylist list;
    list.SetEntries(entries, "web");
    ASSERT_EQ(list.topLevelItemCount(), 3);
    list.topLevelItem(0)->setSelected(true);
    QString question;
    list.ask = [&](const QString& q) {
        question = q;
        return int(QMessageBox::No);
    };
    EXPECT_TRUE(list.DeleteSelected().isEmpty());
    EXPECT_TRUE(question.contains("'one'"));
    EXPECT_TRUE(fs::exists(dir.Path() + "one"));
    list.InvertSelection();
    EXPECT_EQ(list.SelectedFolders().size(), 2);
    list.ask = [&](const QString& q) {
        question = q;
        return int(QMessageBox::Yes);
    };
    QSignalSpy deleted(&list, &Chistorylist::ProjectsDeleted);
    EXPECT_EQ(list.DeleteSelected().size(), 2);
    EXPECT_TRUE(question.contains("these projects"));
    EXPECT_EQ(list.topLevelItemCount(), 1);
    EXPECT_FALSE(fs::exists(dir.Path() + "two"));
    EXPECT_TRUE(fs::exists(dir.Path() + "one"));
    EXPECT_EQ(deleted.count(), 1);
}

}  // namespace
}  // namespace pq
