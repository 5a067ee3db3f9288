"""Export list (22) of real modules, computed from pefile's raw export
directory and tables by the viewer's rules: one row per present slot in slot
order, names put on their slot's row (a later name wins), and rows of their
own for names whose ordinal has no present slot."""
LIST_ID = 22
MODULES = ['shell32.dll', 'comctl32.dll', 'kernel32.dll', 'ntdll.dll', 'msvcrt.dll',
           '/usr/i686-w64-mingw32/lib/zlib1.dll',
           # e_lfarlc 0x60: loadable, so shown.
           'usp10.dll', 'wmi.dll']


def number(ordinal):
    return '%04X' % ordinal if ordinal else ''


def expected_rows(pe, path):
    if not hasattr(pe, 'DIRECTORY_ENTRY_EXPORT'):
        return []
    d = pe.DIRECTORY_ENTRY_EXPORT.struct
    if d.NumberOfFunctions == 0:
        return []
    rows, slot_row = [], {}
    for j in range(d.NumberOfFunctions):
        if pe.get_dword_at_rva(d.AddressOfFunctions + 4 * j):
            ordinal = (d.Base + j) & 0xFFFFFFFF
            slot_row[ordinal] = len(rows)
            rows.append([0, number(ordinal), ''])
    for i in range(d.NumberOfNames):
        ordinal = (d.Base + pe.get_word_at_rva(d.AddressOfNameOrdinals + 2 * i)) & 0xFFFFFFFF
        name = pe.get_string_at_rva(pe.get_dword_at_rva(d.AddressOfNames + 4 * i)).decode('cp1252')
        if ordinal in slot_row:
            rows[slot_row[ordinal]][2] = name
        else:
            rows.append([0, number(ordinal), name])
    return [tuple(r) for r in rows]
