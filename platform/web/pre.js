// The page's side of the process start, just before main (the demo's files
// are in place by then): the environment from the page address's query (the
// OSTREVIN_* switches, as a shell would set them), the demo's folder as
// working directory, and "missing=PATH" to take one of the demo's files
// away first (the start-up failure path).
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function () {
  addOnPreMain(function () {
    var query = new URLSearchParams(location.search);
    query.forEach(function (value, name) {
      if (name.indexOf('OSTREVIN_') === 0) ENV[name] = value;
    });
    FS.chdir('/demo');
    var missing = query.get('missing');
    if (missing) FS.unlink(missing);
  });
});
