"""The files a game reads, for the packers that carry it elsewhere (the
browser's site, web/package.py; the Windows zip, windows/package.py).

GAME is a folder with a main.lua (run from inside the folder, as
`cd GAME && lua5.1 main.lua`), a folder holding one script named after it
(examples/arcade/arcade.lua) or a script file; either of the last two runs
from the current directory, as `lua5.1 GAME/script.lua ARG...` would.

The game's files are, at the paths it uses:
  - the game folder (or the script and the Lua modules beside it);
  - every ARG that names an existing file or folder;
  - every string in the game's Lua sources that names an existing file or
    folder, absolute or relative; for an absolute folder (a font directory
    the script appends names to), the files in it whose names also appear as
    strings in the sources;
  - every --file PATH;
less those an --exclude PATTERN matches: a shell pattern over the path the
script opens the file by, or over its name alone. Each is named as the
script will open it: relative to where it runs, or absolute.
"""
import fnmatch
import os
import re
import sys

# A folder named by a string is packed whole only up to this size.
MAX_FOLDER_BYTES = 64 << 20

LUA_STRING = re.compile(r'''"((?:[^"\\\n]|\\.)*)"|'((?:[^'\\\n]|\\.)*)'|\[(=*)\[(.*?)\]\3\]''', re.S)


class Game:
    """base: the host folder the script runs from; script: its path as the
    interpreter is given it (relative to base, or absolute); title: the
    game's name; args: the script's arguments; files: host path -> the path
    the script opens it by; strings: every string in its Lua sources."""

    def __init__(self, base, script, title, args, files, strings, left_out=()):
        self.base, self.script, self.title = base, script, title
        self.args, self.files, self.strings = args, files, strings
        self.left_out = list(left_out)  # the paths --exclude left out


def fail(tool, msg):
    sys.stderr.write('%s: %s\n' % (tool, msg))
    sys.exit(1)


def lua_strings(paths):
    found = set()
    for p in paths:
        with open(p, encoding='utf-8', errors='replace') as f:
            text = f.read()
        # Comments would only add noise; strings inside them are harmless.
        for m in LUA_STRING.finditer(text):
            s = m.group(1) if m.group(1) is not None else m.group(2) if m.group(2) is not None else m.group(4)
            if s and len(s) < 512 and '\n' not in s:
                found.add(s)
    return found


def folder_files(folder):
    out = []
    for root, dirs, files in os.walk(folder):
        dirs[:] = sorted(d for d in dirs if not d.startswith('.'))
        for f in sorted(files):
            if not f.startswith('.'):
                out.append(os.path.join(root, f))
    return out


def parse_args(argv, tool, usage, excluded=None):
    """GAME [--file PATH]... [ARG...] (or with -- before the ARGs):
    (game, extra files, args). Given a list `excluded`, --exclude PATTERN
    options go into it."""
    if not argv:
        fail(tool, usage)
    game, rest = argv[0], argv[1:]
    extra, args = [], []
    while rest:
        a = rest.pop(0)
        if a == '--':
            args = rest
            break
        if a == '--file' and rest:
            extra.append(rest.pop(0))
        elif a == '--exclude' and rest and excluded is not None:
            excluded.append(rest.pop(0))
        else:
            args.append(a)
            args.extend(rest)
            break
    return game, extra, args


def collect(game, extra, args, tool, excluded=()):
    host_cwd = os.getcwd()
    game = game.rstrip('/') or '/'
    if os.path.isdir(game):
        main_lua = os.path.join(game, 'main.lua')
        named = os.path.join(game, os.path.basename(os.path.abspath(game)) + '.lua')
        if os.path.isfile(main_lua):
            base = os.path.abspath(game)          # runs from inside the folder
            script = 'main.lua'
            sources = folder_files(os.path.abspath(game))
        elif os.path.isfile(named):
            base = host_cwd
            script = os.path.relpath(named, host_cwd) if not os.path.isabs(game) else os.path.abspath(named)
            sources = folder_files(os.path.abspath(game))
        else:
            fail(tool, '%s has neither a main.lua nor %s' % (game, os.path.basename(named)))
        title = os.path.basename(os.path.abspath(game))
    elif os.path.isfile(game):
        base = host_cwd
        script = game if not os.path.isabs(game) else os.path.abspath(game)
        folder = os.path.dirname(os.path.abspath(game))
        # The script, and the Lua modules beside it whose names it mentions
        # (require "name" finds name.lua there).
        named = lua_strings([game])
        sources = [os.path.abspath(game)] + [os.path.join(folder, f) for f in sorted(os.listdir(folder))
                                             if f.endswith('.lua') and f[:-4] in named]
        title = os.path.splitext(os.path.basename(game))[0]
    else:
        fail(tool, 'no game at %s' % game)

    files = {}  # host path -> path as the script opens it
    left_out = set()

    def add(host_path, name):
        name = os.path.normpath(name)
        if any(fnmatch.fnmatchcase(name, p) or fnmatch.fnmatchcase(os.path.basename(name), p) for p in excluded):
            left_out.add(name)
            return
        files[os.path.abspath(os.path.join(base, host_path))] = name

    def add_path(name, whole_folders=True):
        host = name if os.path.isabs(name) else os.path.join(base, name)
        if os.path.isfile(host):
            add(host, name)
        elif os.path.isdir(host) and whole_folders:
            size = sum(os.path.getsize(f) for f in folder_files(host))
            if size > MAX_FOLDER_BYTES:
                sys.stderr.write('%s: leaving out %s (%d MB): name its files with --file\n' % (tool, name, size >> 20))
                return
            for f in folder_files(host):
                add(f, os.path.join(name, os.path.relpath(f, host)))

    # The game's own files sit where the script's path says: under the
    # working directory, or at their absolute paths for a game named by one.
    for src in sources:
        rel = os.path.relpath(src, base)
        add(src, src if os.path.isabs(script) or rel.startswith('..') else rel)
    lua_sources = [s for s in sources if s.endswith('.lua')]
    strings = lua_strings(lua_sources)
    for s in sorted(strings):
        if s.startswith('/'):
            if os.path.isfile(s):
                add_path(s)
            elif os.path.isdir(s):
                # A folder the script appends file names to: the named files.
                for f in sorted(os.listdir(s)):
                    if f in strings and os.path.isfile(os.path.join(s, f)):
                        add_path(os.path.join(s, f))
        elif '/' in s or '.' in s:
            if s in ('.', '..') or s.startswith('../'):
                continue
            add_path(s)
    for a in args:
        if a and not a.startswith('-') and os.path.exists(a if os.path.isabs(a) else os.path.join(base, a)):
            add_path(a)
    for e in extra:
        if not os.path.exists(e if os.path.isabs(e) else os.path.join(base, e)):
            fail(tool, '--file %s: no such file where the script runs (%s)' % (e, base))
        add_path(e)
    return Game(base, script, title, args, files, strings, sorted(left_out))
