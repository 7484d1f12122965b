// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "track/ReadError.h"

#include "track/Track.h"

#include <sndfile.h>

namespace {

QString TagName(std::uint16_t tag) {
    const QString number =
        QStringLiteral("0x") + QString::number(tag, 16).rightJustified(4, QLatin1Char('0')).toUpper();
    const char* name = nullptr;
    switch (tag) {
    case 0x0002:
        name = "Microsoft ADPCM";
        break;
    case 0x0011:
        name = "IMA ADPCM";
        break;
    case 0x0031:
        name = "GSM 6.10";
        break;
    case 0x0050:
        name = "MPEG";
        break;
    case 0x0055:
        name = "MP3";
        break;
    default:
        return QStringLiteral("不明な形式（形式番号 %1）").arg(number);
    }
    return QStringLiteral("%1（形式番号 %2）").arg(QLatin1String(name), number);
}

[[noreturn]] void RefuseEncoding(const QString& encoding) {
    throw SoundFileError("encoding that cannot be drawn", SoundFileError::Problem::Encoding,
                         QStringLiteral("%1の WAV ファイルは、ピコタでは読み込めません。").arg(encoding));
}

} // namespace

QString SoundFileError::reason() const {
    switch (problem_) {
    case Problem::NotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case Problem::NotReadable:
        return QStringLiteral("ファイルを読むことができません。読み取りの許可を確かめてください。");
    case Problem::NotAFile:
        return QStringLiteral("ファイルではありません。");
    case Problem::Encoding:
    case Problem::Damaged:
        return message_;
    case Problem::NotWave:
        break;
    }
    return QStringLiteral("ピコタで読み込める WAV ファイルではありません。");
}

QString NoSoundReason() {
    return QStringLiteral("このファイルには、ピコタで読み込める音声が見つかりません。");
}

void RefuseWavTag(std::uint16_t tag) { RefuseEncoding(TagName(tag)); }

void RefuseUnknownSubformat() {
    RefuseEncoding(QStringLiteral("副形式が不明な拡張形式（WAVE_FORMAT_EXTENSIBLE）"));
}

void RefuseIntegerBits(int bits) { RefuseEncoding(QStringLiteral("整数 PCM（%1 ビット）").arg(bits)); }

void RefuseFloatBits(int bits) { RefuseEncoding(QStringLiteral("浮動小数点（%1 ビット）").arg(bits)); }

void RefuseValues(const WaveFormat& f) {
    throw SoundFileError("format values contradict each other", SoundFileError::Problem::Encoding,
                         QStringLiteral("WAV ファイルの形式情報が矛盾しています（%1 ビット、%2 チャンネル、"
                                        "1 フレーム %3 バイト）。")
                             .arg(f.wBitsPerSample)
                             .arg(f.nChannels)
                             .arg(f.nBlockAlign));
}

void RefuseSoundFile(int code, const char* why) {
    QString text;
    switch (code) {
    case SF_ERR_SYSTEM:
        text = QStringLiteral("ファイルを読むことができません");
        break;
    case SF_ERR_UNSUPPORTED_ENCODING:
        text = QStringLiteral("この符号化方式の音声は、ピコタでは読み込めません");
        break;
    default: // malformed, or one of libsndfile's own findings in a header
        text = QStringLiteral("ファイルが壊れているため、読み込めません");
        break;
    }
    throw SoundFileError("libsndfile cannot read the file", SoundFileError::Problem::Damaged,
                         QStringLiteral("%1（詳細: %2）。").arg(text, QString::fromLocal8Bit(why)));
}
