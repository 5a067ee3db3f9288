"""String-table list (26): a language row wherever the language changes, then
each non-empty string of each block with its id (the id-0 string as a header
row). pefile reads the directory tree and the data; the counted strings are
decoded here. Language names are only checked to be there."""
from language_rows import compare  # noqa: F401 (used by the comparison script)
import struct

LIST_ID = 26
MODULES = ['shell32.dll', 'comctl32.dll', 'user32.dll', 'kernel32.dll', 'comdlg32.dll', 'notepad.exe',
           # e_lfarlc 0x60: loadable, so shown.
           'tzres.dll', 'shdoclc.dll', 'light.msstyles']


def block_rows(data, first_id):
    rows, i, ident = [], 0, first_id
    while i < len(data):
        if i + 2 > len(data):
            break
        n = struct.unpack_from('<H', data, i)[0]
        i += 2
        if n:
            if i + 2 * n > len(data):
                break
            text = data[i:i + 2 * n].decode('utf-16le', errors='surrogatepass')
            i += 2 * n
            text = (text if n < 1024 else text[:1022]).split('\0')[0]
            rows.append((1, '', text) if ident == 0 else (0, str(ident), text))
        ident = (ident + 1) & 0xFFFFFFFF
    return rows


def expected_rows(pe, path):
    rows = []
    resources = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    if resources is None:
        return rows
    strings = next((e for e in resources.entries if e.struct.Name == 6), None)
    if strings is None:
        return rows
    previous = None
    blocks = strings.directory
    for block in blocks.entries[:blocks.struct.NumberOfIdEntries]:
        languages = block.directory
        for language in languages.entries[:languages.struct.NumberOfIdEntries]:
            if language.struct.Name != previous:
                previous = language.struct.Name
                rows.append((1, '', None))
            entry = language.data.struct
            data = pe.get_data(entry.OffsetToData, entry.Size)
            rows += block_rows(data, ((block.struct.Name - 1) * 16) & 0xFFFFFFFF)
    return rows
