// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/SoundService.h"
#include "platform/sound/VirtualEngine.h"
#include "platform/sound/WaveAudioService.h"
#include "tests/support/WavBytes.h"
#include "track/LoadedFile.h"
#include "track/ReadError.h"
#include "track/ReadSoundFile.h"
#include "track/WavReader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <bit>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <thread>

using namespace pikota::test;

namespace {

// Why the file would be refused before anything of a track changes; empty when it would not.
QString Refusal(const QString& path) {
    try {
        SoundFileReader reader(path);
    } catch (const SoundFileError& error) {
        return error.reason();
    }
    return {};
}

std::int16_t LeftValue(int i) { return static_cast<std::int16_t>((i * 7) % 65536 - 32768); }
std::int16_t RightValue(int i) { return static_cast<std::int16_t>(32767 - (i * 3) % 65536); }

// Interleaved 16-bit frames: left, then right when stereo.
QByteArray Frames16(int frames, bool stereo) {
    QByteArray out;
    for (int i = 0; i < frames; ++i) {
        PutInt16(out, LeftValue(i));
        if (stereo) {
            PutInt16(out, RightValue(i));
        }
    }
    return out;
}

QByteArray Standard16(int frames, bool stereo, std::int32_t rate = 44100) {
    const std::int16_t channels = stereo ? 2 : 1;
    return Riff({Chunk("fmt ", FormatBody(channels, rate, 16, static_cast<std::int16_t>(2 * channels))),
                 Chunk("data", Frames16(frames, stereo))});
}

QByteArray Bytes(int count, const std::function<int(int)>& value) {
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        out.append(static_cast<char>(value(i)));
    }
    return out;
}

class WaveReaderTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        WriteFile(path, bytes);
        return path;
    }

    // What Load and Stop do around the reader: zeroed arrays and the full limit, then the read.
    void Read(const QString& path) {
        track.LeftSamples->fill(0);
        track.RightSamples->fill(0);
        track.SampleLimit = kLastSampleIndex;
        ReadSoundFile(track, path, [this](const QString& label) { labels << label; });
    }

    static QString Label(const QString& path, const QString& number) {
        return path + QChar(0x3000) + QChar(0x3000) + number + QChar(0x79D2);
    }

    void ExpectAllZeroFrom(const SampleArray& a, int from) {
        for (int i = from; i <= kLastSampleIndex; ++i) {
            if (a[i] != 0) {
                ADD_FAILURE() << "sample " << i << " is " << a[i];
                return;
            }
        }
    }

    QTemporaryDir dir;
    Track track;
    QStringList labels;
};

TEST_F(WaveReaderTest, StandardStereoFileFillsTrackAndLabel) {
    // A path with a blank and Japanese text reaches the file and the label unchanged.
    const QString path = Write(QStringLiteral(u"音声 ファイル.wav"), Standard16(1000, true));
    Read(path);

    EXPECT_EQ(track.waveFormat.wFormatTag, 1);
    EXPECT_EQ(track.waveFormat.nChannels, 2);
    EXPECT_EQ(track.waveFormat.nSamplesPerSec, 44100);
    EXPECT_EQ(track.waveFormat.nAvgBytesPerSec, 176400);
    EXPECT_EQ(track.waveFormat.nBlockAlign, 4);
    EXPECT_EQ(track.waveFormat.wBitsPerSample, 16);
    EXPECT_EQ(track.FullScale, 65536);
    EXPECT_EQ(track.SampleLimit, 1000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ((*track.LeftSamples)[i], LeftValue(i)) << i;
        ASSERT_EQ((*track.RightSamples)[i], RightValue(i)) << i;
    }
    // Frame 1000 is read from past the end of the file.
    EXPECT_EQ((*track.LeftSamples)[1000], 0);
    EXPECT_EQ((*track.RightSamples)[1000], 0);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0], Label(path, " 0"));
}

