#include "identifier_table.hpp"

namespace zolehead {

// Labels are spelled as bytes so the source stays encoding-neutral; the
// comment on each row shows what they read as.
const std::array<Identifier, kFieldCount> kIdentifiers = {{
    {"\x8B\xC8\x96\xBC", "Title"},                                                        // 曲名
    {"\x83\x57\x83\x83\x83\x93\x83\x8B", "Genre"},                                        // ジャンル
    {"\x8D\xEC\x8B\xC8", "Composer"},                                                     // 作曲
    {"\x8D\xEC\x8E\x8C", "Lyricist"},                                                     // 作詞
    {"\x95\xD2\x8B\xC8", "Arranger"},                                                     // 編曲
    {"\x83\x41\x81\x5B\x83\x65\x83\x42\x83\x58\x83\x67", "Artist"},                       // アーティスト
    {"\x8D\xEC\x8B\xC8\x94\x4E", "ComposedYear"},                                         // 作曲年
    {"\x83\x66\x81\x5B\x83\x5E\x90\xA7\x8D\xEC", "ZoledBy"},                              // データ制作
    {"\x83\x66\x81\x5B\x83\x5E\x8A\xAE\x90\xAC\x93\xFA", "DataDate"},                     // データ完成日
    {"\x83\x81\x81\x5B\x83\x8B\x83\x41\x83\x68\x83\x8C\x83\x58", "E-Mail"},               // メールアドレス
    {"\x83\x7A\x81\x5B\x83\x80\x83\x79\x81\x5B\x83\x57", "HomePage"},                     // ホームページ
    {"\x83\x66\x81\x5B\x83\x5E\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93", "DataVersion"},  // データバージョン
    {"\x82\x79\x82\x8F\x82\x8C\x82\x85\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93", "ZoleVersion"},  // Ｚｏｌｅバージョン
    {"\x8E\x67\x97\x70\x89\xB9\x8C\xB9", "MidiDevice"},                                           // 使用音源
    {"\x8B\xC8\x91\x7A", "Impression"},                                                           // 曲想
    {"\x83\x52\x83\x81\x83\x93\x83\x67", "Comment"},                                              // コメント
}};

int FindLabelRow(std::string_view label) noexcept {
    for (int row = 0; row < kFieldCount; ++row) {
        if (kIdentifiers[row].label == label) return row;
    }
    return -1;
}

namespace {
constexpr char FoldAsciiCase(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
}  // namespace

int FindKeywordRow(std::string_view name) noexcept {
    for (int row = 0; row < kFieldCount; ++row) {
        std::string_view keyword = kIdentifiers[row].keyword;
        if (keyword.size() != name.size()) continue;
        bool equal = true;
        for (std::size_t i = 0; i < name.size() && equal; ++i)
            equal = FoldAsciiCase(keyword[i]) == FoldAsciiCase(name[i]);
        if (equal) return row;
    }
    return -1;
}

}  // namespace zolehead
