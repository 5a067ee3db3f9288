"""Expected rows of the import (list 20) and delay-import (list 21) lists.

The rows are walked the viewer's way (directory at its fixed header position,
end at Name / DllNameRVA 0, lookup table falling back to the address table,
ordinal flag in the top bit of the entry as stored, ImageBase taken off
address-based delay descriptors) over pefile's RVA translation and raw reads.
The result is then checked against pefile's own import parsing, so that a
slip in this walk cannot pass for agreement."""
import os, struct

# Wine modules that import much, from many libraries, by name and by ordinal.
WINE_MODULES = ['shell32.dll', 'comctl32.dll', 'ole32.dll', 'comdlg32.dll', 'user32.dll', 'notepad.exe']


def linked_modules():
    """The PE32 and PE32+ modules that the build links with imports and delay
    imports (tests/modules/linked); absolute paths."""
    folder = os.environ.get('MODVIEW_LINKED_MODULES', '/nonexistent')
    return [os.path.join(folder, 'linked32.dll'), os.path.join(folder, 'linked64.dll')]


def _is64(pe):
    """The loader's rule: Magic chooses the layout; Machine only when Magic is neither."""
    magic = pe.OPTIONAL_HEADER.Magic
    if magic in (0x10B, 0x20B):
        return magic == 0x20B
    return pe.FILE_HEADER.Machine != 0x014C


def _dword_at_offset(pe, offset):
    return struct.unpack_from('<I', pe.__data__, offset)[0]


def _directory_rva(pe, index):
    """Directories at or past NumberOfRvaAndSizes, or cut by the end of the file, are absent."""
    nt = pe.DOS_HEADER.e_lfanew
    fixed = nt + 24 + (112 if _is64(pe) else 96)
    if index >= _dword_at_offset(pe, fixed - 4) or fixed + 8 * index + 8 > len(pe.__data__):
        return 0
    return _dword_at_offset(pe, fixed + 8 * index)


def _data(pe, rva, size):
    data = pe.get_data(rva, size)
    if len(data) != size:
        raise ValueError('%d bytes at RVA 0x%X run past the end of the file' % (size, rva))
    return data


def _name(pe, rva):
    return pe.get_string_at_rva(rva).decode('latin-1')


def _function_rows(pe, rva, bias):
    width = 8 if _is64(pe) else 4
    flag = 1 << (width * 8 - 1)
    rows = []
    while True:
        entry = struct.unpack('<Q' if width == 8 else '<I', _data(pe, rva, width))[0]
        if entry == 0:
            return rows
        if entry & flag:
            rows.append((0, '%04X' % (entry & 0xFFFF), ''))
        else:
            address = ((entry & 0xFFFFFFFF) - bias) & 0xFFFFFFFF
            hint = struct.unpack('<H', _data(pe, address, 2))[0]
            rows.append((0, '%04X' % hint, _name(pe, address + 2)))
        rva += width


def import_rows(pe):
    rows = []
    rva = _directory_rva(pe, 1)
    while rva:
        lookup, _, _, name, addresses = struct.unpack('<5I', _data(pe, rva, 20))
        if name == 0:
            break
        rows.append((1, '', _name(pe, name)))
        rows += _function_rows(pe, lookup or addresses, 0)
        rva += 20
    _check_against_pefile(rows, getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []))
    return rows


def delay_import_rows(pe):
    rows = []
    rva = _directory_rva(pe, 13)
    nt = pe.DOS_HEADER.e_lfanew
    image_base = _dword_at_offset(pe, nt + 48 if _is64(pe) else nt + 52)   # low 32 bits of ImageBase
    while rva:
        attributes, name, _, _, names = struct.unpack('<5I', _data(pe, rva, 20))
        if name == 0:
            break
        bias = 0 if attributes & 1 else image_base
        rows.append((1, '', _name(pe, (name - bias) & 0xFFFFFFFF)))
        rows += _function_rows(pe, (names - bias) & 0xFFFFFFFF, bias)
        rva += 32
    _check_against_pefile(rows, getattr(pe, 'DIRECTORY_ENTRY_DELAY_IMPORT', []))
    return rows


def _check_against_pefile(rows, entries):
    """pefile's parse gives the same libraries and functions (names for
    by-name entries, ordinals for the others)."""
    theirs = []
    for entry in entries:
        theirs.append((1, '', entry.dll.decode('latin-1')))
        for imp in entry.imports:
            if imp.import_by_ordinal:
                theirs.append((0, '%04X' % (imp.ordinal & 0xFFFF), ''))
            else:
                theirs.append((0, '%04X' % imp.hint, imp.name.decode('latin-1')))
    if rows != theirs:
        first = next((i for i, (a, b) in enumerate(zip(rows, theirs)) if a != b), min(len(rows), len(theirs)))
        raise AssertionError('walk and pefile disagree at row %d: %r / %r (%d and %d rows)'
                             % (first, rows[first] if first < len(rows) else None,
                                theirs[first] if first < len(theirs) else None, len(rows), len(theirs)))