TEST_F(WaveReaderTest, MonoFilesFillOnlyTheLeftArray) {
    // 8-bit samples are stored as their unsigned byte values, silence as 128.
    const QByteArray eightBit = Riff({Chunk("fmt ", FormatBody(1, 11025, 8, 1)),
                                      Chunk("data", Bytes(1000, [](int i) { return (i * 37) % 256; }))});
    Read(Write("8bit.wav", eightBit));
    EXPECT_EQ(track.FullScale, 256);
    EXPECT_EQ(track.SampleLimit, 1000);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ((*track.LeftSamples)[i], (i * 37) % 256) << i;
    }
    EXPECT_EQ((*track.LeftSamples)[1000], 0);
    ExpectAllZeroFrom(*track.RightSamples, 0);

    Read(Write("16mono.wav", Standard16(300, false)));
    EXPECT_EQ(track.FullScale, 65536);
    EXPECT_EQ(track.SampleLimit, 300);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ((*track.LeftSamples)[i], LeftValue(i)) << i;
    }
    ExpectAllZeroFrom(*track.LeftSamples, 300);
    ExpectAllZeroFrom(*track.RightSamples, 0);

    // 8-bit stereo: one byte per sample, left then right.
    const QByteArray eightStereo = Riff(
        {Chunk("fmt ", FormatBody(2, 8000, 8, 2)), Chunk("data", Bytes(20, [](int i) { return 200 + i; }))});
    Read(Write("8stereo.wav", eightStereo));
    EXPECT_EQ(track.SampleLimit, 10);
    EXPECT_EQ((*track.LeftSamples)[0], 200);
    EXPECT_EQ((*track.RightSamples)[0], 201);
    EXPECT_EQ((*track.LeftSamples)[9], 218);
    EXPECT_EQ((*track.RightSamples)[9], 219);
}

TEST_F(WaveReaderTest, LongFileKeepsFramesZeroTo500000) {
    const QString path = Write("long.wav", Standard16(500100, false));
    Read(path);
    EXPECT_EQ(track.SampleLimit, 500000);
    EXPECT_EQ((*track.LeftSamples)[0], LeftValue(0));
    EXPECT_EQ((*track.LeftSamples)[499999], LeftValue(499999));
    EXPECT_EQ((*track.LeftSamples)[500000], LeftValue(500000));
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0], Label(path, " 11.3"));
}

TEST_F(WaveReaderTest, FrameCountIsRoundedHalfToEvenAndOnlyLowered) {
    // 101 bytes at 2 bytes a frame: 50.5 frames give 50; 103 bytes: 51.5 give 52.
    const auto file = [](int bytes) {
        return Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 2)),
                     Chunk("data", Bytes(bytes, [](int i) { return i; }))});
    };
    Read(Write("101.wav", file(101)));
    EXPECT_EQ(track.SampleLimit, 50);
    EXPECT_EQ((*track.LeftSamples)[49], 98 | (99 << 8));
    EXPECT_EQ((*track.LeftSamples)[50], 100); // its high byte lies past the end of the file
    EXPECT_EQ((*track.LeftSamples)[51], 0);

    Read(Write("103.wav", file(103)));
    EXPECT_EQ(track.SampleLimit, 52);
    EXPECT_EQ((*track.LeftSamples)[51], 102);
    EXPECT_EQ((*track.LeftSamples)[52], 0);

    // An empty data chunk still reads frame 0, here from the chunk that follows it.
    Read(Write("empty.wav",
               Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 2)), Chunk("data", {}), Chunk("LIST", "abcd")})));
    EXPECT_EQ(track.SampleLimit, 0);
    EXPECT_EQ((*track.LeftSamples)[0], 'L' | ('I' << 8));
    EXPECT_EQ(labels.last(), Label(dir.filePath("empty.wav"), " 0"));

    // A data size larger than what the file holds (0xFFFFFF9C, or 0xFFFFFFFF from a writer that streamed)
    // means what the file holds.
    Read(Write("bigdata.wav", Riff({Chunk("fmt ", FormatBody(1, 100, 16, 2)),
                                    ChunkWithRawSize("data", static_cast<std::uint32_t>(-100), "xyzw")})));
    EXPECT_EQ(track.SampleLimit, 2);
    EXPECT_EQ((*track.LeftSamples)[1], 'z' | ('w' << 8));
    EXPECT_EQ((*track.LeftSamples)[2], 0);
    EXPECT_EQ(labels.last(), Label(dir.filePath("bigdata.wav"), " 0"));
}

