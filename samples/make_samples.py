#!/usr/bin/env python3
"""Writes the sample Zole data files in this directory.

The files are Shift_JIS (code page 932) text, as a Zole author's editor would
save them. Run it again after editing a sample; the generated files are
committed so that nothing needs Python to try the tool.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# A full form A header with every field, Windows line ends. The title carries
# trailing full-width spaces that the reader trims.
HARU_NO_KAZE = """\
曲名：春の風　　
ジャンル：ポップス
作曲：山田太郎
作詞：佐藤花子
編曲：山田太郎
アーティスト：春風バンド
作曲年：1998
データ制作：鈴木一郎
データ完成日：2003/04/01
メールアドレス：ichiro@example.jp
ホームページ：http://www.example.jp/~ichiro/
データバージョン：1.02
Ｚｏｌｅバージョン：3.10
使用音源：SC-88Pro
曲想：①静かに始まり ②サビで盛り上がる
コメント：初めての打ち込み作品です。ｶﾗｵｹ用にどうぞ。

; ---- 前奏 ----
A t120 l8 o4 v100 @1
A cdefgab>c< bagfedc
B @33 o2 l4 c c g g a a g2
; ---- Ａメロ ----
A e4 e8 f8 g4 g4 | a8 g8 f8 e8 d2
B c c f f g g c2
R @25 l16 [c8 c c]4
; ---- 終わり ----
A c1
"""

# Form B only, Unix line ends. Keywords in any case, both kinds of quotes,
# and a comment that spans two lines.
MORI_NO_WALTZ = """\
; 森のワルツ  (3/4)
*Title       "森のワルツ"
*genre       "クラシック"
*Composer    "高橋美咲"
*Arranger    'Misaki Takahashi'
*ComposedYear = "2001"
*ZoledBy     "高橋美咲"
*DataDate    "2002.11.23"
*E-Mail      "misaki@example.com"
*ZoleVersion "3.05"
*MIDIDEVICE  "MU2000"
*Comment     "Don't forget the D.C. --
 木漏れ日の中で踊る三拍子"

A t96 l4 o5 v90 @41
A g2 e | f2 d | e c g | c2.
B o3 c g g | g b b | c g g | c2.
"""

# Both forms in one file: form B wins over form A for the title.
YORU_NO_UMI = """\
曲名：夜の海
*Title 'Yoru no Umi (2004 remix)'
ジャンル：アンビエント
作曲：中村健
使用音源：GS音源
曲想：波の音を聴きながら
*Impression "静かな夜の海"
コメント：ヘッドホン推奨

A t72 l2 o4 v80 @89
A c e g >c< | b g e c
B o2 l1 c | <a> | f | g
"""

# The oddities: a title line repeated (the combined reader empties the title;
# a form A reader keeps the last one) and CR LF line ends.
REPEATED_TITLE = """\
曲名：カエルの歌
曲名：かえるのうた（改訂版）
作曲：ドイツ民謡
編曲：小林
データ完成日：2005/06/15

A t140 l8 o4 cdefedc4 efgagfe4
A c4 c4 c4 c4 ccddeeff edc4
"""

# End of text (0x1A) in the middle: nothing after it is read, as a text-mode
# reader on Windows would not read it either.
EOF_MARK_HEAD = """\
曲名：雪のひとひら
作曲：森田
コメント：この下は読まれません

A t100 l4 o5 e d c d | e e e2
"""
EOF_MARK_TAIL = """\
ジャンル：隠しトラック
*Artist "nobody"
"""


def encode(text, line_end):
    return text.replace("\n", line_end).encode("cp932")


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("haru-no-kaze.zole", encode(HARU_NO_KAZE, "\r\n"))
    write("mori-no-waltz.zole", encode(MORI_NO_WALTZ, "\n"))
    write("yoru-no-umi.zole", encode(YORU_NO_UMI, "\n"))
    write("oddity-repeated-title.zole", encode(REPEATED_TITLE, "\r\n"))
    write("oddity-eof-mark.zole", encode(EOF_MARK_HEAD, "\n") + b"\x1a" + encode(EOF_MARK_TAIL, "\n"))


if __name__ == "__main__":
    main()
