#!/usr/bin/env python3
"""Writes the DXF drawings the tests and benchmarks read, with ezdxf.

Usage:
    /usr/bin/python3 tests/data/drawings/make_dxf_corpus.py OUTDIR [--large-count N] [--no-large]

Made with Debian 12's python3-ezdxf 0.18.1; run it with /usr/bin/python3 if another python3 comes
first in PATH. The small drawings in this folder are its output with --no-large, committed; the
benchmarks make the two 100,000-text drawings with it in a temporary folder.

Files written (README.md beside this script describes them):
  01_text_mtext_r2000_gbk.dxf      R2000 (AC1015), $DWGCODEPAGE=ANSI_936 (GBK bytes)
  02_text_mtext_r2018_utf8.dxf     same content, R2018 (AC1032), UTF-8
  03_blocks_attribs_r2018.dxf      BLOCK with TEXT/MTEXT/ATTDEF, nested block,
                                   INSERTs with ATTRIBs (R2018, multi-line ATTRIB)
  03b_blocks_attribs_r2000_gbk.dxf same as 03, R2000 + GBK (no multi-line ATTRIB)
  04_edge_cases_r2000_gbk.dxf      escapes: \\U+ (upper/lower/8-digit), \\M+5xxxx,
                                   long MTEXT chunks > 255 bytes, %%c %%d %%p
  05_large_100k_text_r2018.dxf     N TEXT entities (default 100,000), UTF-8
  05b_large_100k_text_r2000_gbk.dxf the same, R2000 + GBK
  *.expected.csv                   what ezdxf reads back: one row per text item
  (ezdxf cannot make ACAD_TABLE entities: the tables come from real/, saved by a CAD program)
"""
from __future__ import annotations

import argparse
import binascii
import codecs
import csv
import os
import random
import re
import sys
import time

import ezdxf
from ezdxf.enums import TextEntityAlignment

# ---------------------------------------------------------------------------
# helpers
# ---------------------------------------------------------------------------

BYLAYER, BYBLOCK, RED, GREEN = 256, 0, 1, 3

UPLUS = re.compile(r"\\U\+([0-9A-Fa-f]{4,8})")
MIF = re.compile(r"\\M\+([1-5])([0-9A-Fa-f]{4})")
MIF_CP = {"1": "cp932", "2": "cp950", "3": "cp949", "4": "johab", "5": "gbk"}


def decode_escapes(s: str) -> str:
    """Decode \\U+XXXX (4..8 hex digits) and \\M+nXXXX escapes."""

    def _mif(m):
        try:
            return codecs.decode(binascii.unhexlify(m.group(2)), MIF_CP[m.group(1)])
        except Exception:  # keep undecodable escapes
            return m.group(0)

    s = MIF.sub(_mif, s)
    return UPLUS.sub(lambda m: chr(int(m.group(1), 16)), s)


def setup_resources(doc):
    """Layers and text styles shared by the text drawings."""
    doc.layers.add("TEXT_CN", color=7)
    doc.layers.add("标注", color=1)  # non-ASCII layer name
    doc.layers.add("TITLE", color=3)
    doc.layers.add("LATIN", color=5)
    doc.layers.add("FROZEN", color=8).freeze()
    # Text styles: an SHX + big font style (typical Chinese setup) and a
    # TrueType style with a Chinese name.
    doc.styles.new(
        "HZ", dxfattribs={"font": "gbenor.shx", "bigfont": "gbcbig.shx", "width": 0.7}
    )
    doc.styles.new("仿宋", dxfattribs={"font": "simfang.ttf"})


def add_text(layout, text, pos, *, layer="TEXT_CN", style="Standard", color=BYLAYER,
             height=2.5, width=1.0, rotation=0.0, align=None, align2=None):
    attribs = {"layer": layer, "style": style, "height": height}
    if color != BYLAYER:
        attribs["color"] = color
    if width != 1.0:
        attribs["width"] = width
    if rotation:
        attribs["rotation"] = rotation
    t = layout.add_text(text, dxfattribs=attribs)
    if align is None:
        t.set_placement(pos)
    else:
        t.set_placement(pos, align2, align=align)
    return t


