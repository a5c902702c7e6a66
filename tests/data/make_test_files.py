#!/usr/bin/env python3
"""Writes the workbooks, tables and archives the tests read (tests/data/sheets and tests/data/zip).

Usage: /usr/bin/python3 tests/data/make_test_files.py [OUTDIR]   (default: the folder of this script)

Made with Debian 12's python3-openpyxl and Python's zipfile. The .xls files are not made here: only an
office program writes them (see README.md); damaged-garbled.xls is derived from sheets/mis-office.xls,
which must already be in OUTDIR/sheets. The output is committed; run this again only to change a file.
Times inside the files are fixed, so a second run gives the same contents.
"""
import datetime
import io
import os
import random
import sys
import zipfile

import openpyxl

STAMP = datetime.datetime(2026, 12, 8, 0, 25, 32)
ZIP_TIME = (2026, 12, 8, 0, 25, 54)

CATEGORIES = ["0101-泵类", "0102-阀门", "0203-电缆", "0104-仪表"]
RECORD_HEADER = ["物料名称", "物料描述", "型号与规格", "应用项目", "项目日期", "品牌或厂家", "单位", "数量",
                 "价格(元)", "NC 编码", "录入者"]


def new_workbook():
    book = openpyxl.Workbook()
    book.properties.creator = "openpyxl"
    book.properties.created = STAMP
    book.properties.modified = STAMP
    return book


def fill_columns(sheet, columns):
    """Each column: its values top down; None leaves a cell empty."""
    for c, values in enumerate(columns, start=1):
        for r, value in enumerate(values, start=1):
            if value is not None:
                sheet.cell(row=r, column=c, value=value)


def save(book, path):
    """openpyxl stamps zip entries with the clock: rewrite them with a fixed time."""
    buffer = io.BytesIO()
    book.save(buffer)
    rewrite_zip(buffer.getvalue(), path)


def rewrite_zip(data, path):
    source = zipfile.ZipFile(io.BytesIO(data))
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as out:
        for info in source.infolist():
            fixed = zipfile.ZipInfo(info.filename, ZIP_TIME)
            fixed.compress_type = zipfile.ZIP_DEFLATED
            out.writestr(fixed, source.read(info))


def coding_workbook(path):
    book = new_workbook()
    notes = book.active
    notes.title = "说明"
    notes["A1"] = "物料档案生成器 - 机械专业"
    fill_columns(book.create_sheet("分类"), [
        [CATEGORIES[0], "01-离心泵", "02-计量泵", "03-潜水泵"],
        [CATEGORIES[1], "01-闸阀", "02-球阀"],
        [CATEGORIES[2]],
        [CATEGORIES[3], "01-压力变送器", "02-流量计", "03-液位计"],
    ])
    parameters = [
        [["01-DN50", "02-DN80"], ["01-PN16", "02-PN25", "03-PN40"], ["01-3x2.5"], ["01-4~20mA"]],
        [["01-铸铁", "02-不锈钢"], ["00-无"], ["01-铜芯"], ["01-防爆", "02-普通"]],
        [["01-380V"], ["01-手动", "02-电动"], ["00-无"], ["00-无"]],
        [["00-无"], ["00-无"], ["00-无"], ["00-无"]],
        [["00-无"], ["00-无"], ["00-无"], ["00-无"]],
    ]
    for n, columns in enumerate(parameters, start=1):
        fill_columns(book.create_sheet(f"参数{n}"),
                     [[header] + values for header, values in zip(CATEGORIES, columns)])
    save(book, path)


def record_rows(sheet, rows):
    sheet.append(RECORD_HEADER)
    for row in rows:
        sheet.append(row)


def mis_office(path):
    book = new_workbook()
    sheet = book.active
    record_rows(sheet, [
        ["离心泵", "清水泵", "DN50", "净水厂", "2024-05", "格兰富", "台", 2, 12500.5, "0012", "203.0.113.20"],
        ["球阀", "不锈钢球阀", "PN16 DN80", "污水厂", "2024-06", "上海阀门", "个", 10, 860, "0103020001",
         "203.0.113.21"],
        ["Flow meter", "electromagnetic", "DN100", "Plant A", "2025-01", "ABB", "台", 1, 23000, "0104020101",
         "203.0.113.22"],
    ])
    sheet["J2"].number_format = "@"
    save(book, path)


def office_long_formula(path):
    book = new_workbook()
    sheet = book.active
    sheet.title = "记录"
    record_rows(sheet, [
        ["长文本", "汉" * 9000, "XH-1", "项目A", "2025-01", "厂家A", "台", 2, 10.5, "0001", "203.0.113.30"],
        ["公式", '=A2&"-后缀"', "=H2*I2", "=SUM(H2:H4)", "2025-02", "厂家B", "个", 3, 20, "0002", "203.0.113.30"],
        ["布尔", True, False, "=1+1", "2025-03", "厂家C", "套", 4, 30, "0003", "203.0.113.30"],
        ["超长", "文" * 20000, "X" * 16400, "项目D", "2025-04", "厂家D", "m", 5, 40, "0004", "203.0.113.30"],
    ])
    sheet["J2"].number_format = "@"
    save(book, path)


