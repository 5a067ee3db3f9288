#!/usr/bin/env python3
"""Opens real modules in modview (through its console companion, modview-cli,
under Wine) and compares its lists row for row with what an independent
parser, python3-pefile, says they must hold. The text output escapes
backslash, tab, CR and LF inside cells, and a lone surrogate as \\uXXXX.

Each expect_<view>.py beside this script provides LIST_ID, MODULES (file names
under the Wine module folder), and expected_rows(pe, path) returning a list of
tuples (marker, cell 0, cell 1, ...); optionally compare(actual, expected)
returning a list of difference texts. Exit status 0 when every list matches."""
import argparse, glob, importlib.util, os, subprocess, sys

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
            result[unescape(line[3:])] = current
        elif line.startswith('-- '):
            rows = current.setdefault(VIEW_LISTS[line[3:]], [])
        elif line and rows is not None:
            cells = [unescape(c) for c in line.split('\t')]
            rows.append(tuple([int(cells[0])] + cells[1:]))
    return {f: result.get(winepath(f), {}) for f in files}


def unescape(cell):
    """Undoes the escapes of backslash, tab, CR, LF and lone surrogates."""
    out, i = [], 0
    while i < len(cell):
        if cell.startswith('\\u', i) and len(cell) >= i + 6:
            out.append(chr(int(cell[i + 2:i + 6], 16)))
            i += 6
        elif cell[i] == '\\' and i + 1 < len(cell):
            out.append({'t': '\t', 'r': '\r', 'n': '\n'}.get(cell[i + 1], cell[i + 1]))
            i += 2
        else:
            out.append(cell[i])
            i += 1
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
            expected = checker.expected_rows(pe, path)
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
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
