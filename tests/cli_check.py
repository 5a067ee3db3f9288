#!/usr/bin/env python3
"""Checks modview-cli from outside, as a script would use it: exit codes and
messages for a table of command lines, long cells printed whole, and JSON
that Python's json module reads for every Wine module and every file the test
suite wrote (the hostile catalogue among them). Every run is without a
display, in a Wine prefix of its own that never had one, as on a build
machine. Exit status 0 when everything holds."""
import argparse, glob, json, os, shutil, subprocess, sys
from windowless_wine import start_prefix, stop_prefix, windowless_env, winepath

WINE_MODULES = '/usr/lib/x86_64-linux-gnu/wine/x86_64-windows'
MODULE = os.path.join(WINE_MODULES, 'version.dll')
RELEASE_VIEWS = 'debug,load-config,hardening,signature,clr,manifest'


def run(args, cli, files_args):
    out = subprocess.run([args.wine, cli] + files_args, capture_output=True, timeout=600, env=windowless_env(args))
    return out.returncode, out.stdout.decode('utf-8'), out.stderr.decode('utf-8', errors='replace')


def make_files(scratch):
    """A 100-byte file, a module whose first import names a library that is
    nowhere, a module under a path longer than 260 characters, and one under
    a name that no ANSI code page holds."""
    import pefile
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    small = os.path.join(scratch, 'small.dll')
    with open(small, 'wb') as f:
        f.write(b'MZ' + bytes(98))
    pe = pefile.PE(MODULE, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_IMPORT']])
    first = pe.DIRECTORY_ENTRY_IMPORT[0]
    data = bytearray(open(MODULE, 'rb').read())
    at = pe.get_offset_from_rva(first.struct.Name)
    data[at:at + len(first.dll)] = b'nowhere.dll'.ljust(len(first.dll), b'\0')
    missing = os.path.join(scratch, 'imports-nowhere.dll')
    open(missing, 'wb').write(bytes(data))
    deep = scratch
    while len(winepath(deep)) < 270:
        deep = os.path.join(deep, 'd' * 40)
    os.makedirs(deep)
    long_path = os.path.join(deep, 'version.dll')
    shutil.copy(MODULE, long_path)
    unicode = os.path.join(scratch, '模組-ф-\U0001F600.dll')
    shutil.copy(MODULE, unicode)
    return small, missing, long_path, unicode


def check_table(args, small, missing, long_path, unicode):
    absent = os.path.join(args.scratch, 'absent.dll')
    usage = 'Usage: modview-cli'
    # arguments, exit status, what standard error holds ('' for nothing)
    table = [
        ([], 2, 'no file named'),
        (['--frobnicate', MODULE], 2, 'unknown option'),
        (['--view', 'imports,nonsense', MODULE], 2, 'unknown view'),
        ([absent], 1, 'absent.dll: cannot open'),
        ([small], 1, 'small.dll: not a PE image'),
        ([long_path], 1, 'path too long'),
        ([MODULE], 0, ''),
        (['--resolve', MODULE], 0, ''),
        (['--resolve', '--json', missing], 3, ''),
        (['--json', absent, MODULE], 1, 'cannot open'),
        (['--json', '--view', 'summary', unicode], 0, ''),
        (['--deps', MODULE], 0, ''),
        (['--missing', missing], 3, ''),
        (['--path'], 2, 'names no folder'),
        (['--help'], 0, ''),
        (['--require', 'nx-compat', MODULE], 0, ''),
        (['--require', 'signed,nx-compat', MODULE], 5, ''),
        (['--require', 'nx-compat,frobnicate', MODULE], 2, 'unknown mitigation'),
        (['--require', 'cfg', '--deps', MODULE], 2, 'one at a time'),
        (['--view', 'debug', '--require', 'cfg', MODULE], 2, 'without --view'),
    ]
    failures = 0
    for arguments, status, error in table:
        files_args = [winepath(a) if a.startswith('/') else a for a in arguments]
        code, out, err = run(args, args.cli, files_args)
        problems = []
        if code != status:
            problems.append('exit %d, expected %d' % (code, status))
        if error and error not in err:
            problems.append('stderr lacks %r: %r' % (error, err[:200]))
        if not error and err:
            problems.append('stderr not empty: %r' % err[:200])
        if status == 2 and usage not in err:
            problems.append('no usage text on stderr')
        if '--json' in arguments:
            try:
                document = json.loads(out)['files']
                if len(document) != len([a for a in arguments if a.startswith('/')]):
                    problems.append('%d objects' % len(document))
                if status == 3:
                    paths = [lib['path'] for lib in document[0]['imports']]
                    if paths[0] is not None or None in paths[1:]:
                        problems.append('resolved paths %r' % paths)
                if status == 1 and 'error' not in document[0]:
                    problems.append('the missing file\'s object says nothing of it')
                if document[-1]['file'] != winepath(arguments[-1]):
                    problems.append('file %r' % document[-1]['file'])
            except (ValueError, KeyError, IndexError, TypeError) as e:
                problems.append('JSON: %s' % e)
        print('%s %s' % ('FAIL' if problems else 'ok  ', ' '.join(arguments) or '(no arguments)'))
        for p in problems:
            print('    ' + p)
        failures += bool(problems)
    return failures


def check_signature(args):
    """A file the suite wrote, signed by osslsigncode with a certificate made
    here by openssl: the signature view names the signer, and the digest the
    project computes is the one signed and the one osslsigncode computes;
    one byte flipped inside the signed range and it no longer matches."""
    folders = suite_folders(args)
    source = os.path.join(folders[0], 'closure', 'app.exe') if folders else ''
    if not os.path.isfile(source):
        print('FAIL closure/app.exe not written by the suite: run modview_tests first')
        return 1
    work = os.path.join(args.scratch, 'signed')
    os.makedirs(work, exist_ok=True)
    key, cert, signed = (os.path.join(work, n) for n in ('key.pem', 'cert.pem', 'signed.exe'))
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', key, '-out', cert,
                    '-days', '2', '-subj', '/CN=modview test signer/O=modview'], check=True, capture_output=True)
    subprocess.run(['osslsigncode', 'sign', '-certs', cert, '-key', key, '-h', 'sha256', '-in', source,
                    '-out', signed], check=True, capture_output=True)
    verify = subprocess.run(['osslsigncode', 'verify', '-in', signed], capture_output=True).stdout.decode()
    calculated = [line.split(':')[1].strip().lower() for line in verify.splitlines()
                  if line.startswith('Calculated message digest')]
    flipped = os.path.join(work, 'flipped.exe')
    data = bytearray(open(signed, 'rb').read())
    data[0x400] ^= 0xFF   # the first section's first byte
    open(flipped, 'wb').write(bytes(data))
    problems = []
    code, out, err = run(args, args.cli, ['--json', '--view', 'signature', winepath(signed), winepath(flipped)])
    try:
        documents = json.loads(out)['files']
        first, second = (d['signature']['certificates'][0]['authenticode'] for d in documents)
        if 'CN=modview test signer' not in first['subject'] or first['digest_algorithm'] != 'sha256':
            problems.append('signer %r, digest %r' % (first['subject'], first['digest_algorithm']))
        if not first['digest_matches'] or first['file_digest'] != first['signed_digest']:
            problems.append('the signed file does not match: %r' % first)
        if [first['file_digest']] != calculated:
            problems.append('digest %s, osslsigncode %r' % (first['file_digest'], calculated))
        if second['digest_matches'] or second['signed_digest'] != first['signed_digest']:
            problems.append('the flipped byte still matches: %r' % second)
    except (ValueError, KeyError, IndexError, TypeError) as e:
        problems.append('JSON: %s (exit %d, %r)' % (e, code, err[:200]))
    code, out, err = run(args, args.cli, ['--require', 'signed', winepath(signed)])
    if code != 0:
        problems.append('--require signed: exit %d' % code)
    print('%s a signed file\'s signer and digest, and one byte flipped' % ('FAIL' if problems else 'ok  '))
    for p in problems:
        print('    ' + p)
    return bool(problems)