def add_mtext(layout, text, pos, *, layer="TEXT_CN", style="Standard", color=BYLAYER,
              char_height=2.5, width=60.0, attachment=1):
    attribs = {"layer": layer, "style": style, "char_height": char_height,
               "width": width, "insert": pos, "attachment_point": attachment}
    if color != BYLAYER:
        attribs["color"] = color
    return layout.add_mtext(text, dxfattribs=attribs)


MTEXT_SAMPLES = [
    # (content, layer, style, color)
    (r"{\Farial|b0|i0;\H2.5;中文} normal text", "TEXT_CN", "Standard", BYLAYER),
    (r"分数 \S2^; 与 \S1/2; 与 \S3#4; 公差 \S+0.01^-0.02;", "标注", "HZ", RED),
    (r"a\Pb\P第三行", "TEXT_CN", "HZ", GREEN),
    (r"\pxqc;居中段落一\P居中段落二\P\pxql;左对齐段落", "TITLE", "仿宋", BYLAYER),
    (r"\L下划线\l \O上划线\o \K删除线\k \C1;红色\C256; \W0.8;窄字\W1; "
     r"\Q15;斜体\Q0; \T1.5;间距\T1; \A1;对齐 不\~断\~行 反斜杠\\ 花括号\{ \} "
     r"{\fSimSun|b1|i0|c134|p2;宋体粗体}", "标注", "Standard", GREEN),
    (r"{\Fromans.shx|c0;Romans SHX font} {\H0.7x;relative height 0.7x}", "LATIN",
     "Standard", BYLAYER),
    ("Tab^Iseparated^Jcaret line feed 制表符", "LATIN", "Standard", RED),
    (r"Literal unicode escape \U+4E2D\U+6587 in MTEXT", "LATIN", "Standard", BYLAYER),
]

TEXT_SAMPLES = [
    # (text, layer, style, color, width_factor)
    ("中文测试文字", "TEXT_CN", "HZ", BYLAYER, 0.7),
    ("Latin text ABC 123", "LATIN", "Standard", RED, 1.0),
    ("混合 Mixed 文字 %%c50 %%d %%p0.5", "标注", "仿宋", GREEN, 1.0),
    ("繁體中文測試：電腦軟體與網路", "TEXT_CN", "HZ", BYLAYER, 0.8),
    ("简体中文：计算机软件与网络", "TEXT_CN", "HZ", RED, 0.8),
    ("设备编号 EQ-101 / 泵", "TITLE", "Standard", GREEN, 1.0),
    ("Greek Ελληνικά and accents é ü (in GBK)", "LATIN", "Standard", BYLAYER, 1.0),
    ("Not in GBK: ő 한국어", "LATIN", "Standard", BYLAYER, 1.0),
    (r"Escaped \U+4E2D\U+6587 literal", "LATIN", "Standard", BYLAYER, 1.0),
    ("  leading and trailing spaces  ", "LATIN", "Standard", BYLAYER, 1.0),
    ("1:100", "TITLE", "Standard", BYLAYER, 1.0),
    ("冻结层上的文字", "FROZEN", "HZ", BYLAYER, 1.0),
]