TEST_F(WaveReaderTest, WalkStepsOverOtherChunksBySize) {
    // LIST and fact chunks between the format and the data.
    Read(Write("list.wav",
               Riff({Chunk("fmt ", FormatBody(2, 44100, 16, 4)), Chunk("fact", QByteArray("\x10\0\0\0", 4)),
                     Chunk("LIST", QByteArray(30, 'x')), Chunk("data", Frames16(16, true))})));
    EXPECT_EQ(track.SampleLimit, 16);
    EXPECT_EQ((*track.RightSamples)[15], RightValue(15));

    // An 18-byte format body: the first 16 bytes are the format, the next header follows the 18 bytes.
    Read(Write("fmt18.wav", Riff({Chunk("fmt ", FormatBody(1, 22050, 16, 2) + QByteArray("\x7f\x7f", 2)),
                                  Chunk("data", Frames16(40, false))})));
    EXPECT_EQ(track.waveFormat.nSamplesPerSec, 22050);
    EXPECT_EQ(track.SampleLimit, 40);
    EXPECT_EQ((*track.LeftSamples)[39], LeftValue(39));

    // Only the first data chunk is read; "fmt" and "data" are found anywhere in the id, case-sensitively.
    Read(Write("ids.wav", Riff({Chunk("xfmt", FormatBody(1, 8000, 8, 1)), Chunk("Data", "\x01\x02"),
                                Chunk("data", "\x05\x06"), Chunk("data", "\x09\x09\x09\x09")})));
    EXPECT_EQ(track.FullScale, 256);
    EXPECT_EQ(track.SampleLimit, 2);
    EXPECT_EQ((*track.LeftSamples)[0], 5);
    EXPECT_EQ((*track.LeftSamples)[1], 6);
    EXPECT_EQ((*track.LeftSamples)[2], 'd'); // the byte after the chunk: the next chunk's id
}

TEST_F(WaveReaderTest, OddChunkWithPadByteHidesTheDataFromTheWavReaderButNotFromLibsndfile) {
    // The pad byte after a 3-byte chunk is not skipped: the next header is read one byte early, the data
    // chunk is missed and the misread size carries the walk past the end of the file.
    const QString path = Write(
        "pad.wav", Riff({Chunk("fmt ", FormatBody(2, 44100, 16, 4)), Chunk("LIST", QByteArray("abc\0", 4), 3),
                         Chunk("data", Frames16(1000, true))}));
    labels << "old";
    InputFile file(path);
    EXPECT_FALSE(WalkWavHeaders(file).data);
    ReadWav(track, file, [this](const QString& label) { labels << label; });
    EXPECT_EQ(track.FullScale, 65536);
    EXPECT_EQ(track.SampleLimit, 500000);
    ExpectAllZeroFrom(*track.LeftSamples, 0);
    EXPECT_EQ(labels, QStringList{"old"});
    // libsndfile, which steps over the pad byte, reads the file then.
    Read(path);
    EXPECT_EQ(track.SampleLimit, 1000);
    EXPECT_EQ((*track.RightSamples)[999], RightValue(999));
}

TEST_F(WaveReaderTest, FormatOfTheLastFileServesAFileWithoutOne) {
    Read(Write("8bit.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 8, 1)),
                                 Chunk("data", Bytes(10, [](int) { return 1; }))})));
    // "FMT " is no format chunk, so the 8-bit mono format read before still applies.
    const QString path = Write("caps.wav", Riff({Chunk("FMT ", FormatBody(2, 44100, 16, 4)),
                                                 Chunk("data", Bytes(6, [](int i) { return 0x80 + i; }))}));
    Read(path);
    EXPECT_EQ(track.waveFormat.nSamplesPerSec, 8000);
    EXPECT_EQ(track.FullScale, 256);
    EXPECT_EQ(track.SampleLimit, 6);
    EXPECT_EQ((*track.LeftSamples)[5], 0x85);
    ExpectAllZeroFrom(*track.RightSamples, 0);

    // A fresh track has no format yet: block alignment 0 fails.
    Track fresh;
    EXPECT_THROW(ReadSoundFile(fresh, path, [](const QString&) {}), SoundFileError);
}

// One sound in the encodings that writers use: sox writes 24-bit as the extensible format, others the plain
// one; 12 and 20 bits lie left-justified in their containers. Its samples are multiples of 16, which 12 bits
// hold exactly, and wider ones carry noise below the 16 bits that count.
struct Encoding {
    const char* name;
    std::uint16_t tag; // 0xFFFE: extensible, with `sub` in its subformat
    std::uint16_t sub;
    int bits;
    int bytes; // a sample's container
};

const Encoding kEncodings[] = {
    {"16-bit", 1, 0, 16, 2},
    {"12 of 16 bits", 1, 0, 12, 2},
    {"24-bit", 1, 0, 24, 3},
    {"20 of 24 bits", 1, 0, 20, 3},
    {"32-bit", 1, 0, 32, 4},
    {"24-bit extensible", 0xFFFE, 1, 24, 3},
    {"24 of 32 bits extensible", 0xFFFE, 1, 24, 4},
    {"float", 3, 0, 32, 4},
    {"double", 3, 0, 64, 8},
    {"float extensible", 0xFFFE, 3, 32, 4},
};

