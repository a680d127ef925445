#!/usr/bin/env python3
"""Writes a generated collection of Zole data files for the catalog's tests
and benchmark: Shift_JIS text with form A label lines, form B keywords or
both, Japanese and ASCII values, in folders of 100 files.

    make_collection.py DIR COUNT

The same COUNT gives the same files on every run. Every file's expected
fields are worked out here, from what was written, so tests can check the
catalog against them without asking the tool.
"""
import os
import random
import sys

KEYWORDS = ["Title", "Genre", "Composer", "Lyricist", "Arranger", "Artist", "ComposedYear", "ZoledBy",
            "DataDate", "E-Mail", "HomePage", "DataVersion", "ZoleVersion", "MidiDevice", "Impression", "Comment"]
LABELS = ["曲名", "ジャンル", "作曲", "作詞", "編曲", "アーティスト", "作曲年", "データ制作", "データ完成日",
          "メールアドレス", "ホームページ", "データバージョン", "Ｚｏｌｅバージョン", "使用音源", "曲想", "コメント"]

TITLES = ["春の風", "夏祭り", "秋桜", "冬の星座", "さくら", "夜明けの海", "Moonlight Drive", "雨上がり",
          "ふるさと", "Blue Horizon", "月の砂漠", "花火", "Crystal Rain", "風の谷", "Starlight Parade"]
GENRES = ["ポップス", "ロック", "クラシック", "ジャズ", "アニメ", "ゲーム音楽", "演歌", "Techno", "Ambient"]
PEOPLE = ["山田太郎", "佐藤花子", "鈴木一郎", "高橋美咲", "田中健", "中村由紀", "小林誠", "Kenji Ito",
          "Yuki Mori", "渡辺直人"]
DEVICES = ["SC-88Pro", "MU2000", "GS音源", "XG音源", "SC-55mkII", "TG300"]
COMMENTS = ["初めての打ち込み作品です。", "ヘッドホン推奨", "ｶﾗｵｹ用にどうぞ", "Loop at bar 32",
            "感想お待ちしています", "①静かに ②盛り上がる"]

MUSIC = "A t120 l8 o4 v100 @1\nA cdefgab>c< bagfedc\nB @33 o2 l4 c c g g a a g2\n"


def fields_for(number, rng):
    """The fields of file `number`: keyword -> value (str)."""
    fields = {
        "Title": "%s %d" % (rng.choice(TITLES), number),
        "Genre": rng.choice(GENRES),
        "Composer": rng.choice(PEOPLE),
    }
    if rng.random() < 0.6:
        fields["Artist"] = rng.choice(PEOPLE)
    if rng.random() < 0.5:
        fields["ComposedYear"] = str(rng.randint(1970, 2010))
    if rng.random() < 0.4:
        fields["Lyricist"] = rng.choice(PEOPLE)
    if rng.random() < 0.3:
        fields["Arranger"] = rng.choice(PEOPLE)
    if rng.random() < 0.5:
        fields["DataDate"] = "%04d/%02d/%02d" % (rng.randint(1995, 2008), rng.randint(1, 12), rng.randint(1, 28))
    if rng.random() < 0.3:
        fields["MidiDevice"] = rng.choice(DEVICES)
    if rng.random() < 0.3:
        fields["Comment"] = rng.choice(COMMENTS)
    return fields


def file_text(fields, form, rng):
    """The file's text and each field's form: (text, {keyword: "A" | "B"})."""
    lines, forms = [], {}
    for keyword in KEYWORDS:
        if keyword not in fields:
            continue
        use = form if form != "mixed" else rng.choice("AB")
        if use == "A":
            lines.append("%s：%s" % (LABELS[KEYWORDS.index(keyword)], fields[keyword]))
        else:
            lines.append("*%s \"%s\"" % (keyword, fields[keyword]))
        forms[keyword] = use
    return "\n".join(lines) + "\n\n" + MUSIC, forms


def write_collection(root, count, seed=17):
    """Writes `count` files under `root`; returns [(relative path, {keyword: (value, form)})] in walk order."""
    rng = random.Random(seed * 1000003 + count)
    written = []
    for number in range(count):
        folder = "d%04d" % (number // 100)
        name = "song-%06d.zole" % number
        fields = fields_for(number, rng)
        form = rng.choice(["A", "A", "A", "B", "B", "mixed"])
        text, forms = file_text(fields, form, rng)
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        with open(os.path.join(root, folder, name), "wb") as f:
            f.write(text.replace("\n", "\r\n" if number % 2 else "\n").encode("cp932"))
        written.append((folder + "/" + name, {k: (v, forms[k]) for k, v in fields.items()}))
    return written


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_collection.py DIR COUNT")
    write_collection(sys.argv[1], int(sys.argv[2]))


if __name__ == "__main__":
    main()
