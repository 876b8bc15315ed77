// Converts the application icon's pictures to PNG for installation.
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon IN.xpm OUT.png\n");
    return 2;
  }
  const QImage image(argv[1]);
  if (image.isNull() || !image.save(argv[2], "PNG")) {
    std::fprintf(stderr, "cannot convert %s\n", argv[1]);
    return 1;
  }
  return 0;
}