std::int16_t Sound(std::int64_t frame, int channel) {
    return static_cast<std::int16_t>(((frame * 37 + channel * 1001) % 4096 - 2048) * 16);
}

// The sound in an encoding, at 8000 Hz. Floats are a third of a step off the sound, and wider integers
// carry noise below their top 16 bits: neither may change what is stored.
QByteArray Encoded(const Encoding& e, int channels, std::int64_t frames) {
    QByteArray data;
    data.reserve(static_cast<qsizetype>(frames * channels * e.bytes));
    const bool isFloat = (e.tag == 0xFFFE ? e.sub : e.tag) == 3;
    for (std::int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double x = (Sound(f, c) + 0.3) / 32768.0;
            const int below = 8 * e.bytes - 16;
            const std::uint64_t word =
                !isFloat ? std::uint64_t{static_cast<std::uint16_t>(Sound(f, c))} << below |
                               (static_cast<std::uint64_t>(f) * 2654435761u & ((1ull << below) - 1))
                : e.bytes == 4 ? std::bit_cast<std::uint32_t>(static_cast<float>(x))
                               : std::bit_cast<std::uint64_t>(x);
            for (int b = 0; b < e.bytes; ++b) {
                data.append(static_cast<char>(word >> (8 * b)));
            }
        }
    }
    const auto align = static_cast<std::int16_t>(channels * e.bytes);
    const auto ch = static_cast<std::int16_t>(channels);
    const auto bits = static_cast<std::int16_t>(e.bits);
    return Riff({Chunk("fmt ", e.tag == 0xFFFE
                                   ? ExtensibleBody(ch, 8000, std::int16_t(8 * e.bytes), align, bits, e.sub)
                                   : FormatBody(ch, 8000, bits, align, std::int16_t(e.tag))),
                 Chunk("data", data)});
}

// Every encoding and number of channels stores the first two channels as the same sound's 16-bit file
// does, within one 16-bit step, with the same length; the sound device plays each and gives that length. A
// stereo file longer than the arrays keeps its first 500001 frames there, is labelled with its whole
// length, and stays open: the scope reads from it, and its overview holds the range of every block.
TEST_F(WaveReaderTest, EveryEncodingStoresTheSameSoundWithItsLength) {
    auto device = pikota::sound::makeSoundService(std::make_shared<pikota::sound::VirtualEngine>());
    for (const Encoding& e : kEncodings) {
        for (const auto& [channels, frames, seconds] : {std::tuple{1, 4000, " 0.5"},
                                                        {2, 4000, " 0.5"},
                                                        {4, 4000, " 0.5"},
                                                        {8, 4000, " 0.5"},
                                                        {2, 600000, " 75"}}) {
            SCOPED_TRACE(std::string(e.name) + ", channels " + std::to_string(channels) + ", frames " +
                         std::to_string(frames));
            const QString path = Write("sound.wav", Encoded(e, channels, frames));
            Read(path);
            ASSERT_EQ(track.SampleLimit, std::min(frames, 500000));
            EXPECT_EQ(track.FullScale, 65536);
            for (int i = 0; i < std::min(frames, 500001); ++i) {
                ASSERT_NEAR((*track.LeftSamples)[i], Sound(i, 0), 1) << i;
                ASSERT_NEAR((*track.RightSamples)[i], channels > 1 ? Sound(i, 1) : 0, 1) << i;
            }
            EXPECT_EQ(labels.last(), Label(path, seconds));
            const std::string open = "open " + path.toStdString() + " type waveaudio alias wfile";
            EXPECT_EQ(pikota::sound::sendCommand(*device, open.c_str()).code, 0);
            EXPECT_EQ(pikota::sound::sendCommand(*device, "status wfile length").text,
                      std::to_string(frames / 8));
            pikota::sound::sendCommand(*device, "close wfile");
            const LoadedFile& loaded = *track.File;
            ASSERT_EQ(!loaded.inArrays(), frames > 500001);
            if (loaded.inArrays()) {
                continue;
            }
            std::int16_t window[10];
            ASSERT_EQ(loaded.readFirstChannel(frames - 5, 10, window), 5u);
            EXPECT_NEAR(window[4], Sound(frames - 1, 0), 1);
            while (!loaded.overviewFinished()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const auto blocks = loaded.ready();
            const std::int64_t perBlock = loaded.framesPerBlock();
            ASSERT_EQ(static_cast<std::int64_t>(blocks.size()), (frames + perBlock - 1) / perBlock);
            std::vector<SampleRange> expected(blocks.size());
            for (std::int64_t f = 0; f < frames; ++f) {
                expected[static_cast<std::size_t>(f / perBlock)].add({Sound(f, 0), Sound(f, 0)});
            }
            for (std::size_t b = 0; b < blocks.size(); ++b) {
                ASSERT_NEAR(blocks[b].low, expected[b].low, 1) << b;
                ASSERT_NEAR(blocks[b].high, expected[b].high, 1) << b;
            }
        }
    }
    // 8-bit samples of more channels stay unsigned, on the 8-bit scale.
    Read(Write("8bit4.wav",
               Riff({Chunk("fmt ", FormatBody(4, 8000, 8, 4)),
                     Chunk("data", Bytes(400, [](int i) { return i % 4 == 0 ? 128 + i / 4 : 7; }))})));
    EXPECT_EQ(track.FullScale, 256);
    EXPECT_EQ((*track.LeftSamples)[99], 227);
    EXPECT_EQ((*track.RightSamples)[99], 7);
    // A-law and mu-law are expanded as G.711 says.
    Read(Write("alaw.wav",
               Riff({Chunk("fmt ", FormatBody(1, 8000, 8, 1, 6)), Chunk("data", "\xD5\x55\xAA\x2A")})));
    EXPECT_EQ(std::vector<int>(track.LeftSamples->begin(), track.LeftSamples->begin() + 4),
              (std::vector<int>{8, -8, 32256, -32256}));
    Read(Write("ulaw.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 8, 1, 7)),
                                 Chunk("data", QByteArray("\xFF\x80\x00", 3))})));
    EXPECT_EQ(std::vector<int>(track.LeftSamples->begin(), track.LeftSamples->begin() + 3),
              (std::vector<int>{0, 32124, -32124}));
}