def manuscript(path):
    book = new_workbook()
    sheet = book.active
    sheet.title = "译稿"
    for row in [["plan.dxf", "2F", "泵房平面图", "Pump house plan"], ["plan.dxf", "30", "说明：", "Notes:"],
                ["plan.dxf", "31", "中文"], ["plan.dxf", "A1", "阀门", "Valve"]]:
        sheet.append(row)
    book.create_sheet("Sheet2")["B3"] = "x"
    save(book, path)


def damaged(sheets):
    """Files that must be refused cleanly: cut short, not a zip at all, malformed XML, a garbled .xls."""
    good = open(os.path.join(sheets, "mis-office.xlsx"), "rb").read()
    with open(os.path.join(sheets, "damaged-truncated.xlsx"), "wb") as out:
        out.write(good[: len(good) // 2])
    with open(os.path.join(sheets, "damaged-notazip.xlsx"), "wb") as out:
        out.write(b"this is not a workbook\n" * 10)
    source = zipfile.ZipFile(io.BytesIO(good))
    with zipfile.ZipFile(os.path.join(sheets, "damaged-badxml.xlsx"), "w", zipfile.ZIP_DEFLATED) as out:
        for info in source.infolist():
            data = source.read(info)
            if info.filename == "xl/worksheets/sheet1.xml":
                data = data[: len(data) // 2]  # ends inside an element
            fixed = zipfile.ZipInfo(info.filename, ZIP_TIME)
            fixed.compress_type = zipfile.ZIP_DEFLATED
            out.writestr(fixed, data)
    # The compound file's header stays; its directory and streams become noise.
    xls = bytearray(open(os.path.join(sheets, "mis-office.xls"), "rb").read())
    noise = random.Random(20261208)
    for i in range(512, 4096):
        xls[i] = noise.randrange(256)
    with open(os.path.join(sheets, "damaged-garbled.xls"), "wb") as out:
        out.write(bytes(xls))


def tables(sheets):
    text = "物料名称,单位\n离心泵,台\n电缆,m\n"
    with open(os.path.join(sheets, "utf8.csv"), "wb") as out:
        out.write(text.encode("utf-8"))
    with open(os.path.join(sheets, "gbk.csv"), "wb") as out:
        out.write(text.encode("gb18030"))


def entry(name, flag_bits=0):
    info = zipfile.ZipInfo(name, ZIP_TIME)
    info.flag_bits |= flag_bits
    return info


class GbkEntry(zipfile.ZipInfo):
    """An entry whose name is stored as GBK bytes without the UTF-8 flag."""

    def __init__(self, name):
        super().__init__(name, ZIP_TIME)

    def _encodeFilenameFlags(self):
        return self.filename.encode("gbk"), self.flag_bits


def archives(folder):
    def write(name, entries, compression=zipfile.ZIP_DEFLATED):
        with zipfile.ZipFile(os.path.join(folder, name), "w", compression) as out:
            for info, data in entries:
                info.compress_type = compression
                out.writestr(info, data)

    # Names as Chinese Windows archivers store them: GBK bytes, no UTF-8 flag.
    write("gbk-names.zip", [(GbkEntry("物料清单.txt"), "离心泵,台\n".encode("gbk")),
                            (GbkEntry("图纸说明.txt"), b"plain ascii body\n")])
    write("utf8-names.zip", [(entry("采购申请单.txt"), "申购\n".encode()), (entry("readme.txt"), b"hello\n")])
    write("hostile-dotdot.zip", [(entry("ok.txt"), b"fine\n"),
                                 (entry("../../escaped.txt"), b"must not be written\n"),
                                 (entry("sub/../../escaped2.txt"), b"must not be written\n")],
          zipfile.ZIP_STORED)
    write("hostile-absolute.zip", [(entry("/tmp/tavlo-absolute-escape.txt"), b"must not be written\n"),
                                   (entry("ok.txt"), b"fine\n")], zipfile.ZIP_STORED)
    # Cut before its central directory ends.
    whole = open(os.path.join(folder, "utf8-names.zip"), "rb").read()
    with open(os.path.join(folder, "damaged-truncated.zip"), "wb") as out:
        out.write(whole[:-30])


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    sheets = os.path.join(root, "sheets")
    folder = os.path.join(root, "zip")
    os.makedirs(sheets, exist_ok=True)
    os.makedirs(folder, exist_ok=True)
    coding_workbook(os.path.join(sheets, "coding-workbook.xlsx"))
    mis_office(os.path.join(sheets, "mis-office.xlsx"))
    office_long_formula(os.path.join(sheets, "office-long-formula.xlsx"))
    manuscript(os.path.join(sheets, "manuscript.xlsx"))
    tables(sheets)
    damaged(sheets)
    archives(folder)
    for sub in (sheets, folder):
        for name in sorted(os.listdir(sub)):
            print(f"{os.path.join(os.path.basename(sub), name):40s} {os.path.getsize(os.path.join(sub, name)):>8,d}")


if __name__ == "__main__":
    main()
