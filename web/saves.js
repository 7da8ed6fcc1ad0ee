// Saved games in the browser: the folder that saveDir makes its folders in
// (~/.local/share, with the page's HOME of /home/web_user) is kept in the
// browser's IndexedDB for the site, so that files a game writes there
// survive a reload. Its contents are read back before the game starts; a
// change is written out when a file written there is closed, or when one is
// removed or renamed, at most one write-out at a time, the next one
// following when changes came meanwhile.
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

    writeOut: function() {
      if (ORW_SAVES.loading) return;
      if (ORW_SAVES.busy) {
        ORW_SAVES.again = true;
        return;
      }
      ORW_SAVES.busy = true;
      FS.syncfs(false, function(err) {
        ORW_SAVES.busy = false;
        ORW_SAVES.error = err ? String(err) : null;
        ORW_SAVES.writes++;
        if (ORW_SAVES.again) {
          ORW_SAVES.again = false;
          ORW_SAVES.writeOut();
        }
      });
    },
  },
});
