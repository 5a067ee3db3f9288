"""What `modview-cli --json --view debug,load-config,clr` must say of the
fields pefile also reads: the debug entries (with CodeView's GUID, age and
PDB path), the load configuration's fields that its declared size covers,
the TLS callbacks as RVAs and the .NET header's flags."""
import struct

import pefile

VIEWS = 'debug,load-config,clr'
# Our key and pefile's name of the same load configuration field.
LOAD_CONFIG_KEYS = {'size': 'Size', 'time_date_stamp': 'TimeDateStamp', 'security_cookie': 'SecurityCookie',
                    'se_handler_table': 'SEHandlerTable', 'se_handler_count': 'SEHandlerCount',
                    'guard_cf_function_table': 'GuardCFFunctionTable',
                    'guard_cf_function_count': 'GuardCFFunctionCount', 'guard_flags': 'GuardFlags',
                    'dependent_load_flags': 'Reserved1', 'process_heap_flags': 'ProcessHeapFlags'}
DIRECTORIES = ('IMAGE_DIRECTORY_ENTRY_DEBUG', 'IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG', 'IMAGE_DIRECTORY_ENTRY_TLS')


def parse(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[d] for d in DIRECTORIES])
    return pe


def guid(cv):
    tail = bytes([cv.Signature_Data4, cv.Signature_Data5]) + cv.Signature_Data6
    return '%08X-%04X-%04X-%s-%s' % (cv.Signature_Data1, cv.Signature_Data2, cv.Signature_Data3,
                                     tail[:2].hex().upper(), tail[2:].hex().upper())


def debug_entries(pe):
    entries = []
    for e in getattr(pe, 'DIRECTORY_ENTRY_DEBUG', []):
        s = e.struct
        row = {'type_raw': s.Type, 'time_date_stamp': s.TimeDateStamp, 'size': s.SizeOfData,
               'rva': s.AddressOfRawData, 'file_offset': s.PointerToRawData}
        if s.Type == 2 and e.entry is not None and e.entry.CvSignature == b'RSDS':
            row['codeview'] = (guid(e.entry), e.entry.Age, e.entry.PdbFileName.split(b'\0')[0].decode('cp1252'))
        entries.append(row)
    return entries


def tls_callbacks(pe):
    tls = getattr(pe, 'DIRECTORY_ENTRY_TLS', None)
    if tls is None or not tls.struct.AddressOfCallBacks:
        return None
    base, is64 = pe.OPTIONAL_HEADER.ImageBase, pe.PE_TYPE == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS
    rva, found = tls.struct.AddressOfCallBacks - base, []
    while len(found) < 1024:
        va = pe.get_qword_at_rva(rva) if is64 else pe.get_dword_at_rva(rva)
        if not va:
            break
        found.append(va - base)
        rva += 8 if is64 else 4
    return found


def clr_flags(pe):
    """The .NET header's Flags, read through pefile's mapping of RVAs (it
    does not parse that header itself); None when there is none."""
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[14]
    if not directory.VirtualAddress:
        return None
    try:
        header = pe.get_data(directory.VirtualAddress, 20)
    except pefile.PEFormatError:
        return None
    return struct.unpack_from('<I', header, 16)[0] if len(header) == 20 else None


def compare(o, pe):
    """Difference texts between one file's object and pefile; and the number of fields compared."""
    diffs, fields = [], 0
    expected = debug_entries(pe)
    actual = []
    for e in (o.get('debug') or {}).get('entries', []):
        row = {k: e[k] for k in ('type_raw', 'time_date_stamp', 'size', 'rva', 'file_offset')}
        cv = e.get('codeview')
        if cv and cv['format'] == 'RSDS':
            row['codeview'] = (cv['guid'], cv['age'], cv['pdb'])
        actual.append(row)
    if actual != expected:
        diffs.append('debug %r, expected %r' % (actual[:2], expected[:2]))
    fields += sum(len(e) for e in expected)
    config = getattr(pe, 'DIRECTORY_ENTRY_LOAD_CONFIG', None)
    directory = (o.get('load_config') or {}).get('directory') or {}
    if bool(config) != bool(directory):
        diffs.append('load configuration %s, pefile %s' % (bool(directory), bool(config)))
    elif config:
        for ours, theirs in LOAD_CONFIG_KEYS.items():
            if ours in directory and hasattr(config.struct, theirs):
                fields += 1
                if directory[ours] != getattr(config.struct, theirs):
                    diffs.append('load_config %s %r, expected %r' % (ours, directory[ours], getattr(config.struct, theirs)))
    callbacks = tls_callbacks(pe)
    tls = (o.get('load_config') or {}).get('tls')
    listed = tls['callbacks'] if tls and tls['address_of_callbacks'] else None
    if listed != callbacks:
        diffs.append('tls callbacks %r, expected %r' % (listed, callbacks))
    fields += len(callbacks or [])
    flags = clr_flags(pe)
    fields += flags is not None
    if (o.get('clr') or {}).get('flags_raw') != flags:
        diffs.append('clr flags %r, expected %r' % ((o.get('clr') or {}).get('flags_raw'), flags))
    return diffs, fields
