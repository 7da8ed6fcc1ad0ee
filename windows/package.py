#!/usr/bin/env python3
"""Packs a game into a zip that runs on Windows with a double click.

    package.py RUNTIME_DIR OUT_ZIP [--luajit] GAME [--file PATH]... [-- ARG...]

GAME and the files that go in with it are as scripts/gamefiles.py finds
them. The zip holds one folder named after the game, which is where the
game runs from:
  <game>.exe, launch.txt   the launcher and what it runs
  lua5.1.exe, lua51.dll    Lua 5.1 (luajit/ holds LuaJIT, whose DLL has the
                           same name)
  orvixcore.dll, vtxpack.dll, SDL.dll, SDL_mixer.dll
  the game's files         at their relative paths; files named by an
                           absolute path at that path less its leading slash
                           (orvixcore looks them up there; an argument that
                           names one is given as that relative path)
The game runs under LuaJIT when its sources name "ffi" (require "ffi") or
--luajit is given, otherwise under Lua 5.1. A list of the packed files and
where they came from is written beside the zip (<zip>.files.txt).
"""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts'))
import gamefiles  # noqa: E402

TOOL = 'windows.sh'
RUNTIME_FILES = ['lua5.1.exe', 'lua51.dll', 'orvixcore.dll', 'vtxpack.dll', 'SDL.dll', 'SDL_mixer.dll']


def fail(msg):
    gamefiles.fail(TOOL, msg)


def zip_name(name):
    """A path as the script opens it, as a path inside the game's folder."""
    return name.lstrip('/').replace(os.sep, '/')


def main(argv):
    if len(argv) < 3:
        fail('usage: package.py RUNTIME_DIR OUT_ZIP [--luajit] GAME [--file PATH]... [-- ARG...]')
    runtime, out = argv[0], argv[1]
    rest = argv[2:]
    luajit = rest and rest[0] == '--luajit'
    if luajit:
        rest = rest[1:]
    game, extra, args = gamefiles.parse_args(rest, TOOL, 'no game')
    g = gamefiles.collect(game, extra, args, TOOL)
    luajit = luajit or 'ffi' in g.strings
    interpreter = 'luajit\\luajit.exe' if luajit else 'lua5.1.exe'
    folder = g.title

    entries = {}  # path in the game's folder -> host path
    for f in RUNTIME_FILES:
        entries[f] = os.path.join(runtime, f)
    for f in gamefiles.folder_files(os.path.join(runtime, 'luajit')):
        entries['luajit/' + os.path.relpath(f, os.path.join(runtime, 'luajit')).replace(os.sep, '/')] = f
    launcher = g.title + '.exe'
    entries[launcher] = os.path.join(runtime, 'launcher.exe')
    reserved = {n.lower() for n in entries} | {'launch.txt', g.title.lower() + '.log'}
    game_files = {}
    for host, name in sorted(g.files.items(), key=lambda kv: kv[1]):
        z = zip_name(name)
        if z.lower() in reserved or z.lower().startswith('luajit/'):
            fail('%s would take the place of the runtime\'s %s: rename it' % (host, z))
        game_files[z] = host

    lines = [interpreter, zip_name(g.script) if os.path.isabs(g.script) else g.script.replace(os.sep, '/')]
    for a in g.args:
        if '\n' in a or '\r' in a:
            fail('an argument with a line break cannot be passed through launch.txt: %r' % a)
        # An absolute path that was packed is given as where it is in the zip,
        # relative to the game's folder, so that Lua's own io.open finds it too.
        if os.path.isabs(a) and os.path.exists(a):
            a = zip_name(os.path.normpath(a))
        lines.append(a)

    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    tmp = out + '.tmp'
    with zipfile.ZipFile(tmp, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, host in sorted(entries.items()):
            z.write(host, folder + '/' + name)
        z.writestr(folder + '/launch.txt', '\r\n'.join(lines) + '\r\n')
        for name, host in sorted(game_files.items()):
            z.write(host, folder + '/' + name)
    os.replace(tmp, out)
    with open(out + '.files.txt', 'w', encoding='utf-8') as f:
        for name, host in sorted(game_files.items()):
            f.write('%s/%s\t%s\n' % (folder, name, host))
    size = os.path.getsize(out)
    print('%s: %d game files, %.2f MB; unzip it on Windows and run %s/%s' %
          (out, len(game_files), size / (1 << 20), folder, launcher))


if __name__ == '__main__':
    main(sys.argv[1:])
