// Find Duplicates in the window: from the browsing list's menu and the
// tree's, the groups it shows, and the others of each group sent to the
// trash in one step; the index the window keeps follows the category
// deleted in the tree.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <random>

#include "browse/CDuplicatesDialog.h"
#include "browse/CImagelist.h"
#include "browse/CPictureIndexer.h"
#include "browse/Ctreemanage.h"
#include "browse/FileRecord.h"
#include "shell/window/CFrameFiles.h"
#include "shell/window/CommandIds.h"
#include "tests/shell/WindowFixture.h"

namespace pq {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

QString Q(const std::string& s) { return QString::fromStdString(s); }

QImage Scene(int seed, int w, int h) {
    std::mt19937 rng(uint32_t(seed));
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(pick(256), pick(256), pick(256)));
    QPainter painter(&img);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 30; ++i) {
        painter.setBrush(QColor(pick(256), pick(256), pick(256)));
        painter.drawEllipse(QRectF(pick(w) - w / 8, pick(h) - h / 8, w / 8 + pick(w / 3),
                                   h / 8 + pick(h / 3)));
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

class Duplicates : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        frame = std::make_unique<CMainFrame>(app);
        frame->resize(1000, 700);
        frame->show();
        ASSERT_NE(frame->Indexer(), nullptr) << "the index opens in the test's data folder";
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

    QMenu menu;
    frame->Files()->FillListMenu(menu, frame->ImageList());
    QAction* find = Titled(menu, "Find &Duplicates...");
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(find->isEnabled());
    find->trigger();
    CDuplicatesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Folder(), Q(cats)) << "the folder shown";
    EXPECT_TRUE(dialog->isVisible());

    // In path order: "tabby again.jpg", "tabby half.jpg", "tabby.jpg".
    ASSERT_EQ(dialog->Groups().size(), 2u);
    EXPECT_EQ(In<QLabel>(dialog, "duplicatesStatus")->text(),
              "1 groups of the same picture, 1 of look-alikes.");
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
    Ctreemanage* tree = frame->Tree();
    QTreeWidgetItem* item = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (item = tree->FindCategory(Q(birds))) != nullptr; }));

    QMenu menu;
    tree->FillMenu(menu, item);
    QAction* find = Titled(menu, "Find &Duplicates...");
    ASSERT_NE(find, nullptr);
    find->trigger();
    CDuplicatesDialog* dialog = OpenedDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Folder(), Q(birds));
    ASSERT_EQ(dialog->Groups().size(), 1u) << "the category and below, nothing else";
    EXPECT_EQ(dialog->Groups()[0].members[0].path, birds + "owl copy.jpg");
    EXPECT_EQ(dialog->Groups()[0].members[1].path, owls + "owl.jpg");

    QMenu top;
    tree->FillMenu(top, tree->MyPictures());
    QAction* everything = Titled(top, "Find &Duplicates in Everything...");
    ASSERT_NE(everything, nullptr);
    everything->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        return frame->Files()->Duplicates() && frame->Files()->Duplicates() != dialog &&
               frame->Files()->Duplicates()->Ready();
    }));
    dialog = frame->Files()->Duplicates();
    EXPECT_EQ(dialog->Folder(), Q(app.startDirectory));
    EXPECT_EQ(dialog->Groups().size(), 2u) << "the fox of a search and its copy too";

    // The category deleted: its pictures leave the index.
    tree->confirm = [](const QString&) { return true; };
    ASSERT_TRUE(tree->DeleteCategory(tree->FindCategory(Q(birds))));
    ASSERT_TRUE(frame->Indexer()->WaitForIdle(30000));
    EXPECT_TRUE(frame->Indexer()->Index().Under(birds).empty());
    EXPECT_TRUE(frame->Indexer()->Index().Get(elsewhere + "fox.jpg"));
}

}  // namespace
}  // namespace pq