def suite_folders(args):
    return glob.glob(os.path.join(args.suite_prefix, 'drive_c/users/*/Temp/modview-tests'))


def check_long_cells(args):
    """A string of 4,096 units and a version value of 32,600 (the viewer
    shows the string cut) come out whole in text and in JSON."""
    files = [os.path.join(f, 'long-cells.dll') for f in suite_folders(args)]
    if not files or not os.path.isfile(files[0]):
        print('FAIL long-cells.dll not written by the suite: run modview_tests first')
        return 1
    path = [winepath(files[0])]
    problems = []
    code, text, err = run(args, args.cli, ['--view', 'version,strings'] + path)
    lengths = sorted(len(line.split('\t')[2]) for line in text.splitlines() if line.startswith('0\t'))
    if code != 0 or lengths != [4096, 32600]:
        problems.append('text: exit %d, value lengths %r' % (code, lengths))
    code, out, err = run(args, args.cli, ['--json', '--view', 'version,strings'] + path)
    try:
        document = json.loads(out)['files'][0]
        lengths = [len(document['version'][0]['strings'][0]['value']), len(document['strings'][0]['strings'][0]['text'])]
    except (ValueError, KeyError, IndexError, TypeError) as e:
        lengths = str(e)
    if code != 0 or lengths != [32600, 4096]:
        problems.append('JSON: exit %d, value lengths %r' % (code, lengths))
    print('%s long cells whole' % ('FAIL' if problems else 'ok  '))
    for p in problems:
        print('    ' + p)
    return bool(problems)


