#!/usr/bin/env python3
"""Writes a deterministic Japanese CSV of a given size and shape.

    bench/generate.py [--shape SHAPE] SIZE_MIB OUT_PREFIX
writes OUT_PREFIX.utf8.csv and OUT_PREFIX.sjis.csv (SIZE_MIB is the UTF-8
size): the same rows in UTF-8 and in Shift_JIS (CP932), so that every
encoding is measured on the same content. Lines end in CR LF. Shapes:

  business   twelve columns (ID, names, address, phone, dates, department,
             amount, a note and a timestamp); the note is quoted and holds
             commas, doubled quotation marks and line feeds (the default)
  dense      20 columns, rows of 12 to 20 short fields in 60 to 90 bytes,
             about a quarter of them quoted (amounts with thousands
             separators, codes with commas), a few doubled quotation marks
  quoted     twelve columns, every field quoted, as spreadsheet programs
             export them; a tenth of the fields hold doubled marks
  multiline  ten columns; a tenth of the rows hold quoted fields with CR LF
             or LF inside
  wide       200 columns, most fields empty or one character long
  ragged     rows of 5 to 12 fields; rows of 12 only in the last tenth of
             the file, so the width is found in a pass of its own

Rows other than the business ones are drawn from a pool of distinct rows
made first, which keeps the generation fast and the content varied.
"""
import argparse
import random

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


KANJI = ["東京", "大阪", "名古屋", "札幌", "福岡", "横浜", "京都", "神戸", "仙台", "広島"]
SHORT = ["済", "未", "要", "可", "否", "有", "無", "〇", "×", "△", "Ａ", "Ｂ", "ア", "イ", "ー"]
WORDS = ["備考", "確認済み", "至急", "保留", "再送", "返品", "交換", "キャンセル", "見積", "発注", "納品",
         "請求", "入金", "出荷", "在庫", "不足", "追加", "変更", "担当", "連絡", "ＯＫ", "テスト"]


def amount(rng, low, high):
    return f"{rng.randrange(low, high):,}"


def text(rng, most):
    return "".join(rng.choice(WORDS) for _ in range(rng.randrange(1, most + 1)))


def dense_field(rng):
    kind = rng.random()
    if kind < 0.15:
        return quoted(amount(rng, 1000, 10_000_000))  # "1,113,306"
    if kind < 0.22:
        return quoted(f"{rng.choice('ABCKXZ')}{rng.randrange(1, 99)},{rng.randrange(1, 9)}")
    if kind < 0.24:
        return quoted(rng.choice(SHORT) + '"' + rng.choice(SHORT) + '"')
    if kind < 0.26:
        return '""'
    if kind < 0.40:
        return ""
    if kind < 0.60:
        return str(rng.randrange(0, 100))
    if kind < 0.75:
        return rng.choice(SHORT)
    if kind < 0.85:
        return f"{rng.choice('ABCKXZ')}{rng.randrange(1, 999)}"
    if kind < 0.93:
        return rng.choice(KANJI)
    return str(rng.randrange(0, 2))


def dense_row(rng):
    while True:
        row = ",".join(dense_field(rng) for _ in range(rng.randrange(12, 21)))
        if 60 <= len(row.encode("utf-8")) + 2 <= 90:
            return row


def quoted_row(rng):
    fields = [f"{rng.randrange(1, 10**8):08d}", rng.choice(SURNAMES) + " " + rng.choice(GIVEN),
              rng.choice(KANA), rng.choice(PREFS), amount(rng, 100, 10_000_000),
              f"{rng.randrange(2000, 2027)}/{rng.randrange(1, 13):02d}/{rng.randrange(1, 29):02d}",
              rng.choice(DEPTS), rng.choice(TITLES), str(rng.randrange(0, 1000)), text(rng, 3),
              rng.choice(NOTES).replace("\n", ""), f"{rng.randrange(0, 24):02d}:{rng.randrange(0, 60):02d}"]
    for k in range(len(fields)):
        if rng.random() < 0.1:
            fields[k] = f'"{fields[k]}"' if rng.random() < 0.5 else fields[k] + '"' + rng.choice(SHORT) + '"'
    return ",".join(quoted(field) for field in fields)


