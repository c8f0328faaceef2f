// The saved pictures' record lines wait for one sync of their batch: never a
// line before the sync that makes its picture durable, the lines in the
// order they were added, and one sync for many pictures.
#include <gtest/gtest.h>

#include "engine/CRecordBatch.h"
#include "store/Credits.h"
#include "store/ProjectFile.h"
#include "tests/support/TempDir.h"

namespace pq {
namespace {

CRecordBatch::Line PictureLine(const std::string& folder, int i) {
    CRecordBatch::Line l;
    l.folder = folder;
    l.localName = "p" + std::to_string(i) + ".gif";
    l.sizeText = "1KB";
    l.address = "http://h/p" + std::to_string(i) + ".gif";
    l.statusText = std::to_string(i + 1) + "**00:00:0" + std::to_string(i % 10);
    return l;
}

TEST(RecordBatch, LinesWaitForOneSyncAndKeepTheirOrder) {
    test::TempDir dir;
    ASSERT_TRUE(store::CreateProjectFile(dir.Path(), store::ProjectHeader{}));
    store::ProjectRecord record;
    ASSERT_TRUE(record.Open(dir.Path()));
    CRecordBatch batch(record);
    const std::string empty = dir.ReadFile("project.inf");
    for (int i = 0; i < 3; ++i) batch.Add(PictureLine(dir.Path(), i));
    CRecordBatch::Line credited = PictureLine(dir.Path(), 3);
    credited.hasCredit = true;
    credited.credit.title = "Cat";
    batch.Add(credited);
    EXPECT_EQ(dir.ReadFile("project.inf"), empty) << "nothing before the sync";
    EXPECT_EQ(batch.Waiting(), 4u);
    EXPECT_EQ(batch.Syncs(), 0);
    batch.Flush();
    EXPECT_EQ(batch.Syncs(), 1);
    EXPECT_EQ(batch.Waiting(), 0u);
    const std::string text = dir.ReadFile("project.inf");
    EXPECT_EQ(text.substr(0, 11), "4**00:00:03") << "the last status";
    EXPECT_EQ(text.substr(empty.size()),
              "OK p0.gif 1KB http://h/p0.gif\r\nOK p1.gif 1KB http://h/p1.gif\r\n"
              "OK p2.gif 1KB http://h/p2.gif\r\nOK p3.gif 1KB http://h/p3.gif\r\n");
    EXPECT_EQ(store::ReadCredits(dir.Path()).at("p3.gif").title, "Cat");
    batch.Flush();
    EXPECT_EQ(batch.Syncs(), 1) << "nothing waiting: no sync";

    // A full batch is written at once: one sync for kMaxPictures pictures.
    for (size_t i = 0; i < CRecordBatch::kMaxPictures; ++i) batch.Add(PictureLine(dir.Path(), 10));
    EXPECT_EQ(batch.Waiting(), 0u);
    EXPECT_EQ(batch.Syncs(), 2);

    // Lines for a project whose record is not open (Get Big Pictures) leave
    // line 1 alone when they carry no status.
    test::TempDir other;
    ASSERT_TRUE(store::CreateProjectFile(other.Path(), store::ProjectHeader{}));
    CRecordBatch::Line big = PictureLine(other.Path(), 0);
    big.statusText.clear();
    batch.Add(big);
    batch.Flush();
    const std::string otherText = other.ReadFile("project.inf");
    EXPECT_EQ(otherText.substr(0, 11), "0**00:00:00");
    EXPECT_NE(otherText.find("OK p0.gif 1KB http://h/p0.gif\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pq
