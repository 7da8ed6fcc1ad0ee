#!/usr/bin/env python3
"""Packs a game into a static site that plays it in a browser.

    package.py RUNTIME_DIR OUT_DIR [--file PATH | --exclude PATTERN]... GAME [ARG...]

GAME is a folder with a main.lua (run from inside the folder, as
`cd GAME && lua5.1 main.lua`), a folder holding one script named after it
(examples/arcade/arcade.lua) or a script file; either of the last two runs
from the current directory, as `lua5.1 GAME/script.lua ARG...` would.

The site's file system holds what the game reads, at the paths it uses:
  - the game folder (or the script and the Lua modules beside it);
  - every ARG that names an existing file or folder;
  - every string in the game's Lua sources that names an existing file or
    folder, absolute or relative; for an absolute folder (a font directory
    the script appends names to), the files in it whose names also appear as
    strings in the sources;
  - every --file PATH;
less the files an --exclude PATTERN matches: a shell pattern over the path
the script opens the file by, or over its name alone.
Relative paths live under the site's working directory, absolute ones at the
same absolute path.
"""
import fnmatch
import json
import os
import re
import shutil
import subprocess
import sys

FILE_PACKAGER = '/usr/share/emscripten/tools/file_packager.py'
# A folder named by a string is packed whole only up to this size.
MAX_FOLDER_BYTES = 64 << 20
VFS_CWD = '/game'

LUA_STRING = re.compile(r'''"((?:[^"\\\n]|\\.)*)"|'((?:[^'\\\n]|\\.)*)'|\[(=*)\[(.*?)\]\3\]''', re.S)


def fail(msg):
    sys.stderr.write('web.sh: %s\n' % msg)
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


def main(argv):
    usage = 'usage: package.py RUNTIME_DIR OUT_DIR [--file PATH | --exclude PATTERN]... GAME [ARG...]'
    if len(argv) < 3:
        fail(usage)
    runtime, out = argv[0], argv[1]
    rest = argv[2:]
    extra, excluded = [], []
    while rest and rest[0] in ('--file', '--exclude'):
        if len(rest) < 2:
            fail('%s needs a value' % rest[0])
        (extra if rest[0] == '--file' else excluded).append(rest[1])
        rest = rest[2:]
    if not rest:
        fail(usage)
    game, args = rest[0], rest[1:]

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
            fail('%s has neither a main.lua nor %s' % (game, os.path.basename(named)))
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
        fail('no game at %s' % game)

    files = {}  # host path -> path in the site
    left_out = []

    def add(host_path, name):
        if any(fnmatch.fnmatchcase(name, p) or fnmatch.fnmatchcase(os.path.basename(name), p) for p in excluded):
            left_out.append(name)
            return
        host_path = os.path.abspath(os.path.join(base, host_path))
        if os.path.isabs(name):
            site = os.path.normpath(name)
        else:
            site = os.path.normpath(os.path.join(VFS_CWD, name))
        files[host_path] = site

    def add_path(name, whole_folders=True):
        host = name if os.path.isabs(name) else os.path.join(base, name)
        if os.path.isfile(host):
            add(host, name)
        elif os.path.isdir(host) and whole_folders:
            size = sum(os.path.getsize(f) for f in folder_files(host))
            if size > MAX_FOLDER_BYTES:
                sys.stderr.write('web.sh: leaving out %s (%d MB): name its files with --file\n' % (name, size >> 20))
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
            fail('--file %s: no such file where the script runs (%s)' % (e, base))
        add_path(e)

    os.makedirs(out, exist_ok=True)
    for f in ('orvix.js', 'orvix.wasm'):
        shutil.copyfile(os.path.join(runtime, f), os.path.join(out, f))
    web = os.path.dirname(os.path.abspath(__file__))
    for stale in ('page.js', 'game.data.js'):  # written by earlier versions; now in index.html
        if os.path.exists(os.path.join(out, stale)):
            os.remove(os.path.join(out, stale))

    data_js = os.path.join(out, 'game.data.js.tmp')
    cmd = [sys.executable, FILE_PACKAGER, os.path.join(out, 'game.data'), '--js-output=' + data_js]
    for host_path, site in sorted(files.items(), key=lambda kv: kv[1]):
        # The packager splits at '@'; an '@' in a name is written '@@'.
        cmd += ['--preload', host_path.replace('@', '@@') + '@' + site.replace('@', '@@')]
    packed = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if packed.returncode != 0:
        sys.stderr.write(packed.stdout)
        fail('packing the files failed')

    config = {'title': title, 'script': script,
              'args': args, 'cwd': VFS_CWD}
    with open(os.path.join(web, 'page.html'), encoding='utf-8') as f:
        page = f.read()
    page = page.replace('@TITLE@', title.replace('&', '&amp;').replace('<', '&lt;'))
    page = page.replace('@CONFIG@', json.dumps(config).replace('</', '<\\/'))
    # The page's script and the file list go in the page itself: nothing to
    # fetch before the game's files start coming.
    with open(os.path.join(web, 'page.js'), encoding='utf-8') as f:
        page_js = f.read()
    with open(data_js, encoding='utf-8') as f:
        data = f.read()
    os.remove(data_js)
    page = page.replace('@PAGE_JS@', page_js.replace('</', '<\\/')).replace('@DATA_JS@', data.replace('</', '<\\/'))
    with open(os.path.join(out, 'index.html'), 'w', encoding='utf-8') as f:
        f.write(page)
    with open(os.path.join(out, 'files.txt'), 'w', encoding='utf-8') as f:
        for host_path, site in sorted(files.items(), key=lambda kv: kv[1]):
            f.write('%s\t%s\n' % (site, host_path))
    print('%s: %d files%s; open %s through a web server' % (
        out, len(files), ' (%d left out)' % len(left_out) if left_out else '', os.path.join(out, 'index.html')))


if __name__ == '__main__':
    main(sys.argv[1:])