// What cannot be drawn is refused at its format chunk with a message that names it; nothing is stored, and
// the refusal is found before the read as well.
TEST_F(WaveReaderTest, EncodingsThatCannotBeDrawnAreNamed) {
    const std::pair<QByteArray, QString> cases[] = {
        {FormatBody(1, 8000, 4, 256, 0x11),
         "IMA ADPCM（形式番号 0x0011）の WAV ファイルは、ピコタでは読み込めません。"},
        {FormatBody(2, 8000, 16, 4, 0x1234),
         "不明な形式（形式番号 0x1234）の WAV ファイルは、ピコタでは読み込めません。"},
        {FormatBody(1, 8000, 48, 6), "整数 PCM（48 ビット）の WAV ファイルは、ピコタでは読み込めません。"},
        {FormatBody(1, 8000, 16, 2, 3),
         "浮動小数点（16 ビット）の WAV ファイルは、ピコタでは読み込めません。"},
        {ExtensibleBody(2, 8000, 16, 4, 16, 0x55).replace(32, 1, "\x01"),
         "副形式が不明な拡張形式（WAVE_FORMAT_EXTENSIBLE）の WAV ファイルは、ピコタでは読み込めません。"},
        {FormatBody(0, 8000, 24, 3),
         "WAV ファイルの形式情報が矛盾しています（24 ビット、0 チャンネル、1 フレーム 3 バイト）。"},
    };
    Read(Write("16.wav", Standard16(10, false)));
    for (const auto& [format, message] : cases) {
        const QString path =
            Write("refused.wav", Riff({Chunk("fmt ", format), Chunk("data", QByteArray(96, 1))}));
        EXPECT_EQ(Refusal(path), message);
        EXPECT_THROW(Read(path), SoundFileError);
        EXPECT_EQ(track.waveFormat.wBitsPerSample, 16);
        EXPECT_EQ(track.SampleLimit, 500000);
    }
    EXPECT_EQ(Refusal(Write("ok.wav", Standard16(10, true))), QString());
}

