#!/usr/bin/env python3
"""Generates foundation/codec/PinyinTable.cpp, the syllable table behind PinyinConverter.

The readings come from the Unihan database as Debian's unicode-data package ships it
(/usr/share/unicode/Unihan_Readings.txt.bz2, or Unihan.zip). Only the readings of the
modern standard dictionaries are taken (kMandarin, kHanyuPinlu, kXHC1983, kTGHZ2013):
the historical readings of kHanyuPinyin would give common surnames such as 王 or 方 a
rare reading that sorts last and wins the converter's lookup.

Each reading loses its tone, ü is written "v" (lü -> Lv, nü -> Nv) except before e
where the rows spell it "ue" (lüe -> Lue, nüe -> Nue), and the syllable is capitalised.
A reading counts only when its syllable is one of the table's rows; the rows stay in
their fixed alphabetical order because the converter's rules depend on it (the first
row holding a character for one lookup, the last for the other).

Usage: generate_table.py [--readings FILE] [--dictionary-like FILE] [--output FILE]
Standard library only; run it again when the Unihan data changes and check the output in.
"""

import argparse
import bz2
import collections
import io
import os
import re
import sys
import unicodedata
import zipfile

FIRST_CODE = 0x4E00
LAST_CODE = 0x9FA5

ROWS = """A Ai An Ang Ao Ba Bai Ban Bang Bao Be Bei Ben Beng Bi Bia Bian Biao Bie Bin Bing Bo Bu Ca Cai
Can Cang Cao Ce Cen Ceng Ceok Ceom Ceon Ceor Cha Chai Chan Chang Chao Che Chen Cheng Chi Chong Chou Chu
Chua Chuai Chuan Chuang Chui Chun Chuo Ci Cis Cong Cou Cu Cuan Cui Cun Cuo Da Dai Dan Dang Dao De Dei
Dem Den Deng Di Dia Dian Diao Die Dim Ding Diu Dong Dou Du Duan Dui Dul Dun Duo E En Eng Eo Eol Eom
Eos Er Fa Fan Fang Fei Fen Feng Fo Fou Fu Ga Gad Gai Gan Gang Gao Ge Gei Gen Geng Gib Go Gong Gou Gu
Gua Guai Guan Guang Gui Gun Guo Ha Hai Hal Han Hang Hao He Hei Hen Heng Ho Hol Hong Hou Hu Hua Huai
Huan Huang Hui Hun Huo Hwa I Ji Jia Jian Jiang Jiao Jie Jin Jing Jiong Jiu Jou Ju Juan Jue Jun Ka Kai
Kal Kan Kang Kao Ke Kei Ken Keng Ki Kong Kos Kou Ku Kua Kuai Kuan Kuang Kui Kun Kuo Kweok Kwi La Lai
Lan Lang Lao Le Lei Li Lia Lian Liang Liao Lie Lin Ling Liu Lo Long Lou Lu Luan Lue Lun Luo Lv M Ma
Mai Man Mang Mao Me Mei Men Meng Meo Mi Mian Miao Mie Min Ming Miu Mo Mou Mu Myeo Myeon Myeong N Na
Nai Nan Nang Nao Ne Nei Nem Nen Neng Neus Ng Ngag Ngai Ngam Ni Nian Niao Nie Nin Ning Niu Nong Nou Nu
Nuan Nue Nun Nung Nuo Nv Nve O Oes Ol On Ou Pa Pai Pak Pan Pang Pao Pei Pen Peng Peol Phas Phdeng Phoi
Phos Pi Pian Piao Pie Pin Ping Po Pou Ppun Pu Q Qi Qia Qian Qiang Qiao Qie Qin Qing Qiong Qiu Qu Quan
Que Qun Ra Ram Ran Rang Rao Re Ren Ri Rong Rou Ru Rua Ruan Rui Run Ruo Sa Saeng Sai Sal San Sang Sao
Se Sed Sei Sen Seng Seo Seon Sha Shai Shan Shang Shao She Shen Sheng Shi Shou Shu Shua Shuai Shuan
Shuang Shui Shun Shuo Shw Si So Sol Song Sou Su Suan Sui Sun Suo Ta Tae Tai Tan Tang Tao Te Teng Ti
Tian Tiao Tie Ting Tol Ton Tong Tou Tu Tuan Tui Tun Tuo Uu Wa Wai Wan Wang Wei Wen Weng Wie Wo Wu Xi
Xia Xian Xiang Xiao Xie Xin Xing Xiong Xiu Xu Xuan Xue Xun Ya Yan Yang Yao Ye Yi Yin Ying Yo Yong You
Yu Yuan Yue Yun Za Zad Zai Zan Zang Zao Ze Zei Zen Zeng Zha Zhai Zhan Zhang Zhao Zhe Zhen Zheng Zhi
Zhong Zhou Zhu Zhua Zhuai Zhuan Zhuang Zhui Zhun Zhuo Zi Zo Zong Zou Zu Zuan Zui Zun Zuo""".split()

