// The page's side of the process start. Before the runtime starts (the C
// library reads its environment then): the environment from the page
// address's query, the OSTREVIN_* switches as a shell would set them. Just
// before main, once the demo's files are in place: the demo's folder as
// working directory, and "missing=PATH" takes one of its files away first
// (the start-up failure path). The program's end through exit() is no
// error of the page.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function () {
  var query = new URLSearchParams(location.search);
  query.forEach(function (value, name) {
    if (name.indexOf('OSTREVIN_') === 0) ENV[name] = value;
  });
  addOnPreMain(function () {
    FS.chdir('/demo');
    var missing = query.get('missing');
    if (missing) FS.unlink(missing);
  });
});

// exit() ends the program by unwinding its stack with an ExitStatus. When
// the program runs on from a yield (Present awaits an animation frame under
// ASYNCIFY), nothing above it catches that: the promise that resumed it is
// rejected with it, and the browser would report an uncaught error for a
// normal end (Module.onExit has run by then).
function isExitStatus(value) { return value instanceof ExitStatus; }
window.addEventListener('unhandledrejection', function (event) {
  if (isExitStatus(event.reason)) event.preventDefault();
});
window.addEventListener('error', function (event) {
  if (isExitStatus(event.error)) event.preventDefault();
});
