#!/usr/bin/env python3
"""Opens real modules in modview (through its console companion, modview-cli,
under Wine) and compares its lists row for row with what an independent
parser, python3-pefile, says they must hold. The text output writes cells
as they are but for tab, CR and LF (\\t, \\r, \\n), other control characters
and a lone surrogate (\\uXXXX): the expected cells are written the same way.

Then the typed fields of `modview-cli --json` that pefile also reads, over
every Wine module: machine, characteristics, entry point, image base,
checksum (stored, and computed against pefile's), each section's raw fields,
and each export's address and forwarder; and the release-check views' fields
(release_fields.py) over those modules, the linked ones and the build's own
programs.

Each expect_<view>.py beside this script provides LIST_ID, MODULES (file names
under the Wine module folder), and expected_rows(pe, path) returning a list of
tuples (marker, cell 0, cell 1, ...); optionally compare(actual, expected)
returning a list of difference texts. Exit status 0 when every list matches."""
import argparse, glob, importlib.util, json, os, subprocess, sys

WINE_MODULES = '/usr/lib/x86_64-linux-gnu/wine/x86_64-windows'


def load_checkers(folder):
    checkers = []
    for path in sorted(glob.glob(os.path.join(folder, 'expect_*.py'))):
        loader_info = importlib.util.spec_from_file_location(os.path.basename(path)[:-3], path)
        module = importlib.util.module_from_spec(loader_info)
        loader_info.loader.exec_module(module)
        checkers.append(module)
    return checkers


# The list of each view, by the name the text output gives it.
VIEW_LISTS = {'imports': 20, 'delay-imports': 21, 'exports': 22, 'sections': 23,
              'summary': 24, 'version': 25, 'strings': 26}


def dump(wine, tool, files):
    """Returns {file: {list id: [tuple of cells with marker first]}}."""
    out = subprocess.run([wine, tool] + [winepath(f) for f in files], capture_output=True, timeout=600)
    if out.returncode != 0:
        raise SystemExit('modview-cli failed: %s' % out.stderr.decode(errors='replace'))
    result, current, rows = {}, None, None
    for line in out.stdout.decode('utf-8').split('\n'):
        if line.startswith('== '):
            current = {}
            result[line[3:]] = current
        elif line.startswith('-- '):
            rows = current.setdefault(VIEW_LISTS[line[3:]], [])
        elif line and rows is not None:
            cells = line.split('\t')
            rows.append(tuple([int(cells[0])] + cells[1:]))
    return {f: result.get(winepath(f), {}) for f in files}


def escape(cell):
    """A cell as the text output writes it."""
    out = []
    for c in cell:
        if c in '\t\r\n':
            out.append({'\t': '\\t', '\r': '\\r', '\n': '\\n'}[c])
        elif ord(c) < 0x20 or 0xD800 <= ord(c) <= 0xDFFF:
            out.append('\\u%04X' % ord(c))
        else:
            out.append(c)
    return ''.join(out)


