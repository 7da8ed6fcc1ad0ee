// Saved games in the browser: the folder that saveDir makes its folders in
// (~/.local/share, with the page's HOME of /home/web_user) is kept in the
// browser's IndexedDB for the site, so that files a game writes there
// survive a reload. Its contents are read back before the game starts; a
// change is written out when a file written there is closed, or when one is
// removed or renamed, at most one write-out at a time, the next one
// following when changes came meanwhile. The page can hand the player the
// folder's files as one file (exportFiles) and put such a file's contents
// back (importFiles).
mergeInto(LibraryManager.library, {
  $ORW_SAVES__deps: ['$FS', '$IDBFS'],
  $ORW_SAVES__postset: 'addOnPreRun(function() { ORW_SAVES.mount(); });',
  $ORW_SAVES: {
    root: '/home/web_user/.local/share',
    loading: false,  // the kept files are being read back (their closes are no change)
    busy: false,     // a write-out is running
    again: false,    // changes came while it ran
    writes: 0,       // write-outs finished, for the page and its tests
    error: null,     // the last write-out's failure, if any
    waiting: [],     // callbacks for the next write-out to start
    format: 'orvix-saves',

    inside: function(path) {
      return typeof path === 'string' && path.indexOf(ORW_SAVES.root + '/') === 0;
    },

    mount: function() {
      var root = ORW_SAVES.root;
      FS.mkdirTree(root);
      FS.mount(IDBFS, {}, root);
      Module['orvixSaves'] = ORW_SAVES;
      // The game starts once the kept files are back.
      addRunDependency('orvix-saves');
      ORW_SAVES.loading = true;
      FS.syncfs(true, function(err) {
        ORW_SAVES.loading = false;
        if (err) ORW_SAVES.error = String(err);
        removeRunDependency('orvix-saves');
      });
      // Closing a file opened for writing (O_WRONLY or O_RDWR) below the
      // root, removing or renaming one: the change is written out.
      var close = FS.close, unlink = FS.unlink, rename = FS.rename;
      FS.close = function(stream) {
        var result = close.apply(this, arguments);
        if ((stream.flags & 3) && ORW_SAVES.inside(stream.path)) ORW_SAVES.writeOut();
        return result;
      };
      FS.unlink = function(path) {
        var result = unlink.apply(this, arguments);
        if (ORW_SAVES.inside(FS.lookupPath(path, {parent: true}).path + '/')) ORW_SAVES.writeOut();
        return result;
      };
      FS.rename = function(from, to) {
        var result = rename.apply(this, arguments);
        if (ORW_SAVES.inside(FS.lookupPath(to, {parent: true}).path + '/')) ORW_SAVES.writeOut();
        return result;
      };
    },

    // done(error), if given, is called once the folder as it is now has
    // been written out.
    writeOut: function(done) {
      if (done) ORW_SAVES.waiting.push(done);
      if (ORW_SAVES.loading) return;
      if (ORW_SAVES.busy) {
        ORW_SAVES.again = true;
        return;
      }
      ORW_SAVES.busy = true;
      var waiting = ORW_SAVES.waiting;
      ORW_SAVES.waiting = [];
      FS.syncfs(false, function(err) {
        ORW_SAVES.busy = false;
        ORW_SAVES.error = err ? String(err) : null;
        ORW_SAVES.writes++;
        waiting.forEach(function(f) { f(ORW_SAVES.error); });
        if (ORW_SAVES.again) {
          ORW_SAVES.again = false;
          ORW_SAVES.writeOut();
        }
      });
    },

    // The folder's files as one JSON text: {"format": "orvix-saves",
    // "version": 1, "folders": [paths], "files": {path: base64 contents}},
    // paths relative to the folder; folders lists the empty ones.
    exportFiles: function() {
      var files = {}, folders = [];
      (function walk(dir, rel) {
        var names = FS.readdir(dir).filter(function(n) { return n !== '.' && n !== '..'; }).sort();
        if (!names.length && rel) folders.push(rel.slice(0, -1));
        names.forEach(function(name) {
          var path = dir + '/' + name;
          var mode = FS.stat(path).mode;
          if (FS.isDir(mode)) walk(path, rel + name + '/');
          else if (FS.isFile(mode)) files[rel + name] = ORW_SAVES.base64(FS.readFile(path));
        });
      })(ORW_SAVES.root, '');
      return JSON.stringify({format: ORW_SAVES.format, version: 1, folders: folders, files: files});
    },

    // Writes the files of an exported text into the folder, over those of
    // the same names (the others stay), then writes the folder out and calls
    // done(error): error is a message when the text is no export, and
    // nothing is written then.
    importFiles: function(text, done) {
      var data, files = [];
      function safe(rel) {
        return typeof rel === 'string' && rel.split('/').every(function(p) {
          return p !== '' && p !== '.' && p !== '..' && p.indexOf('\0') < 0;
        });
      }
      try {
        data = JSON.parse(text);
        if (!data || data.format !== ORW_SAVES.format || data.version !== 1 ||
            typeof data.files !== 'object' || !Array.isArray(data.folders || [])) throw 0;
        (data.folders || []).forEach(function(rel) { if (!safe(rel)) throw 0; });
        for (var rel in data.files) {
          if (!safe(rel) || typeof data.files[rel] !== 'string') throw 0;
          files.push([rel, ORW_SAVES.bytes(data.files[rel])]);
        }
      } catch (e) {
        done('not a file of saved games');
        return;
      }
      var root = ORW_SAVES.root;
      try {
        (data.folders || []).forEach(function(rel) { FS.mkdirTree(root + '/' + rel); });
        files.forEach(function(f) {
          var path = root + '/' + f[0];
          FS.mkdirTree(path.slice(0, path.lastIndexOf('/')));
          FS.writeFile(path, f[1]);
        });
      } catch (e) {
        done('the saved games could not be written: ' + e);
        return;
      }
      ORW_SAVES.writeOut(done);
    },

    base64: function(bytes) {
      var text = '';
      for (var i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      }
      return btoa(text);
    },

    bytes: function(base64) {
      var text = atob(base64), bytes = new Uint8Array(text.length);
      for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
      return bytes;
    },
  },
});
