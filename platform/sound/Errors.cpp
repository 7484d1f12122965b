// SPDX-FileCopyrightText: 2026 ピコタ開発チーム <pikota@example.org>
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sound/Errors.h"

#include <charconv>

namespace pikota::sound {

std::string recordingCutText(Error reason, double keptSeconds) {
    std::string text;
    switch (reason) {
    case Error::RecordingDiskFull:
        text = "ディスクがいっぱいになったため";
        break;
    case Error::RecordingTooLarge:
        text = "録音ファイルがサイズの上限に達したため";
        break;
    case Error::RecordingFellBehind:
        text = "録音の書き込みが追いつかなかったため";
        break;
    default:
        text = "録音ファイルに書き込めなくなったため";
        break;
    }
    if (keptSeconds >= 0) {
        // One decimal, with "." whatever the locale.
        char number[32];
        const auto end =
            std::to_chars(number, number + sizeof number, keptSeconds, std::chars_format::fixed, 1);
        text += "、録音は " + std::string(number, end.ptr) + " 秒のところで止まりました。";
    } else {
        text += "、録音は途中で止まりました。";
    }
    return text + "そこまでの音声は残っているので、もう一度保存すればファイルにできます。";
}

const char* errorText(std::int32_t code) {
    switch (static_cast<Error>(code)) {
    case Error::None:
        return nullptr;
    case Error::UnknownCommand:
        return "サウンドデバイスが知らないコマンドです。";
    case Error::MissingWord:
        return "コマンドの語が足りません。";
    case Error::ExtraWords:
        return "コマンドの後ろに余分な語があります。";
    case Error::BadKeyword:
        return "コマンドの中に使えない語があります。";
    case Error::BadQuote:
        return "二重引用符 (\") の使い方が正しくありません。ファイル名に二重引用符は使えません。";
    case Error::EmptyPath:
        return "ファイル名が指定されていません。";
    case Error::SavePathNotQuoted:
        return "保存先のファイル名は二重引用符 (\") で囲んでください。";
    case Error::UnknownAlias:
        return "その別名のデバイスは開かれていません。使える別名は wfile だけです。";
    case Error::AliasNotAllowed:
        return "別名 wfile 以外ではデバイスを開けません。";
    case Error::AliasInUse:
        return "別名 wfile のデバイスはすでに開かれています。先に閉じてください。";
    case Error::NotOpen:
        return "別名 wfile のデバイスが開かれていません。";
    case Error::NotARecording:
        return "保存できるのは新しく録音した音声だけです。";
    case Error::CannotRecordIntoFile:
        return "再生用に開いたファイルには録音できません。";
    case Error::RecordingRunning:
        return "録音中はこの操作ができません。先に録音を停止してください。";
    case Error::PlaybackRunning:
        return "再生中は録音できません。先に再生を停止してください。";
    case Error::ReplyTooSmall:
        return "応答を受け取るバッファーが小さすぎます。";
    case Error::FileNotFound:
        return "指定されたファイルが見つかりません。";
    case Error::FileNotReadable:
        return "指定されたファイルを読み込めません。";
    case Error::NotAudio:
        return "指定されたファイルは再生できる音声ファイルではありません。";
    case Error::RecordingFileFailed:
        return "録音用のファイルを作れません。ディスクの空きと、録音を置くフォルダーに書き込めるかを確認して"
               "ください。";
    case Error::SaveFolderMissing:
        return "保存先のフォルダーが見つかりません。";
    case Error::SaveFolderNotWritable:
        return "保存先のフォルダーに書き込めません。";
    case Error::SaveTargetIsFolder:
        return "同じ名前のフォルダーがあるため保存できません。";
    case Error::SaveWriteFailed:
        return "ファイルを保存できませんでした。ディスクの空き容量を確認してください。";
    case Error::SaveTooLong:
        return "録音が長すぎて 1 つの WAV ファイルに保存できません。";
    case Error::RecordingDiskFull:
    case Error::RecordingWriteFailed:
    case Error::RecordingTooLarge:
    case Error::RecordingFellBehind: {
        static const std::string texts[] = {
            recordingCutText(Error::RecordingDiskFull, -1), recordingCutText(Error::RecordingWriteFailed, -1),
            recordingCutText(Error::RecordingTooLarge, -1), recordingCutText(Error::RecordingFellBehind, -1)};
        return texts[code - static_cast<std::int32_t>(Error::RecordingDiskFull)].c_str();
    }
    case Error::NoOutputDevice:
        return "音声を出力するデバイスが見つかりません。サウンドサーバーが動いているか確認してください。";
    case Error::NoInputDevice:
        return "音声を入力するデバイスが見つかりません。サウンドサーバーが動いているか確認してください。";
    case Error::FormatNotSupported:
        return "サウンドデバイスがこの音声の形式に対応していません。";
    case Error::DeviceBusy:
        return "サウンドデバイスを使用できません。ほかのプログラムが使用中でないか確認してください。";
    case Error::DeviceNotResponding:
        return "サウンドデバイスが応答しません。サウンドサーバーが正常に動いているか確認してください。";
    case Error::NoSoundServer:
        return "サウンドサーバーに接続できません。サウンドサーバーが動いているか確認してください。";
    case Error::SoundServerLost:
        return "サウンドサーバーとの接続が切れました。サウンドサーバーが動いているか確認してください。";
    case Error::StreamRefused:
        return "サウンドサーバーが音声の再生または録音を受け付けませんでした。";
    }
    return nullptr;
}

} // namespace pikota::sound
