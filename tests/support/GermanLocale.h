// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Switches the C library and Qt to German number formats ("2,5") for as long as it lives. The C
// library's locale is built on the fly into a private folder when the system has no German locale.
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace pikota::test {

class GermanLocale {
public:
    GermanLocale() {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            const QString command =
                "localedef -i de_DE -f UTF-8 '" + built_.filePath("de_DE.UTF-8") + "' >/dev/null 2>&1";
            if (std::system(command.toLocal8Bit().constData()) == 0) {
                setenv("LOCPATH", built_.path().toLocal8Bit().constData(), 1);
                std::setlocale(LC_ALL, "de_DE.UTF-8");
            }
        }
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 2.5);
        EXPECT_STREQ(text, "2,5") << "the C library is not German";
        EXPECT_EQ(QLocale().toString(2.5), "2,5");
    }
    ~GermanLocale() {
        QLocale::setDefault(previous_);
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

private:
    QTemporaryDir built_;
    QLocale previous_;
};

} // namespace pikota::test
