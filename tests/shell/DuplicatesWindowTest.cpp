// Find Duplicates in the window: from the browsing list's context menu, the
// tree's and the Tools menu, the groups it shows, and the others of each
// group sent to the trash in one step; the index the window shares with the
// searches follows the category deleted in the tree and remembers what went
// from a project while "deleted stay deleted" is on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <random>

#include "browse/CDuplicatesDialog.h"
#include "browse/CImagelist.h"
#include "browse/CPictureIndexer.h"
#include "browse/Ctreemanage.h"
#include "browse/FileRecord.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/CommandIds.h"
#include "store/PictureIndex.h"
#include "tests/shell/WindowFixture.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

QString Q(const std::string& s) { return QString::fromStdString(s); }

QImage Scene(int seed, int w, int h) {
    std::mt19937 rng{uint32_t(seed)};
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(pick(256), pick(256), pick(256)));
    QPainter painter(&img);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 30; ++i) {
        painter.setBrush(QColor(pick(256), pick(256), pick(256)));
        painter.drawEllipse(
            QRectF(pick(w) - w / 8, pick(h) - h / 8, w / 8 + pick(w / 3), h / 8 + pick(h / 3)));
    }
    painter.end();
    return img;
}

void Save(const QImage& img, const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(img.save(Q(path), "JPEG", 85)) << path;
}

QStringList Trashed() {
    QStringList names;
    const std::string files = qEnvironmentVariable("XDG_DATA_HOME").toStdString() + "/Trash/files";
    if (!fs::exists(files)) return names;
    for (const auto& e : fs::directory_iterator(files))
        names.append(Q(e.path().filename().string()));
    return names;
}

QAction* Titled(QMenu& menu, const QString& text) {
    for (QAction* a : menu.actions())
        if (a->text() == text) return a;
    return nullptr;
}

// The entry of the menu that popped up (waiting for it); null when none
// did with that entry.
QAction* PoppedUp(const QString& text, QMenu** menu) {
    QAction* action = nullptr;
    WaitUntil(
        [&] {
            *menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            action = *menu ? Titled(**menu, text) : nullptr;
            return action != nullptr;
        },
        10000);
    return action;
}

// Clicks the entry of the menu that pops up, as the user's mouse would;
// false when none popped up with that entry, or it was off.
bool ClickInPopup(const QString& text) {
    QMenu* menu = nullptr;
    QAction* action = PoppedUp(text, &menu);
    if (!action) return false;
    if (!action->isEnabled()) {
        menu->close();
        return false;
    }
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    return true;
}

// A context menu runs an event loop of its own until it closes: the click
// on its entry comes from a timer, started before the right click.
void ClickInNextPopup(const QString& text, bool* clicked) {
    *clicked = false;
    QTimer::singleShot(0, [text, clicked] { *clicked = ClickInPopup(text); });
}

// What a right click at pos of a view does: a context menu event.
void RightClick(QAbstractScrollArea* view, const QPoint& pos) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view->viewport(), &e);
}