def populate_text_drawing(doc):
    setup_resources(doc)
    msp = doc.modelspace()
    y = 0.0
    for text, layer, style, color, wf in TEXT_SAMPLES:
        add_text(msp, text, (0, y), layer=layer, style=style, color=color, width=wf,
                 height=3.0)
        y -= 6.0
    # alignment variants: centred with two alignment points, rotated, fit
    add_text(msp, "居中对齐 MIDDLE_CENTER", (100, 0), align=TextEntityAlignment.MIDDLE_CENTER,
             style="HZ", color=GREEN)
    add_text(msp, "旋转30度 rotated", (100, -20), rotation=30.0, style="仿宋")
    add_text(msp, "FIT 对齐文字", (100, -40), align=TextEntityAlignment.FIT,
             align2=(160, -40), style="HZ")
    add_text(msp, "RIGHT 右对齐", (160, -50), align=TextEntityAlignment.RIGHT, style="HZ",
             layer="TITLE")
    y = 0.0
    for content, layer, style, color in MTEXT_SAMPLES:
        add_mtext(msp, content, (200, y), layer=layer, style=style, color=color)
        y -= 15.0
    # a centred MTEXT (attachment point middle center)
    add_mtext(msp, r"\pxqc;整段居中\P第二行", (200, y), attachment=5, style="HZ")
    y -= 15.0
    # long MTEXT (> 250 characters -> group 3 chunks + final group 1)
    long_text = ("这是一段很长的多行文字，用于测试分块存储。Long multiline text for chunk "
                 "tests. ") * 12
    add_mtext(msp, long_text.strip(), (200, y), width=120.0, style="HZ")
    # a true colour text (group 420)
    t = add_text(msp, "真彩色 true colour", (0, -90), style="HZ")
    t.rgb = (255, 128, 0)
    # paper space text (ENTITIES section, group 67 = 1)
    psp = doc.layout("Layout1")
    add_text(psp, "图纸空间文字 paper space", (10, 10), style="HZ", layer="TITLE")
    add_mtext(psp, r"图纸空间\P多行文字", (10, 30), style="HZ")


def populate_block_drawing(doc):
    setup_resources(doc)
    msp = doc.modelspace()
    # nested block
    logo = doc.blocks.new("LOGO")
    logo.add_circle((0, 0), 3)
    add_text(logo, "公司标志", (-4, -6), style="HZ", height=1.5, color=BYBLOCK, layer="0")

    tb = doc.blocks.new("TITLE_BLOCK", base_point=(0, 0))
    tb.add_lwpolyline([(0, 0), (180, 0), (180, 40), (0, 40)], close=True)
    tb.add_line((0, 20), (180, 20))
    add_text(tb, "图纸名称", (2, 32), style="HZ", height=3, layer="TITLE")
    add_text(tb, "Drawing No.", (2, 12), style="Standard", height=2.5, color=RED, layer="TITLE")
    add_mtext(tb, r"设计单位\P审核 Checked", (100, 38), style="HZ", layer="TITLE", width=70)
    tb.add_blockref("LOGO", (170, 30))
    attdefs = [
        # tag, prompt, default, position, flags
        ("DRAWING_NAME", "图纸名称", "默认图名", (40, 32), 0),
        ("DRAWING_NO", "图号", "A-001", (40, 12), 0),
        ("DESIGNER", "设计人 Designer", "", (100, 12), 0),
        ("日期", "日期 Date", "2024-01-01", (140, 12), 0),
        ("INTERNAL_ID", "内部编号 (invisible)", "ID-000", (140, 2), 1),  # invisible
        ("COMPANY", "公司 (constant)", "某某设计院", (100, 2), 2),  # constant
    ]
    for tag, prompt, default, pos, flags in attdefs:
        tb.add_attdef(tag, pos, default, dxfattribs={
            "prompt": prompt, "height": 2.5, "style": "HZ", "flags": flags,
            "layer": "TITLE"})

    room = doc.blocks.new("ROOM_TAG")
    room.add_circle((0, 0), 5)
    add_text(room, "房间", (-3, 1), style="HZ", height=2)
    room.add_attdef("ROOM", (-3, -3), "101", dxfattribs={"prompt": "房间号", "height": 2})
    room.add_attdef("ROOM_NAME", (-3, -7), "办公室",
                    dxfattribs={"prompt": "房间名称", "height": 2, "style": "HZ"})

    def drop_constant(insert):
        # ezdxf 0.18 add_auto_attribs() also creates an ATTRIB for a constant
        # ATTDEF; AutoCAD does not store ATTRIBs for constant attributes.
        for attdef in doc.blocks.get(insert.dxf.name).attdefs():
            if attdef.is_const:
                insert.delete_attrib(attdef.dxf.tag, ignore=True)

    ins1 = msp.add_blockref("TITLE_BLOCK", (0, 0), dxfattribs={"layer": "TITLE"})
    ins1.add_auto_attribs({"DRAWING_NAME": "一层平面图", "DRAWING_NO": "A-101",
                           "DESIGNER": "张三", "日期": "2024-05-01",
                           "INTERNAL_ID": "ID-101"})
    ins2 = msp.add_blockref("TITLE_BLOCK", (0, -60), dxfattribs={"layer": "TITLE",
                                                                  "color": RED})
    ins2.add_auto_attribs({"DRAWING_NAME": "二層平面圖 (繁體)", "DRAWING_NO": "A-102",
                           "DESIGNER": "李四 Li Si", "日期": "2024-05-02",
                           "INTERNAL_ID": "ID-102"})
    drop_constant(ins1)
    drop_constant(ins2)
    r = msp.add_blockref("ROOM_TAG", (50, 80), dxfattribs={"xscale": 2, "yscale": 2})
    r.add_auto_attribs({"ROOM": "201", "ROOM_NAME": "会议室"})
    # ATTRIB with explicit width factor and rotation
    r2 = msp.add_blockref("ROOM_TAG", (100, 80), dxfattribs={"rotation": 15})
    r2.add_auto_attribs({"ROOM": "202", "ROOM_NAME": "档案室（机要）"})
    for a in r2.attribs:
        a.dxf.width = 0.8
    # multi-line ATTRIB (needs R2018, exported as single line for older versions)
    r3 = msp.add_blockref("ROOM_TAG", (150, 80))
    r3.add_auto_attribs({"ROOM": "203", "ROOM_NAME": "placeholder"})
    if doc.dxfversion >= "AC1032":
        for a in r3.attribs:
            if a.dxf.tag == "ROOM_NAME":
                m = msp.add_mtext(r"多行属性第一行\P第二行 second line",
                                  dxfattribs={"char_height": 2, "style": "HZ"})
                a.embed_mtext(m)
    # block reference in paper space
    psp = doc.layout("Layout1")
    p = psp.add_blockref("ROOM_TAG", (20, 20))
    p.add_auto_attribs({"ROOM": "P01", "ROOM_NAME": "图纸空间房间"})
    # a plain modelspace TEXT for comparison
    add_text(msp, "模型空间普通文字", (0, 60), style="HZ")


