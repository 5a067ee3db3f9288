"""Section list (23) of real modules: one row per section header that lies
wholly inside the file, then the totals row; computed from pefile's section
headers by the viewer's rules."""
import os

LIST_ID = 23
MODULES = ['shell32.dll', 'comctl32.dll', 'kernel32.dll', 'ntdll.dll', 'user32.dll',
           # A PE32 module that Debian's Wine packages bring along.
           '/usr/i686-w64-mingw32/lib/zlib1.dll',
           # e_lfarlc 0x60: loadable, so shown.
           'tzres.dll', 'light.msstyles']

LETTERS = [(0x10000000, 's'), (0x20000000, 'x'), (0x40000000, 'r'), (0x80000000, 'w'),
           (0x00000020, 'c'), (0x00000040, 'i'), (0x00000080, 'u')]


def grouped(value):
    return '{:,}'.format(value)


def expected_rows(pe, path):
    size = os.path.getsize(path) & 0xFFFFFFFF
    table = pe.DOS_HEADER.e_lfanew + 24 + pe.FILE_HEADER.SizeOfOptionalHeader
    rows, virtual, raw = [], 0, 0
    for i, section in enumerate(pe.sections[:pe.FILE_HEADER.NumberOfSections]):
        if table + 40 * (i + 1) > size:
            break
        name = section.Name[:8].split(b'\0')[0].decode('cp1252')
        flags = ''.join(letter for bit, letter in LETTERS if section.Characteristics & bit)
        rows.append((0, name, grouped(section.Misc_VirtualSize), grouped(section.SizeOfRawData), flags))
        virtual = (virtual + section.Misc_VirtualSize) & 0xFFFFFFFF
        raw = (raw + section.SizeOfRawData) & 0xFFFFFFFF
    rows.append((1, '合計', grouped(virtual), grouped(raw), ''))
    return rows
