// Saves the whole X screen as a PNG and says what the top strip (the panel)
// and the rest hold, for the panel tests to assert on:
//   screen_grab FILE.png STRIP_HEIGHT [CROPPED.png]
// prints "LEFT RIGHT LIT": the first and last columns of the strip that
// differ from its right-most pixel (-1 -1 when none), and how many pixels
// under the strip are not black (the empty X root window). CROPPED.png gets
// the strip's drawn columns and what is lit below the panel's edge (a menu).
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: screen_grab FILE.png STRIP_HEIGHT [CROPPED.png]\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const int strip = std::atoi(argv[2]);
    if (shot.isNull() || strip <= 0 || strip >= shot.height() ||
        !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        return 1;
    }
    const QRgb background = shot.pixel(shot.width() - 1, strip / 2);
    int left = -1, right = -1;
    long lit = 0;
    QRect below;  // lit pixels past the few rows of the panel's edge
    for (int x = 0; x < shot.width(); ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            if (y >= strip + 4 && qGray(shot.pixel(x, y)) > 16) {
                below |= QRect(x, y, 1, 1);
            }
            if (y >= strip) {
                lit += qGray(shot.pixel(x, y)) > 16 ? 1 : 0;
            } else if (shot.pixel(x, y) != background) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
    }
    if (argc == 4 && left >= 0) {
        const QRect area =
            QRect(left, 0, right - left + 1, strip).united(below).adjusted(-8, 0, 8, 8);
        if (!shot.copy(area & shot.rect()).save(QString::fromLocal8Bit(argv[3]), "PNG")) {
            return 1;
        }
    }
    std::printf("%d %d %ld\n", left, right, lit);
    return 0;
}