class Duplicates : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        frame = std::make_unique<CMainFrame>(app);
        frame->resize(1000, 700);
        frame->show();
        ASSERT_NE(frame->Indexer(), nullptr) << "the index opens in the test's data folder";
        // The tree's first reading of the folders is over before the test
        // makes its own.
        ASSERT_TRUE(frame->Tree()->WaitForReads(10000));
    }
    std::string Pics() const { return app.startDirectory + "My Pictures/"; }
    CDuplicatesDialog* OpenedDialog() {
        CDuplicatesDialog* d = nullptr;
        EXPECT_TRUE(WaitUntil([&] {
            d = frame->Files()->Duplicates();
            return d && d->Ready();
        }));
        return d;
    }
    template <class T>
    T* In(QWidget* w, const QString& name) {
        T* child = w->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(Duplicates, FromTheListsMenuTheOthersGoToTheTrashAndLeaveTheList) {
    const std::string cats = Pics() + "Tabbies/";
    const QImage photo = Scene(11, 480, 360);
    Save(photo, cats + "tabby.jpg");
    fs::copy_file(cats + "tabby.jpg", cats + "tabby again.jpg");
    Save(photo.scaled(240, 180, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
         cats + "tabby half.jpg");
    Save(Scene(12, 480, 360), cats + "calico.jpg");
    frame->ShowBrowsingList();
    frame->Files()->ShowFolder(Q(cats));
    CThumbList& list = frame->ImageList()->List();
    ASSERT_TRUE(WaitUntil([&] { return list.Ready() && list.Model().rowCount() == 4; }));

    // A right click on a picture, and the entry of the menu.
    QAbstractItemView* view = list.CurrentView();
    bool clicked = false;
    ClickInNextPopup("Find &Duplicates...", &clicked);
    RightClick(view, view->visualRect(list.Model().index(0, 0)).center());
    ASSERT_TRUE(clicked) << "the list's menu offers Find Duplicates";
    CDuplicatesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Folder(), Q(cats)) << "the folder shown";
    EXPECT_TRUE(dialog->isVisible());

    // In path order: "tabby again.jpg", "tabby half.jpg", "tabby.jpg".
    ASSERT_EQ(dialog->Groups().size(), 2u);
    EXPECT_EQ(In<QLabel>(dialog, "duplicatesStatus")->text(),
              "1 group of the same picture, 1 group of look-alikes.");
    EXPECT_EQ(In<QRadioButton>(dialog, "keep0_0")->text(), "tabby again.jpg");
    EXPECT_EQ(In<QRadioButton>(dialog, "keep0_1")->text(), "tabby.jpg");
    EXPECT_TRUE(In<QRadioButton>(dialog, "keep0_0")->isChecked()) << "the first kept by default";
    EXPECT_EQ(In<QLabel>(dialog, "folder0_1")->text(), Q(cats));
    EXPECT_EQ(In<QLabel>(dialog, "size0_1")->text(),
              CFileRecord::ListSizeText(qint64(fs::file_size(cats + "tabby.jpg"))));
    EXPECT_EQ(In<QLabel>(dialog, "dimensions0_1")->text(), QString::fromUtf8("480 \u00d7 360"));
    EXPECT_EQ(In<QRadioButton>(dialog, "keep1_0")->text(), "tabby again.jpg");
    EXPECT_EQ(In<QRadioButton>(dialog, "keep1_1")->text(), "tabby half.jpg");
    EXPECT_EQ(In<QLabel>(dialog, "dimensions1_1")->text(), QString::fromUtf8("240 \u00d7 180"));
    // The look-alikes side by side; the same pictures need no pictures.
    for (const char* name : {"duplicateThumb1_0", "duplicateThumb1_1"})
        EXPECT_FALSE(In<QLabel>(dialog, name)->pixmap().isNull()) << name;
    EXPECT_EQ(In<QLabel>(dialog, "duplicateCaption1_1")->text(), "tabby half.jpg");
    EXPECT_EQ(dialog->findChild<QLabel*>("duplicateThumb0_0"), nullptr);

    // The user keeps tabby.jpg of the copies (the look-alikes' first stands
    // for them) and the rest goes in one step.
    QTest::mouseClick(In<QRadioButton>(dialog, "keep0_1"), Qt::LeftButton);
    QTest::mouseClick(In<QPushButton>(dialog, "trashOthersButton"), Qt::LeftButton);
    const QStringList trashed = Trashed();
    EXPECT_TRUE(trashed.contains("tabby again.jpg")) << trashed.join(",").toStdString();
    EXPECT_TRUE(trashed.contains("tabby half.jpg")) << trashed.join(",").toStdString();
    EXPECT_TRUE(fs::exists(cats + "tabby.jpg"));
    EXPECT_TRUE(fs::exists(cats + "calico.jpg"));
    ASSERT_EQ(list.Model().rowCount(), 2);
    QStringList rows;
    for (int r = 0; r < 2; ++r) rows.append(list.Model().At(r).record.name);
    rows.sort();
    EXPECT_EQ(rows, (QStringList{"calico.jpg", "tabby.jpg"}));
    // Found afresh: nothing is left, and the index forgot what went.
    ASSERT_TRUE(WaitUntil([&] { return dialog->Ready(); }));
    EXPECT_TRUE(dialog->Groups().empty());
    EXPECT_EQ(In<QLabel>(dialog, "duplicatesStatus")->text(), "No duplicates found.");
    EXPECT_EQ(In<QLabel>(dialog, "duplicatesEmpty")->text(),
              "Each picture here is kept only once.");
    EXPECT_FALSE(In<QPushButton>(dialog, "trashOthersButton")->isEnabled());
    ASSERT_TRUE(frame->Indexer()->WaitForIdle(30000));
    EXPECT_FALSE(frame->Indexer()->Index().Get(cats + "tabby again.jpg"));
    EXPECT_TRUE(frame->Indexer()->Index().Get(cats + "tabby.jpg"));
}

TEST_F(Duplicates, TheTreeLooksInACategoryWithItsSubCategoriesOrEverywhere) {
    const std::string birds = Pics() + "Birds/", owls = Pics() + "Birds/Owls/";
    const std::string elsewhere = app.startDirectory + "My Search/web/site/";
    Save(Scene(21, 120, 90), owls + "owl.jpg");
    fs::copy_file(owls + "owl.jpg", birds + "owl copy.jpg");
    Save(Scene(22, 120, 90), elsewhere + "fox.jpg");
    fs::copy_file(elsewhere + "fox.jpg", Pics() + "fox copy.jpg");
    // The categories made behind the window's back come in as the level is
    // read again (as when "My Pictures" is opened).
    Ctreemanage* tree = frame->Tree();
    tree->ReadLevel(tree->MyPictures());
    ASSERT_TRUE(tree->WaitForReads(10000));
    tree->MyPictures()->setExpanded(true);
    QTreeWidgetItem* item = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (item = tree->FindCategory(Q(birds))) != nullptr; }));

    tree->scrollToItem(item);
    bool clicked = false;
    ClickInNextPopup("Find &Duplicates...", &clicked);
    RightClick(tree, tree->visualItemRect(item).center());
    ASSERT_TRUE(clicked) << "a category's menu offers Find Duplicates";
    CDuplicatesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Folder(), Q(birds));
    ASSERT_EQ(dialog->Groups().size(), 1u) << "the category and below, nothing else";
    // In the paths' byte order: "Owls/" before "owl copy.jpg".
    EXPECT_EQ(dialog->Groups()[0].members[0].path, owls + "owl.jpg");
    EXPECT_EQ(dialog->Groups()[0].members[1].path, birds + "owl copy.jpg");

    tree->scrollToItem(tree->MyPictures());
    ClickInNextPopup("Find &Duplicates in Everything...", &clicked);
    RightClick(tree, tree->visualItemRect(tree->MyPictures()).center());
    ASSERT_TRUE(clicked) << "\"My Pictures\" offers them all";
    ASSERT_TRUE(WaitUntil([&] {
        return frame->Files()->Duplicates() && frame->Files()->Duplicates() != dialog &&
               frame->Files()->Duplicates()->Ready();
    }));
    dialog = frame->Files()->Duplicates();
    EXPECT_EQ(dialog->Folder(), Q(app.startDirectory));
    EXPECT_EQ(dialog->Groups().size(), 2u) << "the fox of a search and its copy too";
    EXPECT_EQ(In<QLabel>(dialog, "duplicatesStatus")->text(), "2 groups of the same picture.");

    // The category deleted: its pictures leave the index.
    tree->confirm = [](const QString&) { return true; };
    ASSERT_TRUE(tree->DeleteCategory(tree->FindCategory(Q(birds))));
    ASSERT_TRUE(frame->Indexer()->WaitForIdle(30000));
    EXPECT_TRUE(frame->Indexer()->Index().Under(birds).empty());
    EXPECT_TRUE(frame->Indexer()->Index().Get(elsewhere + "fox.jpg"));
}

