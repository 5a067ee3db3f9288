"""Version list (25): a language row per language entry of the version
resource, then one row per String, standard keys under their labels.
pefile reads the version data; language names are only checked to be there."""
from language_rows import compare  # noqa: F401 (used by the comparison script)

LIST_ID = 25
MODULES = ['shell32.dll', 'comctl32.dll', 'user32.dll', 'kernel32.dll', 'comdlg32.dll', 'notepad.exe',
           # e_lfarlc 0x60: loadable, so shown.
           'stdole2.tlb', 'lz32.dll', 'light.msstyles']

LABELS = {
    'Comments': '註解', 'CompanyName': '公司', 'FileDescription': '描述',
    'FileVersion': '檔案版本', 'InternalName': '內部名稱', 'LegalCopyright': '著作權',
    'LegalTrademarks': '合法商標', 'OriginalFilename': '原始檔名', 'PrivateBuild': '內部組建描述',
    'ProductName': '產品名稱', 'ProductVersion': '產品版本', 'SpecialBuild': '特殊組建描述',
}


def expected_rows(pe, path):
    rows = []
    resources = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    if resources is None:
        return rows
    version = next((e for e in resources.entries if e.struct.Name == 16), None)
    if version is None:
        return rows
    # pefile parses the languages of the first name entry, one FileInfo each.
    infos = iter(getattr(pe, 'FileInfo', []))
    for name_entry in version.directory.entries:
        for language in name_entry.directory.entries:
            rows.append((1, '語言', None))
            for info in next(infos, []):
                for table in getattr(info, 'StringTable', []):
                    for key, value in table.entries.items():
                        key = key.decode('utf-8')
                        rows.append((0, LABELS.get(key, key), value.decode('utf-8')))
    return rows