def multiline_row(rng):
    fields = [f"M{rng.randrange(1, 10**7):07d}", rng.choice(SURNAMES) + rng.choice(GIVEN), rng.choice(DEPTS),
              amount(rng, 100, 1_000_000), f"{rng.randrange(2000, 2027)}-{rng.randrange(1, 13):02d}-01",
              text(rng, 2), rng.choice(KANJI), str(rng.randrange(0, 100)), text(rng, 3), rng.choice(TITLES)]
    fields[3] = quoted(fields[3])
    if rng.random() < 0.1:
        for k in rng.sample([5, 8], rng.randrange(1, 3)):
            lines = [text(rng, 3) for _ in range(rng.randrange(2, 5))]
            fields[k] = quoted(rng.choice(["\r\n", "\n"]).join(lines))
    return ",".join(fields)


def wide_field(rng):
    kind = rng.random()
    if kind < 0.6:
        return ""
    if kind < 0.75:
        return str(rng.randrange(0, 10))
    if kind < 0.9:
        return rng.choice(SHORT)
    if kind < 0.95:
        return rng.choice("ABCXYZ")
    return str(rng.randrange(10, 1000))


def wide_row(rng):
    return ",".join(wide_field(rng) for _ in range(200))


def ragged_row(rng, most):
    fields = [f"R{rng.randrange(1, 10**6):06d}", rng.choice(SURNAMES), amount(rng, 100, 100_000),
              rng.choice(KANJI), text(rng, 2), rng.choice(DEPTS), str(rng.randrange(0, 1000)),
              rng.choice(SHORT), rng.choice(TITLES), f"{rng.randrange(1, 13)}/{rng.randrange(1, 29)}",
              text(rng, 1), rng.choice(KANA)]
    fields[2] = quoted(fields[2])
    return ",".join(fields[:rng.randrange(5, most + 1)])


SHAPES = {
    # header, pool maker, and whether the last tenth draws from a second pool
    "dense": ([f"項目{k + 1}" for k in range(20)], lambda rng: dense_row(rng), None),
    "quoted": ([quoted(name) for name in HEADER], quoted_row, None),
    "multiline": (["番号", "氏名", "部署", "金額", "日付", "摘要", "地域", "数量", "備考", "役職"],
                  multiline_row, None),
    "wide": ([f"C{k + 1:03d}" for k in range(200)], wide_row, None),
    "ragged": (["番号", "氏名", "金額", "地域", "摘要"], lambda rng: ragged_row(rng, 11),
               lambda rng: ragged_row(rng, 12)),
}
POOL = 1 << 15


def pooled_rows(shape, rng, size):
    header, make, make_last = SHAPES[shape]
    pool = [make(rng) for _ in range(POOL)]
    last_pool = [make_last(rng) for _ in range(POOL)] if make_last else pool
    yield ",".join(header)
    written = 0
    while True:
        rows = rng.choices(pool if written < size * 9 // 10 else last_pool, k=1000)
        for row in rows:
            written += len(row.encode("utf-8")) + 2
            yield row


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--shape", choices=["business"] + list(SHAPES), default="business")
    parser.add_argument("size", type=float)
    parser.add_argument("prefix")
    args = parser.parse_args()
    size = int(args.size * 1024 * 1024)
    prefix = args.prefix
    rng = random.Random(20261209)
    lines = rows(rng) if args.shape == "business" else pooled_rows(args.shape, rng, size)
    written = 0
    block_utf8, block_sjis = [], []
    with open(prefix + ".utf8.csv", "wb") as utf8, open(prefix + ".sjis.csv", "wb") as sjis:
        for line in lines:
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
