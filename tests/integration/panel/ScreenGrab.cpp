// screen_grab FILE.png STRIP_HEIGHT: saves the X screen and prints
// "LEFT RIGHT LIT": the first and last columns of the top strip (the panel)
// that differ from its right-most pixel (-1 -1: none), and how many pixels
// below it are not black (the empty X root window).
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const int strip = argc == 3 ? std::atoi(argv[2]) : 0;
    if (shot.isNull() || strip <= 0 || strip >= shot.height() ||
        !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        return 1;
    }
    const QRgb background = shot.pixel(shot.width() - 1, strip / 2);
    int left = -1, right = -1;
    long lit = 0;
    for (int x = 0; x < shot.width(); ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            if (y >= strip) {
                lit += qGray(shot.pixel(x, y)) > 16 ? 1 : 0;
            } else if (shot.pixel(x, y) != background) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
    }
    std::printf("%d %d %ld\n", left, right, lit);
    return 0;
}