def english_companion(args):
    """A copy of the companion in a folder of its own with the English module
    beside it, as <executable>.mui."""
    folder = os.path.join(args.scratch, 'english')
    os.makedirs(folder, exist_ok=True)
    cli = os.path.join(folder, 'modview-cli.exe')
    shutil.copy(args.cli, cli)
    shutil.copy(os.path.join(os.path.dirname(os.path.abspath(args.cli)), 'lang', 'en', 'modview.exe.mui'),
                cli + '.mui')
    return cli


def check_json(args):
    """Every file through --json, in batches of a hundred per process, once by
    the companion in its own language and once with the English module beside
    it: the documents parse and are the same bytes; and through the
    release-check views, whose documents parse too."""
    files = sorted(glob.glob(os.path.join(WINE_MODULES, '*')))
    written = suite_folders(args)
    for folder in written:
        files += sorted(p for p in glob.glob(os.path.join(folder, '**'), recursive=True) if os.path.isfile(p))
    english = english_companion(args)
    failures = objects = 0
    # The module is in effect: the text, which is the viewer's, changes.
    if run(args, args.cli, ['--view', 'summary', MODULE])[1] == run(args, english, ['--view', 'summary', MODULE])[1]:
        failures += 1
        print('FAIL the English module beside the copy changes no text')
    for start in range(0, len(files), 100):
        batch = files[start:start + 100]
        code, out, err = run(args, args.cli, ['--json'] + [winepath(f) for f in batch])
        try:
            document = json.loads(out)
            if document.get('format') != 1:
                raise ValueError('format %r' % document.get('format'))
            objects += len(document['files'])
            if len(document['files']) != len(batch) or code not in (0, 1):
                raise ValueError('%d objects for %d files, exit %d' % (len(document['files']), len(batch), code))
            release_code, release, err = run(args, args.cli, ['--json', '--view', RELEASE_VIEWS] +
                                             [winepath(f) for f in batch])
            released = len(json.loads(release)['files'])
            if released != len(batch) or release_code not in (0, 1):
                raise ValueError('the release-check views: %d objects, exit %d' % (released, release_code))
            other_code, other, err = run(args, english, ['--json'] + [winepath(f) for f in batch])
            if other != out or other_code != code:
                raise ValueError('the English module changes the document (exit %d, %d against %d bytes)'
                                 % (other_code, len(other), len(out)))
        except (ValueError, KeyError, TypeError, AttributeError) as e:
            failures += 1
            print('FAIL --json on %s...: %s' % (batch[0], e))
    print('%s JSON of %d files (%d of them written by the suite), the same with the English module' %
          ('FAIL' if failures else 'ok  ', objects, objects - len(glob.glob(os.path.join(WINE_MODULES, '*')))))
    if not written:
        print('FAIL no files written by the suite: run modview_tests first')
        failures += 1
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--cli', required=True, help='path of modview-cli.exe')
    parser.add_argument('--wine', default='wine', help='command that runs a Windows program')
    parser.add_argument('--scratch', required=True, help='a folder this script may empty and fill')
    parser.add_argument('--prefix', required=True, help='the Wine prefix of these runs, made without a display')
    parser.add_argument('--make-prefix', required=True, help='the script that makes a Wine prefix')
    parser.add_argument('--suite-prefix', required=True, help='the Wine prefix in which the test suite wrote its files')
    args = parser.parse_args()
    args.scratch = os.path.abspath(args.scratch)
    start_prefix(args)
    try:
        failed = (check_table(args, *make_files(args.scratch)) + check_long_cells(args) + check_json(args)
                  + check_signature(args))
    finally:
        stop_prefix(args)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
