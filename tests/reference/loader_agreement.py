#!/usr/bin/env python3
"""Checks modview-cli --deps against the system loader (Wine's): every PE
module of a folder is loaded by load_check in a process of its own, and the
loader's verdict and the modules it brought in are compared with what
--deps --json predicts for the same file. (An EXE's imports are bound only
when a process starts with it: load_check starts it and stops it before its
entry point.)

Wine never fails a load for a missing function: it binds a stub and says so
on its module channel ("No implementation for ..."), so those messages stand
for the loader's ERROR_PROC_NOT_FOUND.

Without --strict this only reports; with it, a verdict disagreement or a
library predicted at start that the loader did not load fails the run."""
import argparse, collections, glob, json, os, re, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from windowless_wine import start_prefix, stop_prefix, windowless_env, winepath

ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND, ERROR_DLL_INIT_FAILED = 126, 127, 1114

STUB = re.compile(r'No implementation for (.+)\.([^.]+) imported from L"(.*)", setting')
NOT_FOUND = re.compile(r'Library (\S+) \(which is needed by L"(.*)"\) not found')


def base_name(path):
    return path.replace('/', '\\').rsplit('\\', 1)[-1].lower()


def is_pe(path):
    try:
        with open(path, 'rb') as f:
            head = f.read(4096)
    except OSError:
        return False
    if len(head) < 64 or head[:2] != b'MZ':
        return False
    at = int.from_bytes(head[60:64], 'little')
    return head[at:at + 4] == b'PE\0\0' if at + 4 <= len(head) else False


def run_loader(args, path):
    """Loads one module; returns {'verdict', 'error', 'new', 'before',
    'stubs', 'absent'}. Output goes to files, not pipes: a process a DllMain
    started could hold a pipe open after a timeout."""
    env = windowless_env(args)
    # The loader's own module messages; mscoree and mshtml load as usual
    # (wine-run.sh otherwise disables them).
    env['WINEDEBUG'] = '-all,err+module,warn+module'
    env['WINEDLLOVERRIDES'] = 'mscoree,mshtml=b'
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            subprocess.run([args.wine, args.load_check, winepath(path)], stdin=subprocess.DEVNULL,
                           stdout=out, stderr=err, env=env, timeout=args.timeout)
            timed_out = False
        except subprocess.TimeoutExpired:
            timed_out = True
        out.seek(0)
        err.seek(0)
        return parse_loader(out.read().decode('utf-8', 'replace'), err.read().decode('utf-8', 'replace'), timed_out)


def parse_loader(out, err, timed_out=False):
    """load_check's output and Wine's module messages, as run_loader returns them."""
    lines = out.splitlines()
    result = {'new': set(), 'before': set(), 'stubs': set(), 'absent': set(), 'error': None}
    for line in lines[1:]:
        kind, _, path = line.partition(' ')
        if kind in ('module', 'before'):
            result['new' if kind == 'module' else 'before'].add(base_name(path))
    for m in STUB.finditer(err):
        function = m.group(2)
        result['stubs'].add((m.group(1).lower(), '#' + function if function.isdigit() else function,
                             base_name(m.group(3))))
    for m in NOT_FOUND.finditer(err):
        result['absent'].add(m.group(1).lower())
    first = lines[0] if lines else ''
    if first.startswith('error '):
        result['error'] = int(first.split()[1])
    if not lines or not (first == 'loaded' or result['error'] is not None):
        verdict = 'timeout' if timed_out else 'no answer'
    elif result['error'] == ERROR_MOD_NOT_FOUND:
        verdict = 'library missing'
    elif result['stubs'] or result['error'] == ERROR_PROC_NOT_FOUND:
        verdict = 'function missing'
    elif result['error'] in (None, ERROR_DLL_INIT_FAILED):
        # A module whose initialisation failed had every import bound first.
        verdict = 'ok'
    else:
        verdict = 'error %d' % result['error']
    result['verdict'] = verdict
    return result