# Standard Mandarin syllables the row list lacks. Without them 冷, 娘, 仍, 扔, 酿 and
# 诶 would have no reading at all and vanish from names and sort keys.
EXTRA_ROWS = ["Ei", "Leng", "Niang", "Reng"]

# Readings fixed by the program rather than by the dictionaries: these characters
# decide how common names are spelt and sorted.
FIXED_READINGS = {
    "乐": ["Le", "Luo", "Yao", "Yue"],
    "重": ["Chong", "Tong", "Zhong"],
    "行": ["Hang", "Heng", "Xing"],
    "单": ["Dan", "Shan"],
    "曾": ["Ceng", "Zeng"],
}

# The characters that open these rows, most used first.
LEADING = {
    "A": "啊阿呵吖嗄腌锕錒",
    "Zhang": "张章帐仗丈掌涨账",
    "Chang": "长唱常场厂尝肠畅",
    "Zuo": "做作坐左座昨凿琢",
}

SOURCES = ("kMandarin", "kHanyuPinlu", "kXHC1983", "kTGHZ2013")
UNIHAN_DIR = "/usr/share/unicode"


def open_unihan(name, explicit):
    """Opens one Unihan file as text, plain, bz2 or inside Unihan.zip."""
    candidates = [explicit] if explicit else [
        os.path.join(UNIHAN_DIR, name),
        os.path.join(UNIHAN_DIR, name + ".bz2"),
        os.path.join(UNIHAN_DIR, "Unihan.zip"),
    ]
    for path in candidates:
        if not path or not os.path.exists(path):
            continue
        if path.endswith(".bz2"):
            return io.TextIOWrapper(bz2.open(path, "rb"), encoding="utf-8")
        if path.endswith(".zip"):
            archive = zipfile.ZipFile(path)
            return io.TextIOWrapper(archive.open(name), encoding="utf-8")
        return open(path, encoding="utf-8")
    raise SystemExit("cannot find %s (install Debian's unicode-data)" % name)


def syllable(reading):
    """Tone-less, capitalised syllable of one pinyin reading."""
    decomposed = unicodedata.normalize("NFD", reading.strip().lower())
    kept = "".join(ch for ch in decomposed if ch == "\u0308" or not unicodedata.combining(ch))
    plain = unicodedata.normalize("NFC", kept)
    plain = plain.replace("üe", "ue").replace("ü", "v")
    return plain.capitalize()


def readings_of(field, value):
    if field == "kMandarin":
        return value.split()
    if field == "kHanyuPinlu":
        return [re.sub(r"\(\d+\)$", "", item) for item in value.split()]
    # kXHC1983 and kTGHZ2013: "page.position:reading" items; a position may carry
    # several readings separated by commas.
    found = []
    for item in value.split():
        found.extend(item.split(":", 1)[1].split(","))
    return found


