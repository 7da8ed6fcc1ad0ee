// The game page: runs the game's script with its arguments from the page's
// file system, shows what it prints, and shows a fatal message when it ends
// with an error. Query parameters:
//   env=NAME=VALUE   an environment variable for the script (repeatable),
//                    e.g. ?env=ORVIX_SEED=7
//   clock=MS         test clock: the tick count advances MS per frame
//   stops=N,M,...    with the test clock, the game waits after these frames
//                    until the page calls the resume function it is given
// Below the game, two buttons export the saved games to a file and import
// them from one.
var Module = (function() {
  'use strict';
  var game = window.ORVIX_GAME;
  var params = new URLSearchParams(window.location.search);
  var canvas = document.getElementById('screen');
  var status = document.getElementById('status');
  var fatal = document.getElementById('fatal');
  var log = document.getElementById('log');
  var lines = [];
  var errors = [];  // the standard error lines printed since the last output

  // Lines are added as they come; the log scrolls to the last one once per
  // painted frame, so that printing never waits for the page's layout.
  var scrolling = false;
  function output(text, isError) {
    lines.push(text);
    if (isError) errors.push(text); else errors = [];
    log.appendChild(document.createTextNode(text + '\n'));
    if (!scrolling) {
      scrolling = true;
      requestAnimationFrame(function() {
        scrolling = false;
        log.scrollTop = log.scrollHeight;
      });
    }
    if (isError) console.error(text); else console.log(text);
  }

  var audio = null;  // the audio context (index.html opens it early)

  function showFatal(text) {
    fatal.style.display = 'block';
    fatal.textContent = text;
    console.error(text);
  }

  var env = {};
  params.getAll('env').forEach(function(pair) {
    var i = pair.indexOf('=');
    if (i > 0) env[pair.slice(0, i)] = pair.slice(i + 1);
  });
  var stops = (params.get('stops') || '').split(',').filter(Boolean).map(Number);

  // Saved games as a file: the player keeps them or takes them to another
  // browser. Importing writes them into the saves folder and starts the
  // game again, so that it reads them.
  var exportButton = document.getElementById('export');
  var importButton = document.getElementById('import');
  var importFile = document.getElementById('import-file');
  function saves() { return Module.orvixSaves; }
  exportButton.addEventListener('click', function() {
    var blob = new Blob([saves().exportFiles()], {type: 'application/json'});
    var a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = (game.title.replace(/[\x00-\x1f"*\/:<>?\\|]+/g, '').trim().replace(/\s+/g, '-') || 'game') +
      '-saves.json';
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(function() { URL.revokeObjectURL(a.href); }, 10000);
    canvas.focus();
  });
  importButton.addEventListener('click', function() { importFile.click(); });
  importFile.addEventListener('change', function() {
    var file = importFile.files[0];
    importFile.value = '';
    canvas.focus();
    if (!file) return;
    file.text().then(function(text) {
      saves().importFiles(text, function(error) {
        if (error) {
          status.textContent = file.name + ': ' + error + '.';
          return;
        }
        status.textContent = 'Saved games imported; the game starts again.';
        window.location.reload();
      });
    });
  });

  window.orvix = {stopped: null, lines: lines, exitStatus: null};
  // Ending the program unwinds the runtime with an ExitStatus exception,
  // which is no error of the page's.
  window.addEventListener('error', function(e) {
    if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
  });

  return {
    canvas: canvas,
    // The game's images and sounds are decoded when the game loads them,
    // not by the page beforehand.
    noImageDecoding: true,
    noAudioDecoding: true,
    // The page's one audio context, null where there is no audio.
    orvixAudio: function() {
      var AC = window.AudioContext || window.webkitAudioContext;
      try { if (!audio && AC) audio = new AC(); } catch (e) { /* no audio */ }
      return audio;
    },
    // The runtime's module, compiled while it arrived (index.html).
    instantiateWasm: function(imports, receive) {
      window.ORVIX_WASM.then(function(module) {
        return WebAssembly.instantiate(module, imports).then(function(instance) { receive(instance, module); });
      }).catch(function(e) { Module.onAbort('the runtime could not be loaded: ' + e); });
      return {};
    },
    arguments: [game.script].concat(game.args),
    orvixStepMs: Number(params.get('clock')) || 0,
    orvixStops: stops,
    // The game waits after a stop frame until resume() is called.
    orvixStopped: function(frame, resume) {
      window.orvix.stopped = {frame: frame, at: performance.now(), resume: function() {
        window.orvix.stopped = null;
        resume();
      }};
    },
    print: function(text) { output(text, false); },
    printErr: function(text) { output(text, true); },
    preRun: [function() {
      for (var name in env) Module.ENV[name] = env[name];
      // The working directory exists even when no file of the game is in it.
      try { Module.FS.mkdirTree(game.cwd); } catch (e) { /* already there */ }
      Module.FS.chdir(game.cwd);
    }],
    onRuntimeInitialized: function() {
      performance.mark('orvix-runtime-ready');
      exportButton.disabled = importButton.disabled = false;
      status.textContent = 'Click the game or press a key to hear its sound.';
      canvas.focus();
    },
    onAudioStart: function() {
      if (window.orvix.exitStatus === null) status.textContent = '';
    },
    onVideoMode: function(w, h) {
      document.title = game.title;
    },
    onExit: function(code) {
      window.orvix.exitStatus = code;
      if (code === 0) {
        status.textContent = 'The game has ended.';
        return;
      }
      status.textContent = 'The game stopped with an error (status ' + code + ').';
      // The game's own message is its last line, or a Lua error and its
      // traceback on standard error.
      var message = errors.length ? errors.join('\n') : lines.slice(-1).join('');
      showFatal(message || 'The game ended with status ' + code + '.');
    },
    onAbort: function(what) {
      window.orvix.exitStatus = 'abort';
      showFatal('The game crashed: ' + what);
    },
  };
})();
