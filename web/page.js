// The game page: runs the game's script with its arguments from the page's
// file system, shows what it prints, and shows a fatal message when it ends
// with an error. Query parameters:
//   env=NAME=VALUE   an environment variable for the script (repeatable),
//                    e.g. ?env=ORVIX_SEED=7
//   clock=MS         test clock: the tick count advances MS per frame
//   stops=N,M,...    with the test clock, the game waits after these frames
//                    until the page calls the resume function it is given
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

  function output(text, isError) {
    lines.push(text);
    if (isError) errors.push(text); else errors = [];
    log.textContent += text + '\n';
    log.scrollTop = log.scrollHeight;
    if (isError) console.error(text); else console.log(text);
  }

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

  window.orvix = {stopped: null, lines: lines, exitStatus: null};
  // Ending the program unwinds the runtime with an ExitStatus exception,
  // which is no error of the page's.
  window.addEventListener('error', function(e) {
    if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
  });

  return {
    canvas: canvas,
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
