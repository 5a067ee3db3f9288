"""Running Windows programs under Wine as a build machine does: no display,
in a Wine prefix of their own that never had one."""
import os, subprocess


def winepath(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


def windowless_env(args):
    env = dict(os.environ)
    for name in ('DISPLAY', 'WAYLAND_DISPLAY'):
        env.pop(name, None)
    env['WINEPREFIX'] = args.prefix
    # Wine reads the command line in the locale's encoding: names outside
    # ASCII need a UTF-8 one.
    env.setdefault('LANG', 'C.UTF-8')
    return env


def start_prefix(args):
    """Makes the prefix without a display and starts its wineserver and
    services with their output going nowhere: started by a captured run, they
    would hold its pipes open."""
    env = windowless_env(args)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    subprocess.run([args.make_prefix, args.prefix], check=True, **quiet)
    subprocess.run(['wineserver', '-p'], **quiet)   # fails when one runs already
    subprocess.run([args.wine, 'cmd', '/c', 'exit'], **quiet)


def stop_prefix(args):
    subprocess.run(['wineserver', '-k'], env=windowless_env(args), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