def run_deps(args, batch):
    """modview-cli --deps --json over a batch: ({path: object}, None or what
    is wrong with the answer as a whole, its exit status included)."""
    out = subprocess.run([args.wine, args.cli, '--deps', '--json'] + [winepath(f) for f in batch],
                         stdin=subprocess.DEVNULL, capture_output=True, timeout=900, env=windowless_env(args))
    try:
        document = json.loads(out.stdout.decode('utf-8'))['files']
    except (ValueError, KeyError, TypeError) as e:
        return {}, 'JSON does not parse (%s), exit %d: %s' % (e, out.returncode, out.stderr.decode(errors='replace')[:300])
    if len(document) != len(batch):
        return {}, '%d objects for %d files, exit %d' % (len(document), len(batch), out.returncode)
    objects = dict(zip(batch, document))
    for f, o in objects.items():
        if 'missing_at_start' in o and o['missing_at_start'] != (prediction(o)['verdict'] != 'ok'):
            return objects, '%s: "missing_at_start" is %s against its own lists' % (
                os.path.basename(f), o['missing_at_start'])
    wanted = 1 if any('error' in o for o in document) else \
        3 if any(prediction(o)['verdict'] != 'ok' for o in document) else 0
    if out.returncode != wanted:
        return objects, 'exit %d, but the objects call for %d' % (out.returncode, wanted)
    return objects, None


def prediction(obj):
    """What --deps says the loader will do at start: {'verdict', 'libraries'
    (base names of found paths), 'absent', 'missing'}."""
    if 'error' in obj:
        return {'verdict': 'unreadable: ' + obj['error'], 'libraries': set(), 'absent': set(), 'missing': set()}
    start = [lib for lib in obj['libraries'] if not lib.get('delay')]
    at_start = {lib['name'].lower() for lib in start} | {base_name(obj['file'])}
    absent = {lib['name'].lower() for lib in start if lib['path'] is None}
    missing = set()
    for lib in start:
        for f in lib.get('missing_functions', []):
            if f['imported_by'].lower() in at_start:
                missing.add((lib['name'].lower(), f['name'] if f['name'] is not None else '#%d' % f['ordinal']))
    verdict = 'library missing' if absent else 'function missing' if missing else 'ok'
    return {'verdict': verdict, 'absent': absent, 'missing': missing,
            'libraries': {base_name(lib['path']) for lib in start if lib['path']}}


def compare(name, loaded, obj):
    """One module: {'verdict': None or a disagreement text, 'unloaded',
    'extra': sets of base names, or None when the sets were not compared,
    'other': a loader outcome that says nothing of imports}."""
    result = {'verdict': None, 'unloaded': None, 'extra': None, 'other': None}
    if loaded['verdict'] in ('timeout', 'no answer') or loaded['verdict'].startswith('error '):
        result['other'] = loaded['verdict']
        return result
    if obj is None:
        result['verdict'] = 'no object from modview-cli'
        return result
    predicted = prediction(obj)
    # Stubs bound in libraries that a DllMain loaded later are no part of the start.
    closure = {lib['name'].lower() for lib in obj.get('libraries', [])} | \
        {base_name(lib['path']) for lib in obj.get('libraries', []) if lib['path']} | {base_name(name)}
    stubs = {(lib, function) for lib, function, importer in loaded['stubs'] if importer in closure}
    if loaded['verdict'] == 'function missing' and not stubs and loaded['error'] != ERROR_PROC_NOT_FOUND:
        loaded = dict(loaded, verdict='ok')
    if predicted['verdict'] != loaded['verdict']:
        text = 'loader: %s, modview-cli: %s' % (loaded['verdict'], predicted['verdict'])
        for label, what in (('libraries', predicted['absent'] ^ loaded['absent']),
                            ('functions', predicted['missing'] ^ stubs)):
            if what:
                text += '; %s missing for one side: %s' % (label, ', '.join(sorted(map(str, what))))
        result['verdict'] = text
    elif loaded['absent'] - predicted['absent'] or stubs - predicted['missing']:
        # The loader stops at its first missing library, so it may name fewer.
        result['verdict'] = 'both %s, but only the loader misses %s' % (
            loaded['verdict'], ', '.join(sorted(map(str, (loaded['absent'] - predicted['absent']) |
                                                     (stubs - predicted['missing'])))))
    if loaded['error'] is None:
        me = base_name(name)
        result['unloaded'] = predicted['libraries'] - loaded['new'] - loaded['before'] - {me}
        result['extra'] = loaded['new'] - predicted['libraries'] - {me}
    if loaded['error'] == ERROR_DLL_INIT_FAILED:
        result['other'] = 'initialisation failed (error 1114)'
    return result