def populate_edge_cases(doc):
    setup_resources(doc)
    msp = doc.modelspace()
    rows = [
        # written literally; ezdxf does not touch backslashes
        r"upper \U+4E2D\U+6587 escapes",
        r"lower \U+4e2d\U+6587 escapes",
        r"MIF GBK \M+5D6D0\M+5CEC4 (=中文)",
        r"MIF Big5 \M+2A4A4\M+2A4E5 (=中文 traditional)",
        "non-GBK chars become \\U+ on write: ő € ™ 한",
        # ezdxf quirk: a char <= U+00FF that the code page lacks is written as
        # "\\xNN" (not a DXF escape; AutoCAD would show it literally)
        "ezdxf writes Latin-1 char missing in GBK as backslash-x: ñ",
        "supplementary plane (ezdxf writes 8-digit \\U+): 𠀀 😀",
        "%%c100 %%d45 %%p0.1 %%u下划线%%u %%o上划线%%o %%%",
        "",  # empty TEXT
    ]
    for i, s in enumerate(rows):
        add_text(msp, s, (0, -6 * i), style="HZ" if i % 2 else "Standard")
    # long MTEXT: each group-3 chunk is 250 *characters*, i.e. 500 GBK bytes
    add_mtext(msp, "汉" * 260 + "END", (100, 0), width=200, style="HZ")
    # MTEXT chunk boundary inside an escape sequence: 249 ASCII + \P, so the
    # first group-3 chunk ends with "\" and the final group-1 starts with "P"
    add_mtext(msp, "x" * 249 + r"\P" + "after paragraph break", (100, -30), width=200)
    # nested braces and stacked text with Chinese
    add_mtext(msp, r"{\C1;{\H2x;大\H1x;小}\S上^下;}\P{\fSimHei|b0|i0|c134|p49;黑体}",
              (100, -60))