TEST_F(WaveReaderTest, FilesWithoutDataLeaveTheTrackAsTheCallerSetIt) {
    labels << "old";
    for (int size : {0, 5, 12}) {
        Read(Write(QString("tiny%1.wav").arg(size), Standard16(10, true).left(size)));
        EXPECT_EQ(track.SampleLimit, 500000) << size;
        EXPECT_EQ(track.FullScale, 0) << size;
    }
    Read(Write("nodata.wav", Riff({Chunk("fmt ", FormatBody(2, 44100, 16, 4)), Chunk("LIST", "abcd")})));
    EXPECT_EQ(track.FullScale, 65536);
    EXPECT_EQ(track.SampleLimit, 500000);
    ExpectAllZeroFrom(*track.LeftSamples, 0);
    EXPECT_EQ(labels, QStringList{"old"});
}

TEST_F(WaveReaderTest, ChunkSizesThatWouldWalkBackEndTheWalk) {
    // -8 would read the same header forever, other negative sizes walk backwards; each read ends.
    for (std::uint32_t size : {0xFFFFFFF8u, 0xFFFFFF00u, 0x80000000u, 0xFFFFFFF4u}) {
        Read(Write("back.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 2)),
                                     ChunkWithRawSize("junk", size), Chunk("data", Frames16(10, false))})));
        EXPECT_EQ(track.SampleLimit, 500000) << size;
    }
    EXPECT_TRUE(labels.isEmpty());
}

TEST_F(WaveReaderTest, FailuresThrowAndKeepWhatWasDone) {
    EXPECT_THROW(Read(dir.filePath("missing.wav")), SoundFileError);
    EXPECT_THROW(Read(dir.path()), SoundFileError);
    EXPECT_THROW(Read(Write("align0.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 16, 0)),
                                                Chunk("data", Frames16(10, false))}))),
                 SoundFileError);
    // A chunk position past 2147483647.
    EXPECT_THROW(Read(Write("far.wav", Riff({ChunkWithRawSize("junk", 0x7FFFFFF0u)}))), SoundFileError);

    // An encoding that cannot be drawn fails at its format chunk, before anything is stored.
    Read(Write("16.wav", Standard16(10, false)));
    EXPECT_THROW(Read(Write("48.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 48, 6)),
                                            Chunk("data", QByteArray(60, '\x11'))}))),
                 SoundFileError);
    EXPECT_EQ(track.waveFormat.wBitsPerSample, 16);
    EXPECT_EQ(track.FullScale, 65536);
    EXPECT_EQ(track.SampleLimit, 500000);

    // A sample rate of 0 fails only in the label, after the frames are stored and the limit lowered.
    labels.clear();
    EXPECT_THROW(Read(Write("rate0.wav", Standard16(100, true, 0))), SoundFileError);
    EXPECT_EQ(track.SampleLimit, 100);
    EXPECT_EQ((*track.LeftSamples)[99], LeftValue(99));
    EXPECT_EQ((*track.RightSamples)[99], RightValue(99));
    EXPECT_TRUE(labels.isEmpty());
}

TEST_F(WaveReaderTest, FileIsClosedOnEveryPath) {
    const auto openFiles = [] {
        std::filesystem::directory_iterator fds("/proc/self/fd");
        return std::distance(begin(fds), end(fds));
    };
    const QString good = Write("good.wav", Standard16(10, true));
    const QString bad = Write("bad.wav", Riff({Chunk("fmt ", FormatBody(1, 8000, 40, 2))}));
    const QString rate0 = Write("rate0.wav", Standard16(10, true, 0));
    const auto before = openFiles();
    for (int i = 0; i < 20; ++i) {
        Read(good);
        EXPECT_THROW(Read(bad), SoundFileError);
        EXPECT_THROW(Read(rate0), SoundFileError);
    }
    EXPECT_EQ(openFiles(), before);
}

// Only a plain file, or a link to one, is read. A named pipe would block the open for good; it, a device
// and a folder named like a WAV file fail at once, before anything of the track changes.
TEST_F(WaveReaderTest, WhatIsNotAPlainFileFailsAtOnce) {
    const QString pipe = dir.filePath("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    QDir(dir.path()).mkdir("folder.wav");
    const QString good = Write("good.wav", Standard16(10, true));
    const QString link = dir.filePath("link.wav");
    ASSERT_TRUE(QFile::link(good, link));
    for (const QString& path : {pipe, QStringLiteral("/dev/zero"), dir.filePath("folder.wav")}) {
        track.FullScale = 123;
        EXPECT_THROW(Read(path), SoundFileError) << path.toStdString();
        EXPECT_EQ(track.FullScale, 123);
    }
    Read(link);
    EXPECT_EQ(track.SampleLimit, 10);
}

} // namespace
