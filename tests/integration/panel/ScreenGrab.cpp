// Saves the whole X screen as a PNG and says what the top strip (the panel)
// and the rest hold, for the panel tests to assert on:
//   screen_grab FILE.png STRIP_HEIGHT
// prints "span LEFT RIGHT" (the columns of the strip that differ from its
// right-most pixel, -1 -1 when none) and "below PIXELS" (how many pixels
// under the strip are not black, the empty X root window).
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

namespace {

void PrintSpan(const QImage& image, int strip) {
    const QRgb background = image.pixel(image.width() - 1, strip / 2);
    int left = -1;
    int right = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < strip; ++y) {
            if (image.pixel(x, y) != background) {
                left = left < 0 ? x : left;
                right = x;
                break;
            }
        }
    }
    std::printf("span %d %d\n", left, right);
}

void PrintBelow(const QImage& image, int strip) {
    long lit = 0;
    for (int y = strip; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            lit += qGray(image.pixel(x, y)) > 16 ? 1 : 0;
        }
    }
    std::printf("below %ld\n", lit);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: screen_grab FILE.png STRIP_HEIGHT\n", stderr);
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
    PrintSpan(shot, strip);
    PrintBelow(shot, strip);
    return 0;
}
