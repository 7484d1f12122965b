// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the program's icon for the desktop's icon theme: <folder>/<N>x<N>/apps/pikota.png
// for every size given, from the same pixel art that the window shows. Pixel art is only
// ever enlarged by a whole factor, each pixel becoming a square block, so it stays crisp:
// sizes that 32 divides come from the 32-pixel drawing, the other multiples of 16 from
// the 16-pixel one.
#include "platform/toolkit/Artwork.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace toolkit = pikota::toolkit;

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const int base = size % 32 == 0 ? 32 : 16;
        if (size <= 0 || size % base != 0) {
            std::fprintf(stderr, "%s: %s is not a multiple of 16\n", argv[0], argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = folder.filePath(dir + QStringLiteral("/pikota.png"));
        if (!folder.mkpath(dir) ||
            !toolkit::ScaledArt(toolkit::AppIconImage(base), size / base).save(path, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(path));
            return 1;
        }
    }
    return 0;
}