// The Tools menu looks where the user looks: in the folder the browsing list
// shows, else everywhere.
TEST_F(Duplicates, TheToolsMenuLooksInTheFolderShownElseEverywhere) {
    const std::string dogs = Pics() + "Dogs/";
    Save(Scene(31, 120, 90), dogs + "rex.jpg");
    fs::copy_file(dogs + "rex.jpg", dogs + "rex again.jpg");
    Save(Scene(32, 120, 90), Pics() + "Cats/tom.jpg");
    fs::copy_file(Pics() + "Cats/tom.jpg", Pics() + "tom elsewhere.jpg");
    const std::string lone = Pics() + "Lone/";
    Save(Scene(33, 120, 90), lone + "only.jpg");
    QMenuBar* bar = frame->menuBar();
    QAction* tools = nullptr;
    for (QAction* a : bar->actions())
        if (a->text() == "&Tools") tools = a;
    ASSERT_NE(tools, nullptr);
    auto fromTools = [&]() -> CDuplicatesDialog* {
        CDuplicatesDialog* before = frame->Files()->Duplicates();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(tools).center());
        if (!ClickInPopup("Find &Duplicates...")) return nullptr;
        CDuplicatesDialog* d = nullptr;
        EXPECT_TRUE(WaitUntil([&] {
            d = frame->Files()->Duplicates();
            return d && d != before && d->Ready();
        }));
        return d;
    };
    struct Case {
        const char* what;
        std::function<void()> look;
        std::string folder;
        size_t groups;
    };
    const Case cases[] = {
        {"the searches' history in view",
         [&] { frame->Tree()->setCurrentItem(frame->Tree()->HistoryItem("web")); },
         app.startDirectory, 2},
        {"a folder in the browsing list",
         [&] {
             frame->ShowBrowsingList();
             frame->Files()->ShowFolder(Q(dogs));
             WaitUntil([&] { return frame->ImageList()->List().Model().rowCount() == 2; });
         },
         dogs, 1},
    };
    for (const Case& c : cases) {
        c.look();
        CDuplicatesDialog* dialog = fromTools();
        ASSERT_NE(dialog, nullptr) << c.what;
        EXPECT_EQ(dialog->Folder(), Q(c.folder)) << c.what;
        EXPECT_EQ(dialog->Groups().size(), c.groups) << c.what;
    }
    // A folder of one picture has nothing to find: the command is off.
    frame->Files()->ShowFolder(Q(lone));
    ASSERT_TRUE(WaitUntil([&] { return frame->ImageList()->List().Model().rowCount() == 1; }));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(tools).center());
    QMenu* menu = nullptr;
    QAction* find = PoppedUp("Find &Duplicates...", &menu);
    ASSERT_NE(find, nullptr);
    EXPECT_FALSE(find->isEnabled());
    menu->close();
}

