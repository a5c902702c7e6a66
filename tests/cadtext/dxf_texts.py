"""Reads a drawing before and after an edit with ezdxf and compares their group-code pairs.

Usage: dxf_texts.py BEFORE.dxf AFTER.dxf
Prints JSON: for each file the strings of every text, multiline text, attribute and attribute
definition by handle ("before", "after"), the cells and block texts of every table ("tables", after),
and "diffs": every difference between the two files outside the pairs that carry texts.
"""
import json
import sys

import ezdxf

# Pairs that hold strings the text tools may change, by entity type.
TEXT_CODES = {
    'TEXT': {1},
    'MTEXT': {1, 3},
    'ATTRIB': {1, 2, 3},
    'ATTDEF': {1, 2, 3},
    'ACAD_TABLE': {1, 2, 3, 302, 303},
    'TABLECONTENT': {1, 2, 3, 302, 303},
}


def strings(path):
    doc = ezdxf.readfile(path)
    out = {}
    layouts = [doc.modelspace()] + [l for l in doc.layouts if l.name != 'Model']
    spaces = list(layouts) + [b for b in doc.blocks if not b.is_any_layout]
    for space in spaces:
        for e in space:
            entities = [e]
            if e.dxftype() == 'INSERT':
                entities += list(e.attribs)
            for x in entities:
                kind = x.dxftype()
                if kind not in ('TEXT', 'MTEXT', 'ATTRIB', 'ATTDEF'):
                    continue
                item = {'type': kind, 'text': x.text if kind == 'MTEXT' else x.dxf.get('text', '')}
                if kind in ('ATTRIB', 'ATTDEF'):
                    item['tag'] = x.dxf.get('tag', '')
                if kind == 'ATTDEF':
                    item['prompt'] = x.dxf.get('prompt', '')
                if not getattr(space, 'is_any_layout', True):
                    item['block'] = space.name
                out[x.dxf.handle.upper()] = item
    return doc, out


def tables(doc):
    out = {}
    for table in doc.modelspace().query('ACAD_TABLE'):
        cells = [t.value for t in table.xtags.get_subclass('AcDbTable') if t.code == 1]
        name = table.xtags.get_subclass('AcDbBlockReference').get_first_value(2)
        block = [e.text for e in doc.blocks.get(name) if e.dxftype() == 'MTEXT']
        out[table.dxf.handle.upper()] = {'cells': cells, 'block': block}
    return out


def chunks(path):
    with open(path, 'rb') as f:
        lines = f.read().split(b'\n')
    lines = [l[:-1] if l.endswith(b'\r') else l for l in lines]
    result = []
    for i in range(0, len(lines) - 1, 2):
        code = int(lines[i].strip())
        value = lines[i + 1]
        if code == 0:
            result.append([])
        if result:
            result[-1].append((code, value))
    return result


def diffs(before, after):
    a, b = chunks(before), chunks(after)
    out = []
    if len(a) != len(b):
        out.append('chunk count %d -> %d' % (len(a), len(b)))
    for i, (x, y) in enumerate(zip(a, b)):
        kind = x[0][1].strip().decode('latin-1')
        skip = TEXT_CODES.get(kind, set())
        fx = [p for p in x if p[0] not in skip]
        fy = [p for p in y if p[0] not in skip]
        if fx != fy:
            out.append('chunk %d (%s): %r -> %r' % (i, kind, fx[:6], fy[:6]))
        if len(out) > 20:
            break
    return out


def main():
    before, after = sys.argv[1], sys.argv[2]
    _, old = strings(before)
    doc, new = strings(after)
    print(json.dumps({'before': old, 'after': new, 'tables': tables(doc), 'diffs': diffs(before, after)},
                     ensure_ascii=False))


if __name__ == '__main__':
    main()