def load(readings_path, dictionary_path):
    readings = collections.defaultdict(list)  # code -> syllables in source order
    pinlu = {}  # (code, syllable) -> frequency count
    with open_unihan("Unihan_Readings.txt", readings_path) as source:
        for line in source:
            if line.startswith("#") or not line.strip():
                continue
            code_text, field, value = line.rstrip("\n").split("\t", 2)
            code = int(code_text[2:], 16)
            if field not in SOURCES or not FIRST_CODE <= code <= LAST_CODE:
                continue
            for reading in readings_of(field, value):
                readings[code].append(syllable(reading))
            if field == "kHanyuPinlu":
                for item in value.split():
                    match = re.match(r"(.+)\((\d+)\)$", item)
                    if match:
                        key = (code, syllable(match.group(1)))
                        pinlu[key] = pinlu.get(key, 0) + int(match.group(2))
    frequency = {}
    try:
        with open_unihan("Unihan_DictionaryLikeData.txt", dictionary_path) as source:
            for line in source:
                if line.startswith("#") or not line.strip():
                    continue
                code_text, field, value = line.rstrip("\n").split("\t", 2)
                if field == "kFrequency":
                    frequency[int(code_text[2:], 16)] = int(value)
    except (SystemExit, KeyError):
        pass  # ordering inside a row then falls back to GB 2312 and code order
    return readings, pinlu, frequency


def in_gb2312(code):
    try:
        chr(code).encode("gb2312")
        return True
    except UnicodeEncodeError:
        return False


def build(readings, pinlu, frequency):
    rows = sorted(ROWS + EXTRA_ROWS)
    assert len(set(rows)) == len(rows)
    row_set = set(rows)
    members = {row: set() for row in rows}
    for code, syllables in readings.items():
        char = chr(code)
        if char in FIXED_READINGS:
            continue
        for name in syllables:
            if name in row_set:
                members[name].add(code)
    for char, names in FIXED_READINGS.items():
        for name in names:
            members[name].add(ord(char))
    for name, chars in LEADING.items():
        for char in chars:
            members[name].add(ord(char))

    table = []
    for name in rows:
        leading = [ord(c) for c in LEADING.get(name, "")]
        rest = sorted(members[name] - set(leading),
                      key=lambda code: (-pinlu.get((code, name), 0), frequency.get(code, 9),
                                        not in_gb2312(code), code))
        table.append((name, leading + rest))
    return table


def write(table, output):
    total = sum(len(chars) for _, chars in table)
    distinct = len({code for _, chars in table for code in chars})
    lines = [
        "// Generated by tools/pinyin/generate_table.py from the Unihan readings; do not edit.",
        "// %d rows, %d entries, %d different characters." % (len(table), total, distinct),
        "",
        '#include "foundation/codec/PinyinTable.h"',
        "",
        "namespace foundation {",
        "",
        "const PinyinRow kPinyinTable[] = {",
    ]
    for name, chars in table:
        text = "".join(chr(code) for code in chars)
        lines.append('    { "%s", u"%s" },' % (name, text))
    lines += [
        "};",
        "",
        "const std::size_t kPinyinTableSize = sizeof(kPinyinTable) / sizeof(kPinyinTable[0]);",
        "",
        "} // namespace foundation",
        "",
    ]
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))
    return total, distinct


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_output = os.path.normpath(os.path.join(here, "..", "..", "foundation", "codec", "PinyinTable.cpp"))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--readings", help="Unihan_Readings.txt, .bz2 or Unihan.zip")
    parser.add_argument("--dictionary-like", help="Unihan_DictionaryLikeData.txt, .bz2 or Unihan.zip")
    parser.add_argument("--output", default=default_output)
    args = parser.parse_args()
    table = build(*load(args.readings, args.dictionary_like))
    total, distinct = write(table, args.output)
    print("%s: %d rows, %d entries, %d characters" % (args.output, len(table), total, distinct), file=sys.stderr)


if __name__ == "__main__":
    main()
