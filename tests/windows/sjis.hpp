// Shift_JIS (code page 932) spellings the host writes into files and file
// names, spelled out byte by byte so the checks do not lean on the library's
// own table. Each pair is its own literal so no hex escape runs on.
#pragma once

#include <string>

namespace zh_host {

inline const std::string kTitleLabel = "\x8B\xC8" "\x96\xBC";  // 曲名
inline const std::string kGenreLabel = "\x83\x57" "\x83\x83" "\x83\x93" "\x83\x8B";  // ジャンル
inline const std::string kCommentLabel = "\x83\x52" "\x83\x81" "\x83\x93" "\x83\x67";  // コメント
inline const std::string kComposerLabel = "\x8D\xEC" "\x8B\xC8";  // 作曲
inline const std::string kZoleVersionLabel = "\x82\x79" "\x82\x8F" "\x82\x8C" "\x82\x85" "\x83\x6F"
                                             "\x81\x5B" "\x83\x57" "\x83\x87" "\x83\x93";  // Ｚｏｌｅバージョン
inline const std::string kColon = "\x81\x46";      // ：
inline const std::string kWideSpace = "\x81\x40";  // 　
inline const std::string kMe = "\x83\x81";         // メ: its trail byte is 0x81
inline const std::string kHiraA = "\x82\xA0";      // あ
inline const std::string kSong = "\x8B\xC8";       // 曲
inline const std::string kTable = "\x95\x5C";      // 表: its trail byte is a backslash
inline const std::string kSo = "\x83\x5C";         // ソ: its trail byte is a backslash
inline const std::string kHalfWidthTest = "\xC3\xBD\xC4";  // ﾃｽﾄ: single-byte katakana

}  // namespace zh_host
