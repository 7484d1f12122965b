// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

// The registry stand-in and GetKeyValue over it.
#include "about/GetKeyValue.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>

using namespace pikota::registry;

namespace {

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

// Runs each test with a PATH of its own and no test values.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* path = std::getenv("PATH"))
            savedPath_ = path;
        ASSERT_TRUE(dir_.isValid());
        setPath({});
    }
    void TearDown() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        ClearTestValues();
    }

    void setPath(const QStringList& folders) {
        ::setenv("PATH", folders.join(u':').toLocal8Bit().constData(), 1);
    }
    // A file `name` in the folder `sub` of the test's own folder.
    QString makeFile(const QString& sub, const QString& name, bool executable = true) {
        QDir(dir_.path()).mkpath(sub);
        const QString path = dir_.path() + u'/' + sub + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    QString folder(const QString& sub) const { return dir_.path() + u'/' + sub; }

    static std::string readPath() {
        HKEY key = 0;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSysInfoKey, 0, 0x2003F, &key) != ERROR_SUCCESS)
            return "(no key)";
        unsigned char data[1024] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        const LONG rc = RegQueryValueEx(key, "PATH", &type, data, &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return "(no value)";
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(data[size - 1], 0) << "string data ends in its terminator";
        return std::string(reinterpret_cast<const char*>(data), size - 1);
    }

    QTemporaryDir dir_;
    std::string savedPath_;
};

TEST_F(Registry, AnswersTheFirstViewerFoundOnPath) {
    EXPECT_EQ(readPath(), "(no value)") << "no viewer anywhere on PATH";

    const QString hardinfo = makeFile(QStringLiteral("a"), QStringLiteral("hardinfo"));
    setPath({QStringLiteral("relative"), {}, folder(QStringLiteral("a"))});
    EXPECT_EQ(readPath(), hardinfo.toStdString());

    // KDE's Info Center comes first, even from a later folder.
    const QString kinfo = makeFile(QStringLiteral("b"), QStringLiteral("kinfocenter"));
    setPath({folder(QStringLiteral("a")), folder(QStringLiteral("b"))});
    EXPECT_EQ(readPath(), kinfo.toStdString());

    // A file that cannot be run is no viewer; neither is a folder of that name.
    makeFile(QStringLiteral("c"), QStringLiteral("kinfocenter"), false);
    QDir(folder(QStringLiteral("d"))).mkpath(QStringLiteral("kinfocenter"));
    setPath({folder(QStringLiteral("c")), folder(QStringLiteral("d")), folder(QStringLiteral("a"))});
    EXPECT_EQ(readPath(), hardinfo.toStdString());
}

TEST_F(Registry, KeysAndValuesAsTheRegistryHasThem) {
    const QString viewer = makeFile(QStringLiteral("a"), QStringLiteral("hardinfo"));
    setPath({folder(QStringLiteral("a"))});

    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\MICROSOFT\\shared tools\\msinfo", 0, 0, &key),
              ERROR_SUCCESS)
        << "names are compared without case";
    DWORD size = 0;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueEx(key, "path", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, static_cast<DWORD>(viewer.toLocal8Bit().size() + 1));
    unsigned char small[4] = {1, 2, 3, 4};
    DWORD smallSize = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "PATH", &type, small, &smallSize), ERROR_MORE_DATA);
    EXPECT_EQ(smallSize, size);
    EXPECT_EQ(small[0], 1) << "nothing written when the value does not fit";
    EXPECT_EQ(RegQueryValueEx(key, "MissingValue", &type, small, &smallSize), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueEx(key, "PATH", &type, nullptr, &size), ERROR_INVALID_HANDLE);

    // The folder of the Windows tools is not answered, and other roots hold nothing.
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", 0, 0, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kSysInfoKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, GetKeyValueReadsStringsAndNumbers) {
    const QString viewer = makeFile(QStringLiteral("a"), QStringLiteral("kinfocenter"));
    setPath({folder(QStringLiteral("a"))});
    QString value = QStringLiteral("old");
    EXPECT_TRUE(
        GetKeyValue(HKEY_LOCAL_MACHINE, QString::fromLatin1(kSysInfoKey), QStringLiteral("PATH"), value));
    EXPECT_EQ(value, viewer);

    const auto set = [](const char* name, DWORD type, std::vector<unsigned char> data) {
        SetTestValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", name, type, std::move(data));
    };
    const QString key = QStringLiteral("SOFTWARE\\Test");
    const QByteArray japanese = QStringLiteral("音声１").toUtf8();
    set("Text", REG_SZ, {japanese.begin(), japanese.end()});
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, QStringLiteral("Text"), value));
    EXPECT_EQ(value, QStringLiteral("音声１")) << "a string without its terminator is whole";

    set("Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, QStringLiteral("Number"), value));
    EXPECT_EQ(value, QStringLiteral("305419896"));
    set("Number", REG_DWORD, {0xff, 0xff, 0xff, 0xff});
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, QStringLiteral("Number"), value));
    EXPECT_EQ(value, QStringLiteral("4294967295"));

    value = QStringLiteral("kept");
    set("Binary", 3, {1, 2, 3});
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, QStringLiteral("Binary"), value));
    EXPECT_EQ(value, QStringLiteral("kept")) << "another type leaves the text as it was";
}

TEST_F(Registry, GetKeyValueFailsClearingTheText) {
    QString value = QStringLiteral("old");
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                             QStringLiteral("MSINFO"), value));
    EXPECT_TRUE(value.isEmpty());

    value = QStringLiteral("old");
    EXPECT_FALSE(
        GetKeyValue(HKEY_LOCAL_MACHINE, QString::fromLatin1(kSysInfoKey), QStringLiteral("PATH"), value))
        << "no viewer on PATH";
    EXPECT_TRUE(value.isEmpty());

    // 1024 bytes fit the buffer, terminator included; one more does not.
    std::vector<unsigned char> full(1023, 'x');
    full.push_back(0);
    SetTestValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Long", REG_SZ, full);
    EXPECT_TRUE(
        GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Long"), value));
    EXPECT_EQ(value, QString(1023, u'x'));
    full.insert(full.begin(), 'x');
    SetTestValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "Long", REG_SZ, full);
    EXPECT_FALSE(
        GetKeyValue(HKEY_LOCAL_MACHINE, QStringLiteral("SOFTWARE\\Test"), QStringLiteral("Long"), value));
    EXPECT_TRUE(value.isEmpty());
}

} // namespace