def report(results, deps_failures, strict):
    """Prints the summary; returns the number of failures that count."""
    verdicts = [(n, r) for n, r in results if r['other'] is None or r['other'].startswith('init')]
    disagree = [(n, r['verdict']) for n, r in verdicts if r['verdict']]
    sets = [(n, r) for n, r in results if r['unloaded'] is not None]
    unloaded = [(n, r['unloaded']) for n, r in sets if r['unloaded']]
    equal = sum(1 for _, r in sets if not r['unloaded'] and not r['extra'])
    print('modules compared: %d' % len(results))
    print('verdicts agreeing: %d of %d' % (len(verdicts) - len(disagree), len(verdicts)))
    print('module sets agreeing: %d of %d loaded (%d with every predicted library loaded)' %
          (equal, len(sets), len(sets) - len(unloaded)))
    for text in deps_failures:
        print('FAIL modview-cli: %s' % text)
    for n, text in disagree:
        print('DISAGREE verdict %s: %s' % (n, text))
    for n, names in unloaded:
        print('DISAGREE predicted but not loaded %s: %s' % (n, ', '.join(sorted(names))))
    for n, r in results:
        if r['other']:
            print('note %s: %s' % (n, r['other']))
    extra = collections.Counter()
    examples = collections.defaultdict(list)
    for n, r in sets:
        for lib in r['extra'] or ():
            extra[lib] += 1
            examples[lib].append(n)
    print('loaded but not predicted (at run time by a DllMain, or Wine\'s own): %d modules, %d libraries' %
          (sum(1 for _, r in sets if r['extra']), len(extra)))
    for lib, count in extra.most_common(25):
        print('  %-28s %4d  e.g. %s' % (lib, count, ', '.join(examples[lib][:3])))
    failures = len(disagree) + len(unloaded) + len(deps_failures)
    print('%s: %d disagreements%s' % ('FAIL' if strict and failures else 'done', failures,
                                      '' if strict else ' (reported only; --strict makes them fail)'))
    return failures if strict else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True, help='path of modview-cli.exe')
    parser.add_argument('--load-check', required=True, help='path of load_check.exe')
    parser.add_argument('--wine', default='wine', help='command that runs a Windows program')
    parser.add_argument('--modules', default='/usr/lib/x86_64-linux-gnu/wine/x86_64-windows',
                        help='the folder whose PE modules are compared')
    parser.add_argument('--prefix', required=True, help='the Wine prefix of these runs, made without a display')
    parser.add_argument('--make-prefix', required=True, help='the script that makes a Wine prefix')
    parser.add_argument('--timeout', type=float, default=20, help='seconds for one load')
    parser.add_argument('--batch', type=int, default=100, help='files per modview-cli process')
    parser.add_argument('--strict', action='store_true', help='disagreements fail the run')
    parser.add_argument('names', nargs='*', help='only these modules of the folder')
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    files = sorted(f for f in glob.glob(os.path.join(args.modules, '*'))
                   if os.path.isfile(f) and is_pe(f) and (not args.names or os.path.basename(f) in args.names))
    start_prefix(args)
    try:
        objects, deps_failures = {}, []
        for start in range(0, len(files), args.batch):
            batch = files[start:start + args.batch]
            found, failure = run_deps(args, batch)
            objects.update(found)
            if failure:
                deps_failures.append('%s...: %s' % (os.path.basename(batch[0]), failure))
        results = [(os.path.basename(f), compare(f, run_loader(args, f), objects.get(f))) for f in files]
    finally:
        stop_prefix(args)
    return 1 if report(results, deps_failures, args.strict) else 0


if __name__ == '__main__':
    sys.exit(main())
