"""Header summary (24) of real modules: the value column of the fourteen
rows, from pefile's file and optional headers. The date and time rows depend
on the time zone and the system locale and are left out."""
import os

LIST_ID = 24
MODULES = ['shell32.dll', 'comctl32.dll', 'kernel32.dll', 'ntdll.dll', 'notepad.exe',
           '/usr/i686-w64-mingw32/lib/zlib1.dll',
           # e_lfarlc 0x60: loadable, so shown.
           'tzres.dll']
UNCHECKED_ROWS = (2, 3)


def expected_rows(pe, path):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    values = [
        '動態連結檔' if fh.Characteristics & 0x2000 else '執行檔 ',
        '視窗程式' if oh.Subsystem == 2 else '文字程式',
        None, None,
        '{:,}'.format(os.path.getsize(path) & 0xFFFFFFFF),
        '0x%08X' % oh.ImageBase,
        '0x%X' % oh.SectionAlignment,
        '0x%X' % oh.FileAlignment,
        '%u.%u' % (oh.MajorOperatingSystemVersion, oh.MinorOperatingSystemVersion),
        '%u.%u' % (oh.MajorImageVersion, oh.MinorImageVersion),
        '%u.%u' % (oh.MajorSubsystemVersion, oh.MinorSubsystemVersion),
        '%u.%u' % (oh.MajorLinkerVersion, oh.MinorLinkerVersion),
        '0x%X / 0x%X' % (oh.SizeOfStackReserve, oh.SizeOfStackCommit),
        '0x%X / 0x%X' % (oh.SizeOfHeapReserve, oh.SizeOfHeapCommit),
    ]
    return [(0, None, v) for v in values]


def compare(actual, expected):
    """Compares the value column; the labels belong to the dialog."""
    diffs = []
    if len(actual) != len(expected):
        diffs.append('row count %d, expected %d' % (len(actual), len(expected)))
    for i, (a, e) in enumerate(zip(actual, expected)):
        if a[0] != 0:
            diffs.append('row %d: marker %r' % (i, a[0]))
        if i not in UNCHECKED_ROWS and (len(a) < 3 or a[2] != e[2]):
            diffs.append('row %d: %r, expected %r' % (i, a[2:], e[2]))
    return diffs
