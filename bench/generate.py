#!/usr/bin/env python3
"""Writes a deterministic Japanese business CSV of a given size.

Twelve columns (ID, names, address, phone, dates, department, amount, a note
and a timestamp); the note is quoted and holds commas, doubled quotation
marks and line feeds; lines end in CR LF. The same rows are written in UTF-8
and in Shift_JIS (CP932), so every encoding is measured on the same content.

    bench/generate.py SIZE_MIB OUT_PREFIX
writes OUT_PREFIX.utf8.csv and OUT_PREFIX.sjis.csv (SIZE_MIB is the UTF-8 size).
"""
import random
import sys

SURNAMES = ["佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤", "吉田", "山田"]
GIVEN = ["太郎", "花子", "一郎", "陽子", "健太", "美咲", "大輔", "由美", "翔太", "直子", "拓也", "恵"]
KANA = ["サトウ タロウ", "スズキ ハナコ", "タカハシ イチロウ", "タナカ ヨウコ", "イトウ ケンタ", "ワタナベ ミサキ"]
PREFS = ["東京都港区芝公園", "大阪府大阪市北区梅田", "愛知県名古屋市中区栄", "北海道札幌市中央区北一条西",
         "福岡県福岡市博多区博多駅前", "神奈川県横浜市西区みなとみらい"]
DEPTS = ["営業部", "総務部", "経理部", "開発部", "人事部", "品質保証部", "物流センター"]
TITLES = ["部長", "課長", "係長", "主任", "担当", "契約社員"]
NOTES = [
    "至急対応のこと、担当者へ連絡済み",
    "前回の注文と同じ内容で、数量のみ変更",
    "お客様より\"至急\"との要望あり",
    "請求書は月末締め、翌月払い",
    "住所変更あり。\n新住所は備考欄参照",
    "電話では不在、メールで連絡、返信待ち",
    "特記事項なし",
    "配送日時指定：午前中、置き配不可",
]
HEADER = ["顧客ID", "氏名", "フリガナ", "郵便番号", "住所", "電話番号", "生年月日", "部署", "役職", "金額",
          "備考", "更新日時"]


def quoted(value):
    return '"' + value.replace('"', '""') + '"'


def rows(rng):
    yield ",".join(HEADER)
    n = 0
    while True:
        n += 1
        note = rng.choice(NOTES)
        if rng.random() < 0.3:
            note += "、" + rng.choice(NOTES)
        yield ",".join([
            f"C{n:08d}",
            rng.choice(SURNAMES) + " " + rng.choice(GIVEN),
            rng.choice(KANA),
            f"{rng.randrange(100, 999)}-{rng.randrange(0, 9999):04d}",
            f"{rng.choice(PREFS)}{rng.randrange(1, 9)}-{rng.randrange(1, 30)}-{rng.randrange(1, 20)}",
            f"0{rng.randrange(3, 99)}-{rng.randrange(100, 9999)}-{rng.randrange(1000, 9999)}",
            f"{rng.randrange(1950, 2005)}/{rng.randrange(1, 13):02d}/{rng.randrange(1, 29):02d}",
            rng.choice(DEPTS),
            rng.choice(TITLES),
            str(rng.randrange(1000, 10_000_000)),
            quoted(note),
            f"2026-{rng.randrange(1, 13):02d}-{rng.randrange(1, 29):02d} {rng.randrange(0, 24):02d}:"
            f"{rng.randrange(0, 60):02d}:{rng.randrange(0, 60):02d}",
        ])


def main():
    size = int(float(sys.argv[1]) * 1024 * 1024)
    prefix = sys.argv[2]
    rng = random.Random(20261209)
    written = 0
    block_utf8, block_sjis = [], []
    with open(prefix + ".utf8.csv", "wb") as utf8, open(prefix + ".sjis.csv", "wb") as sjis:
        for line in rows(rng):
            text = line + "\r\n"
            data = text.encode("utf-8")
            block_utf8.append(data)
            block_sjis.append(text.encode("cp932"))
            written += len(data)
            if len(block_utf8) >= 10000 or written >= size:
                utf8.write(b"".join(block_utf8))
                sjis.write(b"".join(block_sjis))
                block_utf8, block_sjis = [], []
            if written >= size:
                break


if __name__ == "__main__":
    main()
