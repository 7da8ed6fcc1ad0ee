#!/usr/bin/env python3
"""Packs a game into a static site that plays it in a browser.

    package.py RUNTIME_DIR OUT_DIR GAME [--file PATH | --exclude PATTERN]... [-- ARG...]

GAME and the files that go in with it are as scripts/gamefiles.py finds
them, less those an --exclude PATTERN matches. Relative paths live under the
site's working directory, absolute ones at the same absolute path. The page
(index.html) carries its script and the list of packed files; the files are
in game.data.
"""
import json
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts'))
import gamefiles  # noqa: E402

FILE_PACKAGER = '/usr/share/emscripten/tools/file_packager.py'
VFS_CWD = '/game'


def fail(msg):
    gamefiles.fail('web.sh', msg)


def main(argv):
    if len(argv) < 3:
        fail('usage: package.py RUNTIME_DIR OUT_DIR GAME [--file PATH | --exclude PATTERN]... [-- ARG...]')
    runtime, out = argv[0], argv[1]
    excluded = []
    game, extra, args = gamefiles.parse_args(argv[2:], 'web.sh', 'no game', excluded)
    g = gamefiles.collect(game, extra, args, 'web.sh', excluded)
    script, title = g.script, g.title
    # Relative paths live under the site's working directory, absolute ones
    # at the same absolute path.
    files = {host: name if os.path.isabs(name) else os.path.normpath(os.path.join(VFS_CWD, name))
             for host, name in g.files.items()}

    os.makedirs(out, exist_ok=True)
    for f in ('orvix.js', 'orvix.wasm'):
        shutil.copyfile(os.path.join(runtime, f), os.path.join(out, f))
    web = os.path.dirname(os.path.abspath(__file__))
    for stale in ('page.js', 'game.data.js'):  # now inside index.html
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
        out, len(files), ' (%d left out)' % len(g.left_out) if g.left_out else '', os.path.join(out, 'index.html')))


if __name__ == '__main__':
    main(sys.argv[1:])
