// Shared by the browser test pages: waits until the plug-in answers from
// script, runs the page's checks and publishes the outcome for
// qelbrowser --wait "window.testDone === true" --print "window.testResult".

function describeValue(value) {
  return typeof value === "string" ? JSON.stringify(value) : typeof value + " " + String(value);
}

// Collects every failure, so one run reports all that is wrong.
function Checks() {
  this.failures = [];
}

Checks.prototype.equal = function (what, read, expected) {
  try {
    var actual = read();
    if (actual !== expected) {
      this.failures.push(what + ": got " + describeValue(actual) +
                         ", expected " + describeValue(expected));
    }
  } catch (e) {
    this.failures.push(what + ": threw " + e);
  }
};

Checks.prototype.throws = function (what, run) {
  try {
    run();
  } catch (e) {
    return;
  }
  this.failures.push(what + ": did not throw");
};

function finishTest(failures) {
  window.testResult = failures.length === 0 ? "PASS" : "FAIL: " + failures.join("; ");
  var shown = document.getElementById("result");
  if (shown) shown.textContent = window.testResult;
  console.log(window.testResult);
  window.testDone = true;
}

// QtWebKit creates the plug-in instance after layout, so poll until
// readyProperty reads as something other than undefined.
function runWhenPluginReady(plugin, readyProperty, timeoutMs, body) {
  var started = Date.now();
  (function poll() {
    var ready = false;
    try {
      ready = typeof plugin[readyProperty] !== "undefined";
    } catch (e) {
      // not scriptable yet
    }
    if (ready) {
      var checks = new Checks();
      try {
        body(checks);
      } catch (e) {
        checks.failures.push("page script threw " + e);
      }
      finishTest(checks.failures);
    } else if (Date.now() - started >= timeoutMs) {
      var type = plugin.getAttribute("type");
      finishTest(["plug-in not ready: " + readyProperty + " still undefined after " +
                  timeoutMs + " ms" +
                  (navigator.mimeTypes[type] ? "" : " (no plug-in registered for " + type + ")")]);
    } else {
      setTimeout(poll, 50);
    }
  })();
}