// With "deleted stay deleted" on, the pictures of a project the trash took
// are remembered, as when they are deleted from the list; the one kept is
// not.
TEST_F(Duplicates, WhatTheTrashTookFromAProjectIsRememberedWhileDeletedStayIsOn) {
    app.bDeletedStay = true;
    const std::string project = app.startDirectory + "My Search/web/127.0.0.1/";
    Save(Scene(41, 120, 90), project + "a.jpg");
    fs::copy_file(project + "a.jpg", project + "b.jpg");
    std::ofstream(project + "project.inf")
        << "2**00:00:01\r\nVersion=1.1\r\nFILTER=000000 0 900\r\nKEYWORDS=\r\nSEARCHENGINE=\r\n"
           "URL=http://127.0.0.1:1/\r\n \r\nOK a.jpg 1KB http://127.0.0.1:1/a.jpg\r\n"
           "OK b.jpg 1KB http://127.0.0.1:1/b.jpg\r\n";
    // Not the folder shown: the addresses come from the project's record.
    frame->Files()->FindDuplicates(Q(app.startDirectory), true);
    CDuplicatesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->Groups().size(), 1u);
    QTest::mouseClick(In<QPushButton>(dialog, "trashOthersButton"), Qt::LeftButton);
    EXPECT_TRUE(fs::exists(project + "a.jpg"));
    EXPECT_FALSE(fs::exists(project + "b.jpg"));
    const auto index = app.PictureIndex();
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->WasDeletedAddress("http://127.0.0.1:1/b.jpg"));
    EXPECT_FALSE(index->WasDeletedAddress("http://127.0.0.1:1/a.jpg")) << "the one kept";
}

// The window closes while Find Duplicates is open: the dialog goes with it,
// after the indexer's thread has ended.
TEST_F(Duplicates, TheWindowClosesWithTheDialogOpen) {
    Save(Scene(51, 48, 36), Pics() + "Owls/a.jpg");
    fs::copy_file(Pics() + "Owls/a.jpg", Pics() + "Owls/b.jpg");
    frame->Files()->FindDuplicates(Q(Pics() + "Owls/"), false);
    QPointer<CDuplicatesDialog> dialog = OpenedDialog();
    ASSERT_FALSE(dialog.isNull());
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Groups().size(), 1u);
    frame.reset();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(fs::exists(Pics() + "Owls/b.jpg")) << "nothing went to the trash";
}

}  // namespace
}  // namespace pq
