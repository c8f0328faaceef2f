// The picture index against the thumbnails: 10,000 small JPEGs (some the
// same bytes as another, some a half-size copy of another) entered through
// the window's indexer (content hash, difference hash, dimensions) into a
// fresh index, against making their 80 × 80 thumbnails on as many threads
// (the indexer has one); the same folders entered again when nothing
// changed; the time to find the duplicates among them, and the whole of
// what Find Duplicates over everything does before its list shows.
// Figures only; nothing here passes or fails.
//   bench_index [--count N] [--folder DIR]
// The pictures (default: under the system's temporary folder) are made
// once and kept; the index is a fresh file of each run's own.
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>

#include "browse/CPictureIndexer.h"
#include "browse/PictureHash.h"
#include "browse/PictureLoader.h"
#include "store/Duplicates.h"
#include "store/PictureIndex.h"

namespace {

constexpr int kFolders = 10;

QImage Scene(int seed, int w, int h) {
    std::mt19937 rng{uint32_t(seed)};
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(pick(256), pick(256), pick(256)));
    g.setColorAt(1, QColor(pick(256), pick(256), pick(256)));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 20; ++i) {
        p.setBrush(QColor(pick(256), pick(256), pick(256)));
        p.drawEllipse(
            QRectF(pick(w) - w / 8, pick(h) - h / 8, w / 8 + pick(w / 3), h / 8 + pick(h / 3)));
    }
    return img;
}

// Picture i of count: every tenth the same bytes as the one before it,
// every tenth (offset by five) a half-size copy of the one before it, the
// rest pictures of their own; spread over kFolders folders.
QString PathOf(const QString& root, int i) {
    return root + QString("/c%1/p%2.jpg").arg(i % kFolders).arg(i, 5, 10, QChar('0'));
}

void MakePictures(const QString& root, int count, int* same, int* halves) {
    for (int f = 0; f < kFolders; ++f) QDir().mkpath(root + QString("/c%1").arg(f));
    *same = *halves = 0;
    for (int i = 0; i < count; ++i) {
        const QString path = PathOf(root, i);
        const bool copy = i % 10 == 9, half = i % 10 == 4;
        *same += copy;
        *halves += half;
        if (QFile::exists(path)) continue;
        if (copy) {
            QFile::copy(PathOf(root, i - 1), path);
        } else if (half) {
            Scene(i - 1, 160, 120)
                .scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .save(path, "JPEG", 85);
        } else {
            Scene(i, 160, 120).save(path, "JPEG", 85);
        }
    }
}

double Seconds(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e9; }

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int count = 10000;
    QString root = QDir::tempPath() + "/pelquinar-bench-index";
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--count"))
            count = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--folder"))
            root = QString::fromLocal8Bit(argv[++i]);
    }
    root += QString("/%1").arg(count);
    int same = 0, halves = 0;
    QElapsedTimer t;
    t.start();
    MakePictures(root, count, &same, &halves);
    std::printf(
        "%d pictures of 160 x 120 (%d the same bytes as another, %d half-size copies) "
        "in %s, made in %.1f s\n",
        count, same, halves, qPrintable(root), Seconds(t));
    QStringList files;
    for (int i = 0; i < count; ++i) files << PathOf(root, i);

    // The thumbnails, on one thread as the indexer.
    t.restart();
    int made = 0;
    for (const QString& f : files) made += pq::picture::LoadThumbnail(f, QSize(80, 80)).valid;
    const double thumbs = Seconds(t);
    std::printf("thumbnails at 80 x 80, 1 thread:      %6.2f s, %7.0f pictures/s (%d made)\n",
                thumbs, count / thumbs, made);

    // The two halves of an entry, alone.
    t.restart();
    for (const QString& f : files) pq::store::HashFile(QFile::encodeName(f).toStdString());
    const double contentHashes = Seconds(t);
    t.restart();
    for (const QString& f : files) pq::picture::DifferenceHashOf(f);
    const double differenceHashes = Seconds(t);
    std::printf("content hashes alone: %.2f s; difference hashes alone: %.2f s\n", contentHashes,
                differenceHashes);

    QTemporaryDir data;
    pq::store::PictureIndex index;
    if (!index.Open((data.path() + "/pictures.sqlite").toStdString())) {
        std::fprintf(stderr, "bench_index: the index cannot be opened\n");
        return 1;
    }
    {
        pq::CPictureIndexer indexer(index);
        t.restart();
        indexer.Rebuild({root});
        indexer.WaitForIdle(3600 * 1000);
        const double entered = Seconds(t);
        std::printf(
            "indexed (hash, difference hash), 1 thread: %6.2f s, %7.0f pictures/s "
            "(%d entered, %.2f of the thumbnails' rate)\n",
            entered, count / entered, index.Count(), thumbs / entered);
        t.restart();
        indexer.Rebuild({root});
        indexer.WaitForIdle(3600 * 1000);
        const double again = Seconds(t);
        std::printf(
            "entered again, nothing changed:        %6.2f s, %7.0f pictures/s (%d hashed "
            "in all)\n",
            again, count / again, indexer.Hashed());
    }
    t.restart();
    const auto pictures = index.Under((root + "/").toStdString());
    const double read = Seconds(t);
    const auto groups = pq::store::FindDuplicates(pictures);
    const double found = Seconds(t);
    int sameGroups = 0, lookAlike = 0;
    for (const auto& g : groups)
        (g.kind == pq::store::DuplicateGroup::Kind::kSameBytes ? sameGroups : lookAlike)++;
    std::printf(
        "duplicates found in %.3f s (the index read in %.3f s): %d groups of the same "
        "bytes (%d made), %d of look-alikes (%d made)\n",
        found, read, sameGroups, same, lookAlike, halves);

    // What Find Duplicates over everything does on the indexer's thread:
    // every folder brought up to date (nothing changed), the entries read
    // and grouped, then the look-alikes' thumbnails for the dialog.
    t.restart();
    const std::atomic<bool> stop{false};
    const std::string top = (root + "/").toStdString();
    for (const std::string& folder : pq::CPictureIndexer::FoldersUnder(top, stop))
        pq::CPictureIndexer::UpdateFolder(index, folder, stop);
    const auto asDialog = pq::store::FindDuplicates(index.Under(top));
    const double dialog = Seconds(t);
    int shown = 0;
    for (const auto& g : asDialog)
        if (g.kind == pq::store::DuplicateGroup::Kind::kLookAlike)
            for (const auto& p : g.members)
                shown += pq::picture::LoadThumbnail(QString::fromStdString(p.path), QSize(160, 160))
                             .valid;
    const double withThumbs = Seconds(t);
    std::printf(
        "Find Duplicates as the dialog looks (folders brought up to date, read, "
        "grouped): %.3f s; with the %d look-alike thumbnails: %.3f s\n",
        dialog, shown, withThumbs);
    return 0;
}
