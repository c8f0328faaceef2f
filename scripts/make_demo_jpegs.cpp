// Draws the JPEG pictures of the demo site with Qt's painter and JPEG writer.
// Build and run once when the demo pictures change:
//   g++ -std=c++17 -fPIC scripts/make_demo_jpegs.cpp -o /tmp/make_demo_jpegs \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/make_demo_jpegs
//       resources/demo-site/pics
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QString>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QString out = argc > 1 ? argv[1] : ".";

    QImage hills(160, 120, QImage::Format_RGB32);
    {
        QPainter p(&hills);
        QLinearGradient sky(0, 0, 0, 120);
        sky.setColorAt(0, QColor(90, 150, 230));
        sky.setColorAt(1, QColor(220, 235, 250));
        p.fillRect(hills.rect(), sky);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(70, 140, 60));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(40, 130), 90, 50);
        p.setBrush(QColor(50, 110, 45));
        p.drawEllipse(QPointF(130, 135), 80, 45);
    }
    hills.save(out + "/hills.jpg", "JPG", 85);

    QImage moon(120, 120, QImage::Format_RGB32);
    {
        QPainter p(&moon);
        p.fillRect(moon.rect(), QColor(15, 20, 45));
        p.setRenderHint(QPainter::Antialiasing);
        QRadialGradient g(QPointF(60, 60), 40);
        g.setColorAt(0, QColor(250, 250, 220));
        g.setColorAt(1, QColor(200, 200, 170));
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(60, 60), 38, 38);
    }
    moon.save(out + "/moon.jpeg", "JPG", 85);
    return 0;
}
