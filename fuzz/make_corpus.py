#!/usr/bin/env python3
"""Writes the starting inputs of the fuzz targets into fuzz/corpus/.

The files are checked in; run this again only after changing it:

    python3 fuzz/make_corpus.py

Each target's folder is emptied and rewritten, so the corpus is always
exactly what this script describes. Keep the inputs few and small: the
fuzzer finds its own variations, these only show it the shapes that matter
(whole files, short files, Japanese text, the broken cases we know about).
"""

import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus"

RECORD_COUNT = 47
RECORD_LENGTH = 160
FIELD_CHARS = 80
IMAGE_BYTES = RECORD_COUNT * RECORD_LENGTH  # 7520


def record(value):
    """One record as the program writes it: the value cut to 80 characters,
    padded with spaces to 80 characters, encoded in code page 932 and padded
    with spaces to 160 bytes. Bytes are taken as they are (for broken input)."""
    if isinstance(value, bytes):
        raw = value
    else:
        text = value[:FIELD_CHARS].ljust(FIELD_CHARS)
        raw = text.encode("cp932")
    assert len(raw) <= RECORD_LENGTH, value
    return raw.ljust(RECORD_LENGTH, b" ")


def settings_file(values):
    """A whole system.dat from 47 values (missing ones are empty)."""
    values = list(values) + [""] * (RECORD_COUNT - len(values))
    assert len(values) == RECORD_COUNT
    data = b"".join(record(v) for v in values)
    assert len(data) == IMAGE_BYTES
    return data


def typical():
    """Options in their usual form and two sets with ASCII and Japanese paths."""
    v = [""] * RECORD_COUNT
    v[0:6] = ["1", "1", "0", "1", "1", "1"]  # copy_mode .. record_history
    v[6:9] = ["True", "False", "False"]  # shutdown_after
    v[9:12] = ["9", "12", ""]  # start_hour
    v[12:15] = ["30", "00", ""]  # start_minute
    v[15] = "/home/taro/documents"
    v[16] = "/home/太郎/データ"
    v[23] = "/mnt/backup/documents"
    v[24] = "/mnt/backup/データ"
    v[31:39] = ["1"] * 8  # copy_subfolders
    v[39:47] = ["0", "0"] + ["1"] * 6  # skip_set
    return settings_file(v)


def numbers_and_spaces():
    """Numeric shut-down flags, leading blanks kept, odd option values."""
    v = [""] * RECORD_COUNT
    v[0:6] = ["0", "2", "1", "0", "0", "0"]
    v[6:9] = ["-1", "0", "1.5"]
    v[9:12] = ["23", "7", "0"]
    v[12:15] = ["59", "5", "0"]
    v[15] = "  /leading/blanks/kept"
    v[23] = "/trailing/blanks/go   "
    v[31:39] = ["0", "", "1", "0", "x", "0", "1", "0"]
    v[39:47] = ["1", "0", "", "0", "1", "0", "1", "0"]
    return settings_file(v)


def full_width():
    """Japanese paths of 80 double-byte characters fill their 160 bytes, and
    half-width katakana takes one byte a character."""
    v = [""] * RECORD_COUNT
    v[0:6] = ["1"] * 6
    v[6:9] = ["FALSE", "true", "False"]
    v[15] = "データ" * 27  # 81 characters: cut to 80
    v[16] = "ﾃﾞｰﾀ/ﾊﾞｯｸｱｯﾌﾟ"
    v[23] = "①②③ⅠⅡⅢ㈱№"  # NEC row 13 characters (circled digits, Roman numerals)
    v[24] = "\\\\server\\share\\表"  # the 0x95 0x5C trap: trail byte 0x5C
    return settings_file(v)


def invalid_shift_jis():
    """Bytes that are not code page 932: undefined single bytes, a lead byte
    with a bad trail byte, a lead byte at the end of a record, an unassigned
    pair, and a NUL inside a record."""
    v = [""] * RECORD_COUNT
    v[0:6] = ["1"] * 6
    v[6:9] = ["True", "False", "False"]
    v[15] = b"/bad/\x80\xa0\xfd\xfe\xff/end"
    v[16] = b"/lead/\x81\x20/bad-trail/\x82\x7f"
    v[17] = b"A" * 159 + b"\x83"  # lead byte as the record's last byte
    v[18] = b"/unassigned/\x85\x40\xeb\x40"
    v[19] = b"/nul/\x00/after-nul"
    v[23] = b"\x83\x66\x81\x5b\x83\x5e" * 26 + b"\x83\x66\x81\x5b"  # 160 bytes of Japanese
    return settings_file(v)


def settings_corpus():
    files = {}
    files["valid_typical.dat"] = typical()
    files["valid_numbers.dat"] = numbers_and_spaces()
    files["valid_full_width.dat"] = full_width()
    files["empty.dat"] = b""
    # Three records and part of a fourth: the file a crash in the middle of
    # an old-style record-by-record save could leave.
    files["short.dat"] = typical()[: 3 * RECORD_LENGTH + 37]
    files["extra_tail.dat"] = typical() + b"\r\nDATA WRITTEN BY SOMEONE ELSE\x00\xff" * 4
    files["invalid_shift_jis.dat"] = invalid_shift_jis()
    v = [""] * RECORD_COUNT
    v[0:6] = ["1"] * 6
    v[6:9] = ["yes", "False", "False"]
    files["bad_boolean_yes.dat"] = settings_file(v)
    return files


def codec_corpus():
    files = {}
    files["ascii.txt"] = b"C:\\Documents and Settings\\user\\My Documents"
    files["japanese_utf8.txt"] = "/home/太郎/データ/写真 2004年".encode("utf-8")
    files["japanese_cp932.bin"] = "/home/太郎/データ/写真 2004年".encode("cp932")
    # A wave dash as Japanese input methods on Linux type it (U+301C), and a
    # yen sign: both have look-alikes in code page 932 that must not be
    # stored in their place.
    files["japanese_range_utf8.txt"] = "写真 4月〜6月 ¥1000".encode("utf-8")
    files["katakana_halfwidth_utf8.txt"] = "ﾊﾞｯｸｱｯﾌﾟ".encode("utf-8")
    files["katakana_halfwidth_cp932.bin"] = "ﾊﾞｯｸｱｯﾌﾟ".encode("cp932")
    files["nec_row13_cp932.bin"] = "①②③ⅰⅱⅲ㈱№∵".encode("cp932")
    files["trail_5c_cp932.bin"] = "表示\\ソフト".encode("cp932")
    files["outside_cp932_utf8.txt"] = "Ünïcødé € 😀 한글".encode("utf-8")
    files["invalid_utf8.bin"] = b"ab\xc0\xafcd\xed\xa0\x80ef\xf4\x90\x80\x80\xe3\x81"
    files["invalid_cp932.bin"] = b"\x80\xa0\xfd\xfe\xff\x81\x20\x85\x40\x83"
    files["empty.bin"] = b""
    return files


def write(target, files):
    folder = CORPUS / target
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    for name, data in sorted(files.items()):
        (folder / name).write_bytes(data)


def main():
    write("fuzz_settings_file", settings_corpus())
    write("fuzz_cp932", codec_corpus())
    total = sum(p.stat().st_size for p in CORPUS.rglob("*") if p.is_file())
    assert total < 200 * 1024, total
    print(f"corpus written to {CORPUS} ({total} bytes)")


if __name__ == "__main__":
    main()