def populate_large(doc, count: int, seed: int = 42):
    setup_resources(doc)
    msp = doc.modelspace()
    rnd = random.Random(seed)
    words_cn = ["设备", "管道", "阀门", "泵", "电缆", "桥架", "风管", "楼梯", "门窗", "标高",
                "說明", "鋼筋", "混凝土", "圖紙", "注意", "编号", "检修", "给水", "排水", "消防"]
    words_en = ["PUMP", "VALVE", "PIPE", "CABLE", "DUCT", "NOTE", "LEVEL", "ROOM", "DOOR",
                "WINDOW"]
    layers = ["TEXT_CN", "标注", "TITLE", "LATIN"]
    styles = ["Standard", "HZ", "仿宋"]
    colors = [BYLAYER, RED, GREEN, BYLAYER, 7]
    per_row = 100
    for i in range(count):
        kind = i % 4
        if kind == 0:
            s = "".join(rnd.choice(words_cn) for _ in range(rnd.randint(1, 4)))
        elif kind == 1:
            s = " ".join(rnd.choice(words_en) for _ in range(rnd.randint(1, 3)))
        elif kind == 2:
            s = f"{rnd.choice(words_cn)}-{i:06d} {rnd.choice(words_en)}"
        else:
            s = f"{rnd.choice(words_cn)}{rnd.choice(words_cn)} %%c{rnd.randint(10, 500)}"
        x = (i % per_row) * 40.0
        y = -(i // per_row) * 5.0
        add_text(msp, s, (x, y), layer=layers[i % len(layers)],
                 style=styles[(i // 7) % len(styles)], color=colors[(i // 3) % len(colors)],
                 height=2.5, width=1.0 if i % 5 else 0.8)


# ---------------------------------------------------------------------------
# ground truth export
# ---------------------------------------------------------------------------

def iter_text_items(doc):
    """Yield dicts describing every text item ezdxf sees (layouts + blocks)."""

    def color_of(e):
        return e.dxf.get("color", BYLAYER)

    def rows_for(e, container):
        t = e.dxftype()
        style = e.dxf.get("style", "Standard") if e.dxf.is_supported("style") else ""
        base = dict(handle=e.dxf.handle, type=t, container=container,
                    layer=e.dxf.get("layer", "0"), style=style,
                    color=color_of(e), tag="", prompt="", width_factor="")
        if t == "TEXT":
            yield dict(base, text=e.dxf.text, width_factor=e.dxf.get("width", 1.0))
        elif t == "MTEXT":
            yield dict(base, text=e.text)
        elif t == "ATTDEF":
            yield dict(base, text=e.dxf.text, tag=e.dxf.tag, prompt=e.dxf.get("prompt", ""),
                       width_factor=e.dxf.get("width", 1.0))
        elif t == "INSERT":
            for a in e.attribs:
                yield dict(base, handle=a.dxf.handle, type="ATTRIB",
                           layer=a.dxf.get("layer", "0"), style=a.dxf.get("style", "Standard"),
                           color=color_of(a), text=a.dxf.text, tag=a.dxf.tag,
                           width_factor=a.dxf.get("width", 1.0),
                           prompt=f"owner INSERT {e.dxf.handle} -> {e.dxf.name}")

    for layout in doc.layouts:
        name = "*Model_Space" if layout.name == "Model" else f"layout:{layout.name}"
        for e in layout:
            yield from rows_for(e, name)
    for blk in doc.blocks:
        if blk.name.lower() in ("*model_space",) or blk.name.lower().startswith("*paper_space"):
            continue
        for e in blk:
            yield from rows_for(e, f"block:{blk.name}")


def write_expected(doc, path):
    fields = ["handle", "type", "container", "layer", "style", "color", "tag", "prompt",
              "width_factor", "text", "text_decoded"]
    n = 0
    with open(path, "w", newline="", encoding="utf-8") as f:
        w = csv.DictWriter(f, fieldnames=fields)
        w.writeheader()
        for row in iter_text_items(doc):
            row["text_decoded"] = decode_escapes(row["text"])
            w.writerow(row)
            n += 1
    return n


def fix_attrib_owners(doc):
    """AutoCAD writes ATTRIB and SEQEND with owner (330) = handle of their
    INSERT; ezdxf 0.18.1 writes the owner of the INSERT instead (fixed in later
    ezdxf releases).  Make the corpus look like AutoCAD output."""
    layouts = list(doc.layouts) + list(doc.blocks)
    for layout in layouts:
        for e in layout.query("INSERT"):
            for a in e.attribs:
                a.dxf.owner = e.dxf.handle
            if e.seqend is not None:
                e.seqend.dxf.owner = e.dxf.handle


# ---------------------------------------------------------------------------

def make(version, encoding, populate, path, *args):
    t0 = time.perf_counter()
    doc = ezdxf.new(version, setup=False)
    doc.units = ezdxf.units.MM  # ezdxf defaults to metres ($INSUNITS 6); drawings use mm
    if encoding:
        # -> $DWGCODEPAGE ANSI_936 on save; R2007+ files are still written as
        # UTF-8 (ezdxf Drawing.output_encoding), like AutoCAD on a Chinese system
        doc.encoding = encoding
    populate(doc, *args)
    fix_attrib_owners(doc)
    doc.saveas(path)
    dt = time.perf_counter() - t0
    # read back, audit, write ground truth
    doc2 = ezdxf.readfile(path)
    auditor = doc2.audit()
    n = write_expected(doc2, path.replace(".dxf", ".expected.csv"))
    print(f"{os.path.basename(path):40s} {os.path.getsize(path):>11,d} bytes  "
          f"{doc2.dxfversion} cp={doc2.header.get('$DWGCODEPAGE')} "
          f"handseed={doc2.header.get('$HANDSEED')} texts={n} "
          f"audit errors={len(auditor.errors)} fixes={len(auditor.fixes)} "
          f"build {dt:.1f}s")
    return doc2


def main():
    # ezdxf writes the CLASSES section in set() order; fix the hash seed so that
    # repeated runs produce byte-identical files
    if os.environ.get("PYTHONHASHSEED") != "0":
        env = dict(os.environ, PYTHONHASHSEED="0")
        os.execve(sys.executable, [sys.executable] + sys.argv, env)
    ap = argparse.ArgumentParser()
    ap.add_argument("outdir")
    ap.add_argument("--large-count", type=int, default=100_000)
    ap.add_argument("--no-large", action="store_true")
    a = ap.parse_args()
    os.makedirs(a.outdir, exist_ok=True)
    p = lambda name: os.path.join(a.outdir, name)  # noqa: E731
    # fixed $TDCREATE/$TDUPDATE/GUIDs so that repeated runs give identical files
    ezdxf.options.write_fixed_meta_data_for_testing = True
    print("ezdxf", ezdxf.__version__, "python", sys.version.split()[0])
    make("R2000", "gbk", populate_text_drawing, p("01_text_mtext_r2000_gbk.dxf"))
    make("R2018", "gbk", populate_text_drawing, p("02_text_mtext_r2018_utf8.dxf"))
    make("R2018", "gbk", populate_block_drawing, p("03_blocks_attribs_r2018.dxf"))
    make("R2000", "gbk", populate_block_drawing, p("03b_blocks_attribs_r2000_gbk.dxf"))
    make("R2000", "gbk", populate_edge_cases, p("04_edge_cases_r2000_gbk.dxf"))
    if not a.no_large:
        make("R2018", "gbk", populate_large, p("05_large_100k_text_r2018.dxf"), a.large_count)
        make("R2000", "gbk", populate_large, p("05b_large_100k_text_r2000_gbk.dxf"),
             a.large_count)


if __name__ == "__main__":
    main()