def winepath(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def default_compare(actual, expected):
    diffs = []
    if len(actual) != len(expected):
        diffs.append('row count %d, expected %d' % (len(actual), len(expected)))
    for i, (a, e) in enumerate(zip(actual, expected)):
        if tuple(a) != tuple(e):
            diffs.append('row %d: %r, expected %r' % (i, a, e))
            if len(diffs) > 10:
                break
    return diffs


def dump_json(wine, tool, files, views):
    """{file: object} of --json over `views`."""
    out = subprocess.run([wine, tool, '--json', '--view', views] +
                         [winepath(f) for f in files], capture_output=True, timeout=600)
    if out.returncode not in (0, 1):
        raise SystemExit('modview-cli --json failed: %s' % out.stderr.decode(errors='replace'))
    return dict(zip(files, json.loads(out.stdout.decode('utf-8'))['files']))


def typed_fields(pe):
    """What --json must say of the fields pefile reads, in its shape."""
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    headers = {'machine_raw': fh.Machine, 'characteristics_raw': fh.Characteristics,
               'entry_point': oh.AddressOfEntryPoint, 'image_base': oh.ImageBase, 'checksum': oh.CheckSum,
               'checksum_computed': pe.generate_checksum()}
    sections = [{'name': s.Name.split(b'\0')[0].decode('cp1252'), 'virtual_address': s.VirtualAddress,
                 'virtual_size': s.Misc_VirtualSize, 'raw_offset': s.PointerToRawData,
                 'raw_size': s.SizeOfRawData, 'characteristics_raw': s.Characteristics} for s in pe.sections]
    exports = set()
    if hasattr(pe, 'DIRECTORY_ENTRY_EXPORT'):
        for e in pe.DIRECTORY_ENTRY_EXPORT.symbols:
            if e.address:
                exports.add((e.ordinal, e.address, e.forwarder.decode('cp1252') if e.forwarder else None))
    return headers, sections, exports


def compare_files(args, files, views, parse, compare, label):
    """Each file's --json object of `views` against what pefile reads of it:
    parse(path) gives pefile's object (PEFormatError: skipped), compare(o, pe)
    the difference texts and the fields compared. Returns (agreeing,
    compared, fields compared)."""
    import pefile
    agreed = compared = fields = 0
    for start in range(0, len(files), 100):
        for path, o in dump_json(args.wine, args.cli, files[start:start + 100], views).items():
            if 'error' in o:
                continue
            try:
                pe = parse(path)
            except pefile.PEFormatError:
                continue
            diffs, counted = compare(o, pe)
            compared += 1
            fields += counted
            if diffs:
                print('FAIL %s %s:' % (label, os.path.basename(path)))
                for d in diffs[:6]:
                    print('   ', d)
            else:
                agreed += 1
    return agreed, compared, fields


def parse_exports(path):
    import pefile
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_EXPORT']])
    return pe


def typed_differences(o, pe):
    headers, sections, exports = typed_fields(pe)
    diffs = ['%s %r, expected %r' % (k, o['headers'].get(k), v) for k, v in headers.items()
             if o['headers'].get(k) != v]
    actual = [{k: s[k] for k in sections[0]} for s in o['sections']] if sections else o['sections']
    if actual != sections:
        diffs.append('sections %r, expected %r' % (actual[:3], sections[:3]))
    listed = {(e['ordinal'], e['rva'], e['forwarder']) for e in o['exports'] if e['rva'] is not None}
    if listed != exports:
        diffs.append('exports: %r more, %r fewer' % (sorted(listed - exports)[:3], sorted(exports - listed)[:3]))
    return diffs, len(headers) + len(sections) * len(SECTION_KEYS) + 2 * len(exports)


def wine_modules():
    return sorted(f for f in glob.glob(os.path.join(WINE_MODULES, '*')) if os.path.isfile(f))


def compare_release(args):
    """The release-check views against pefile over every Wine module, the
    linked modules and the build's own programs."""
    import release_fields
    files = wine_modules()
    files += sorted(glob.glob(os.path.join(os.environ.get('MODVIEW_LINKED_MODULES', '/nonexistent'), '*.dll')))
    files += sorted(glob.glob(os.path.join(os.path.dirname(os.path.abspath(args.cli)), '*.exe')))
    return compare_files(args, files, release_fields.VIEWS, release_fields.parse, release_fields.compare,
                         'release fields')


SECTION_KEYS = ('name', 'virtual_address', 'virtual_size', 'raw_offset', 'raw_size', 'characteristics_raw')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True, help='path of modview-cli.exe')
    parser.add_argument('--wine', default='wine', help='command that runs a Windows program')
    args = parser.parse_args()
    import pefile

    checkers = load_checkers(os.path.dirname(os.path.abspath(__file__)))
    files = sorted({os.path.join(WINE_MODULES, m) for c in checkers for m in c.MODULES})
    files = [f for f in files if os.path.exists(f)]
    lists = dump(args.wine, args.cli, files)
    failed = checked = 0
    for checker in checkers:
        for name in checker.MODULES:
            path = os.path.join(WINE_MODULES, name)
            if not os.path.exists(path):
                print('SKIP %s: %s not found' % (checker.__name__, name))
                continue
            pe = pefile.PE(path)
            expected = [tuple([row[0]] + [escape(c) if isinstance(c, str) else c for c in row[1:]])
                        for row in checker.expected_rows(pe, path)]
            actual = lists[path].get(checker.LIST_ID, [])
            compare = getattr(checker, 'compare', default_compare)
            diffs = compare(actual, expected)
            checked += 1
            if diffs:
                failed += 1
                print('FAIL %s %s (list %d, %d rows):' % (checker.__name__, name, checker.LIST_ID, len(actual)))
                for d in diffs[:12]:
                    print('   ', d)
            else:
                print('ok   %s %s (list %d, %d rows)' % (checker.__name__, name, checker.LIST_ID, len(actual)))
    print('%d passed, %d failed' % (checked - failed, failed))
    agreed, compared, fields = compare_files(args, wine_modules(), 'summary,sections,exports', parse_exports,
                                             typed_differences, 'typed fields')
    print('typed JSON fields: %d of %d modules agree with pefile (%d fields)' % (agreed, compared, fields))
    release_agreed, release_compared, release_fields = compare_release(args)
    print('release-check fields: %d of %d files agree with pefile (%d fields)'
          % (release_agreed, release_compared, release_fields))
    return 1 if (failed or agreed != compared or compared == 0 or release_agreed != release_compared
                 or release_fields == 0) else 0


if __name__ == '__main__':
    sys.exit(main())
